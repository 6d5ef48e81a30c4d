#include "console/shell/frmAbout.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "console/shell/Artwork.h"
#include "console/shell/Windows.h"
#include "console/shell/core/KeyValue.h"
#include "platform/launch/Launch.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setModal(false);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(ParlixArtwork(64));
    lblTitle = new QLabel(this);
    lblTitle->setObjectName("lblTitle");
    QFont title = lblTitle->font();
    title.setPointSize(title.pointSize() + 5);
    title.setBold(true);
    lblTitle->setFont(title);
    lblVersion = new QLabel(this);
    lblVersion->setObjectName("lblVersion");
    lblDescription = new QLabel(this);
    lblDescription->setObjectName("lblDescription");
    lblCopyright = new QLabel(this);
    lblCopyright->setObjectName("lblCopyright");
    lblCopyright->setStyleSheet("color: #444;");
    Line1 = new QFrame(this);
    Line1->setObjectName("Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(18);
    grid->addWidget(Image1, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->setRowMinimumHeight(3, 12);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblCopyright, 1, Qt::AlignTop);
    bottom->addLayout(buttons);
    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addWidget(Line1);
    all->addLayout(bottom);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    Form_Load();
}

frmAbout* frmAbout::instance() {
    static frmAbout* window = new frmAbout;
    return window;
}

void frmAbout::Form_Load() {
    setWindowTitle("Parlix Basic Edition");
    lblTitle->setText("Parlix Basic Edition");
    lblVersion->setText("Version no. " PARLIX_CONSOLE_VERSION);
    lblDescription->setText("A business tool for broadcasting SMS");
    lblCopyright->setText("Copyright (C) 2026, all rights reserved.\nThe Parlix Messaging Team");
}

void frmAbout::cmdOK_Click() { close(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

bool frmAbout::GetKeyValue(registry::HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
    return console::GetKeyValue(KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::StartSysInfo() {
    try {
        std::string path;
        if (GetKeyValue(registry::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path)) {
            if (launch::startProgram(path)) return;
        } else if (GetKeyValue(registry::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                               path)) {
            const std::string program = (std::filesystem::path(path) / "MSINFO32.EXE").string();
            std::error_code ec;
            if (std::filesystem::is_regular_file(program, ec) && launch::startProgram(program)) return;
        }
    } catch (...) {
        // Any failure on the way ends in the same message.
    }
    ui::msgBox("System Information Is Unavailable At This Time", ui::vbOKOnly, "");
}

void ShowAbout() {
    frmAbout* w = frmAbout::instance();
    w->show();
    w->raise();
    w->activateWindow();
}

}  // namespace parlix::console
