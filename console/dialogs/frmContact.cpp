#include "console/dialogs/frmContact.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "console/dialogs/core/Contacts.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Main1.h"
#include "console/shell/core/Trap.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

constexpr const char* kCaption = "Contact Manager";
constexpr const char* kHeadline = "         New Contact         ";

frmContact* created = nullptr;

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }


void reloadMainWindow() {
    if (General* main = General::instance()) main->AddBookDataGrid();
}

}  // namespace

frmContact* frmContact::instance() {
    if (!created) created = new frmContact();
    return created;
}

frmContact* frmContact::existing() { return created; }

frmContact::frmContact(QWidget* parent) : QDialog(parent) {
    if (!created) created = this;
    setObjectName("frmContact");
    buildWidgets();
    Form_Load();
}

frmContact::~frmContact() {
    if (created == this) created = nullptr;
}

void frmContact::buildWidgets() {
    setWindowTitle(kCaption);
    auto label = [this](const char* name, const char* caption) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        return l;
    };
    auto box = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        return e;
    };
    lblContact = label("lblContact", kHeadline);
    lblContact->setAlignment(Qt::AlignCenter);
    QFont f = lblContact->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    lblContact->setFont(f);
    lblName = label("lblName", "Name");
    TxtName = box("TxtName");
    lblMobile = label("lblMobile", "Mobile");
    TxtMobile = box("TxtMobile");
    lblCompanyName = label("lblCompanyName", "Company Name");
    TxtComName = box("TxtComName");
    lblGroup = label("lblGroup", "Group");
    lvwGroup = new QListWidget(this);
    lvwGroup->setObjectName("lvwGroup");
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblContact, 0, 0, 1, 2);
    grid->addWidget(lblName, 1, 0);
    grid->addWidget(TxtName, 1, 1);
    grid->addWidget(lblMobile, 2, 0);
    grid->addWidget(TxtMobile, 2, 1);
    grid->addWidget(lblCompanyName, 3, 0);
    grid->addWidget(TxtComName, 3, 1);
    grid->addWidget(lblGroup, 4, 0, Qt::AlignTop);
    grid->addWidget(lvwGroup, 4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 5, 0, 1, 2);
    resize(420, 400);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

// ---- load, clear, display ------------------------------------------------------------

void frmContact::Form_Load() {
    SkipClosePrompt = false;
    ClearFormContact();
}

void frmContact::loadGroups() {
    lvwGroup->clear();
    Trap("Contact : Form Load", [this] {
        if (!EnsureDbConnection()) return;
        for (const std::string& g : GroupNames(DbConnection)) {
            auto* item = new QListWidgetItem(Q(g), lvwGroup);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    });
}

void frmContact::ClearFormContact() {
    Trap("frmContact-ClearFormContact", [this] {
        contactName.clear();
        contactMobile.clear();
        contactCompany.clear();
        TxtName->clear();
        TxtMobile->clear();
        TxtComName->clear();
        setWindowTitle(kCaption);
        lblContact->setText(kHeadline);
        loadGroups();
    });
}

void frmContact::contactVariant() {
    contactName = S(TxtName->text());
    contactMobile = S(TxtMobile->text());
    contactCompany = S(TxtComName->text());
}

void frmContact::ContactData() {
    // The number is stored without "-"; the window's copy follows.
    contactMobile = StoredMobile(contactMobile);
}

void frmContact::DisplayVariant() {
    setWindowTitle(Q(contactName.empty() ? std::string(kCaption) : contactName));
    lblContact->setText(Q(contactName));
    TxtName->setText(Q(contactName));
    TxtMobile->setText(Q(contactMobile));
    TxtComName->setText(Q(contactCompany));
    show();
    raise();
    activateWindow();
}

void frmContact::DisplayRecord(std::int32_t id) {
    // Start clean: nothing of the contact shown before may stay.
    SkipClosePrompt = false;
    ClearFormContact();
    Trap("frmContact-DisplayRecord", [&] {
        if (!EnsureDbConnection()) return;
        const auto c = LoadContact(DbConnection, id);
        if (!c) throw std::runtime_error("contact " + std::to_string(id) + " is not in the Address Book");
        contactName = c->name;
        contactMobile = c->mobile;
        contactCompany = c->company;
        for (int i = 0; i < lvwGroup->count(); ++i) {
            QListWidgetItem* item = lvwGroup->item(i);
            const std::string text = GroupNameOf(S(item->text()));
            if (std::find(c->groups.begin(), c->groups.end(), text) != c->groups.end())
                item->setCheckState(Qt::Checked);
        }
        DisplayVariant();
    });
}

void frmContact::openAdd(bool modal, const std::string& mobile) {
    SkipClosePrompt = false;
    ClearFormContact();
    TxtMobile->setText(Q(mobile));
    if (modal) {
        exec();
    } else {
        show();
        raise();
        activateWindow();
    }
}

std::vector<std::string> frmContact::tickedGroups() const {
    std::vector<std::string> out;
    for (int i = 0; i < lvwGroup->count(); ++i)
        if (lvwGroup->item(i)->checkState() == Qt::Checked) out.push_back(S(lvwGroup->item(i)->text()));
    return out;
}

// ---- the main window's group changes ---------------------------------------------------

void frmContact::groupAdded(const std::string& name) {
    if (!lvwGroup->findItems(Q(name), Qt::MatchExactly).isEmpty()) return;
    auto* item = new QListWidgetItem(Q(name), lvwGroup);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
}

void frmContact::groupRenamed(const std::string& from, const std::string& to) {
    for (QListWidgetItem* item : lvwGroup->findItems(Q(from), Qt::MatchExactly)) item->setText(Q(to));
}

void frmContact::groupDeleted(const std::string& name) {
    for (QListWidgetItem* item : lvwGroup->findItems(Q(name), Qt::MatchExactly)) delete item;
}

// ---- OK, Cancel, closing -----------------------------------------------------------------

void frmContact::cmdOK_Click() {
    Trap("frmContact-CmdOK_Click", [this] {
        contactVariant();
        if (StoredMobile(contactMobile).empty()) {  // "---" is no number either
            ui::msgBox("Mobile number is empty. Please enter the mobile number.", ui::vbExclamation,
                       "Contact Manager - Incomplete record");
            return;
        }
        if (!EnsureDbConnection()) throw std::runtime_error("the database is not open");
        if (EditContact) {
            // An edit saves over the contact it shows, whatever its new number.
            ChangeExistingContact = true;
            updateContact();
            return;
        }
        if (!ContactsWithMobile(DbConnection, contactMobile).empty()) {
            if (ui::msgBox("Do you want to create a new contact with the same mobile number?", ui::vbYesNo,
                           "Contact Manager - Save Changes") != ui::vbYes)
                return;
            ChangeExistingContact = false;
            addContact();
            return;
        }
        if (ui::msgBox("Do you want to save the new contact?", ui::vbYesNo, "Contact Manager - Save New Contact") ==
            ui::vbYes) {
            addContact();
            return;
        }
        ui::msgBox("No record is saved", ui::vbOKOnly, "Contact Manager - Record not saved");
        close();
    });
}

void frmContact::addContact() {
    ContactData();
    const std::vector<std::string> groups = tickedGroups();
    try {
        AddContact(DbConnection, contactName, contactMobile, contactCompany, groups);
    } catch (...) {
        // Nothing was written (one transaction): say so, keep what was typed.
        LogCurrentException("frmContact-CmdOK_Click");
        ui::msgBox("No record is saved", ui::vbCritical, "Contact Manager - Record not saved");
        return;
    }
    reloadMainWindow();
    if (ui::msgBox("Do you want to create another new contact?", ui::vbYesNo, "Contact Manager - Create New Contact") ==
        ui::vbYes) {
        ClearFormContact();
        return;
    }
    finishAfterSave();
}

void frmContact::updateContact() {
    ContactData();
    bool saved = false;
    try {
        saved = UpdateContact(DbConnection, CurrentContactID, contactName, contactMobile, contactCompany,
                              tickedGroups());
        if (!saved) WriteErrorLog("frmContact-CmdOK_Click", 0, "contact " + std::to_string(CurrentContactID) +
                                                                   " is no longer in the Address Book");
    } catch (...) {
        LogCurrentException("frmContact-CmdOK_Click");
    }
    if (!saved) {
        ui::msgBox("No record is saved", ui::vbCritical, "Contact Manager - Record not saved");
        return;
    }
    reloadMainWindow();
    ClearFormContact();
    finishAfterSave();
}

void frmContact::finishAfterSave() {
    SkipClosePrompt = true;
    close();
}

void frmContact::cmdCancel_Click() {
    EditFromGroup = false;
    close();
}

bool frmContact::Form_Unload() {
    return ui::msgBox("Closing the Contact. Are you sure?", ui::vbYesNo, "Contact Manager - Close") == ui::vbYes;
}

void frmContact::reject() { close(); }

void frmContact::closeEvent(QCloseEvent* event) {
    // A window not on the screen closes without a question (the main window's exit).
    if (!SkipClosePrompt && isVisible() && !Form_Unload()) {
        event->ignore();
        return;
    }
    // A later Address Book reload must not jump to the group this contact came from.
    EditFromGroup = false;
    SkipClosePrompt = false;
    event->accept();
    done(QDialog::Rejected);  // ends a modal wait
}

// ---- the main window's way in ------------------------------------------------------------

void ShowContact() {
    Trap("General-ShowContact", [] {
        if (EditContact) frmContact::instance()->DisplayRecord(CurrentContactID);
        else frmContact::instance()->openAdd(false);
    });
}

}  // namespace parlix::console
