#include "console/dialogs/frmTo.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "console/dialogs/core/Picker.h"
#include "console/dialogs/frmNewSMS.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

// ---- CheckListModel ------------------------------------------------------------------

void CheckListModel::setItems(std::vector<std::string> texts, std::vector<bool> checked) {
    beginResetModel();
    texts_ = std::move(texts);
    checked_.assign(texts_.size(), 0);
    for (std::size_t i = 0; i < checked.size() && i < checked_.size(); ++i) checked_[i] = checked[i];
    endResetModel();
}

void CheckListModel::setChecked(int row, bool on) {
    checked_[static_cast<std::size_t>(row)] = on;
    const QModelIndex i = index(row);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void CheckListModel::setAll(bool on) {
    std::fill(checked_.begin(), checked_.end(), on);
    if (!texts_.empty()) emit dataChanged(index(0), index(count() - 1), {Qt::CheckStateRole});
}

std::vector<std::string> CheckListModel::checkedTexts() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < texts_.size(); ++i)
        if (checked_[i]) out.push_back(texts_[i]);
    return out;
}

int CheckListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(text(index.row()));
    if (role == Qt::CheckStateRole) return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole) return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

// ---- frmTo ---------------------------------------------------------------------------

frmTo* frmTo::instance(frmNewSMS* composer) {
    static frmTo* window = new frmTo(composer, composer);
    window->composer_ = composer;
    return window;
}

frmTo::frmTo(frmNewSMS* composer, QWidget* parent) : QDialog(parent), composer_(composer) {
    setObjectName("frmTo");
    setWindowTitle("Vovivaded Ezovaro - Address Book");
    setModal(true);
    SSTabTo = new QTabWidget(this);
    SSTabTo->setObjectName("SSTabTo");
    auto page = [this](const char* listName, const char* allName, const char* allCaption, QListView*& list,
                       CheckListModel*& model, QCheckBox*& all) {
        auto* w = new QWidget;
        auto* v = new QVBoxLayout(w);
        list = new QListView(w);
        list->setObjectName(listName);
        list->setUniformItemSizes(true);  // 50,000 rows lay out without measuring each
        model = new CheckListModel(this);
        list->setModel(model);
        all = new QCheckBox(allCaption, w);
        all->setObjectName(allName);
        v->addWidget(list, 1);
        v->addWidget(all);
        return w;
    };
    SSTabTo->addTab(page("lvwGroup", "chkALLGroup", "All Groups", lvwGroup, groups, chkALLGroup), "Group List");
    SSTabTo->addTab(page("lvwIndividual", "chkALLInd", "All Contacts", lvwIndividual, contacts, chkALLInd),
                    "Contact List");
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    // The lists grow with the window; OK and Cancel stay centred below them.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addSpacing(60);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    auto* all = new QVBoxLayout(this);
    all->addWidget(SSTabTo, 1);
    all->addLayout(buttons);
    resize(460, 420);

    connect(chkALLGroup, &QCheckBox::clicked, this, [this] { chkALLGroup_Click(); });
    connect(chkALLInd, &QCheckBox::clicked, this, [this] { chkALLInd_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

int frmTo::showModal() {
    Form_Load();
    return exec();
}

void frmTo::Form_Load() {
    chkALLGroup->setChecked(false);
    chkALLInd->setChecked(false);
    groups->setItems({}, {});
    contacts->setItems({}, {});
    SSTabTo->setCurrentIndex(0);
    try {
        EnsureDbConnection();
        PickerLists l = LoadPickerLists(DbConnection);
        const std::vector<std::string> entries = composer_->recipientEntries();
        std::vector<bool> g = PreTick(l.groups, entries), c = PreTick(l.contacts, entries);
        groups->setItems(std::move(l.groups), std::move(g));
        contacts->setItems(std::move(l.contacts), std::move(c));
    } catch (...) {
        LogCurrentException("Receipent : Form Load");
    }
}

void frmTo::chkALLGroup_Click() { groups->setAll(chkALLGroup->isChecked()); }

void frmTo::chkALLInd_Click() { contacts->setAll(chkALLInd->isChecked()); }

void frmTo::cmdOK_Click() {
    if (!SelectGroup()) return;
    SelectInd();
    accept();
}

bool frmTo::SelectGroup() {
    try {
        const std::vector<std::string> ticked = groups->checkedTexts();
        // Every ticked group is checked before the composer's list is touched.
        const std::int64_t empty = FirstEmptyGroup(DbConnection, ticked);
        if (empty >= 0) {
            ui::msgBox(EmptyGroupMessage(ticked[static_cast<std::size_t>(empty)]), ui::vbCritical,
                       "Contact Manager - Empty Group");
            return false;
        }
        // A number typed in the composer's box is no tick: it stays for the Send.
        composer_->clearRecipientList();
        composer_->addRecipients(ticked);
        return true;
    } catch (...) {
        LogCurrentException("Receipent : Select Group");
        return false;
    }
}

void frmTo::SelectInd() {
    try {
        composer_->addRecipients(contacts->checkedTexts());
    } catch (...) {
        LogCurrentException("Receipent : Select Individual");
    }
}

void frmTo::cmdCancel_Click() { reject(); }

}  // namespace parlix::console
