#include "console/shell/frmStatusOption.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "console/shell/core/FolderFilters.h"

namespace parlix::console {

namespace {
frmStatusOption::ShowHook showHook;
}

frmStatusOption::frmStatusOption(QWidget* parent) : QDialog(parent) {
    setObjectName("frmStatusOption");
    setWindowTitle("Message Manager - Filter Status of Sent Items");
    setModal(true);
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < 6; ++i) {
        Option1[i] = new QRadioButton(QString::fromUtf8(kSentStatusOptions[i].button), this);
        Option1[i]->setObjectName(QString("Option1_%1").arg(i));
        column->addWidget(Option1[i]);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    column->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

frmStatusOption* frmStatusOption::instance() {
    static frmStatusOption* window = nullptr;
    if (!window) window = new frmStatusOption;
    return window;
}

frmStatusOption::ShowHook frmStatusOption::setShowHook(ShowHook hook) {
    ShowHook old = std::move(showHook);
    showHook = std::move(hook);
    return old;
}

void frmStatusOption::Form_Load() {
    Option1[0]->setChecked(true);  // exclusive buttons: the others clear
    bSentItemsFilterCancel = true;  // closing the window any other way is a cancel
}

void frmStatusOption::showModal() {
    Form_Load();
    if (showHook) showHook(*this);
    else exec();
}

void frmStatusOption::cmdOK_Click() {
    for (int i = 0; i < 6; ++i) {
        if (!Option1[i]->isChecked()) continue;
        SentItemsFilter = SentStatusCriteria(i);
        SentItemsFilterCaption = kSentStatusOptions[i].caption;
        break;
    }
    bSentItemsFilterCancel = false;
    accept();
}

void frmStatusOption::cmdCancel_Click() {
    bSentItemsFilterCancel = true;
    reject();
}

}  // namespace parlix::console
