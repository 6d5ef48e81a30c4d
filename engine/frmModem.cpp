#include "engine/frmModem.h"

#include "engine/ConnectDB.h"
#include "engine/Engine.h"
#include "engine/EngineGlobals.h"
#include "engine/EngineText.h"
#include "engine/ErrorLog.h"
#include "platform/ui/Dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>
#include <charconv>
#include <optional>

namespace parlix::engine {
namespace {

std::string Id() { return std::to_string(EngineModemID); }

// A whole number within [lo, hi]; nothing for any other text.
std::optional<int> WholeNumber(const QString& text, int lo, int hi) {
    const std::string s = text.trimmed().toStdString();
    int value = 0;
    const char* first = s.data();
    if (!s.empty() && s.front() == '+') ++first;
    auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < lo || value > hi) return std::nullopt;
    return value;
}

class InvalidNumber {};

template <class T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace

frmModem::frmModem(Engine& engine, EngineWindowDisplay& display, QWidget* parent)
    : QDialog(parent), engine_(engine), display_(display) {
    setObjectName("frmModem");
    setWindowTitle("GSM Modem Setting");
    setModal(true);

    txtModemNum = Named(new QLineEdit, "txtModemNum");
    txtModemNum->setToolTip("Enter the mobile number");
    txtPIN = Named(new QLineEdit, "txtPIN");
    txtPIN->setToolTip("Enter the PIN to unlock SIM lock");
    txtPort = Named(new QLineEdit, "txtPort");
    txtPort->setToolTip("Enter the COM port number");
    cbPoll = Named(new QComboBox, "cbPoll");
    cbPoll->setEditable(true);
    for (int i = 1; i <= 10; ++i) cbPoll->addItem(QString::number(i));
    cbPoll->setToolTip("How frequent the SMS Engine queries the databse");
    chkDSR = Named(new QCheckBox("Delivery Status Report"), "chkDSR");
    chkDSR->setToolTip("Check to enable delivery status report");
    OptReadSend = Named(new QRadioButton("2 way"), "OptReadSend");
    OptRead = Named(new QRadioButton("1 way- Read SMS"), "OptRead");
    OptSend = Named(new QRadioButton("1 way- Send SMS"), "OptSend");
    chkMaxis = Named(new QCheckBox("012"), "chkMaxis");
    chkDigi = Named(new QCheckBox("016"), "chkDigi");
    chkCelcom = Named(new QCheckBox("019"), "chkCelcom");
    chkTMtouch = Named(new QCheckBox("013"), "chkTMtouch");
    chkTimeCel = Named(new QCheckBox("017"), "chkTimeCel");
    chk014 = Named(new QCheckBox("014"), "chk014");
    chkAll = Named(new QCheckBox("All"), "chkAll");
    cmdSave = Named(new QPushButton("Save Setting"), "cmdSave");
    cmdExit = Named(new QPushButton("Exit"), "cmdExit");

    auto* sim = Named(new QGroupBox("SIM Setting"), "fraSIM");
    auto* simGrid = new QGridLayout(sim);
    simGrid->addWidget(new QLabel("SIM Card No."), 0, 0);
    simGrid->addWidget(txtModemNum, 0, 1);
    simGrid->addWidget(new QLabel("PIN"), 1, 0);
    simGrid->addWidget(txtPIN, 1, 1);

    auto* modem = Named(new QGroupBox("Modem"), "fraModem");
    auto* modemGrid = new QGridLayout(modem);
    modemGrid->addWidget(new QLabel("COM Port"), 0, 0);
    modemGrid->addWidget(txtPort, 0, 1, 1, 2);
    modemGrid->addWidget(new QLabel("Poll"), 1, 0);
    modemGrid->addWidget(cbPoll, 1, 1);
    modemGrid->addWidget(new QLabel("seconds"), 1, 2);
    modemGrid->addWidget(chkDSR, 2, 0, 1, 3);

    auto* direction = Named(new QGroupBox("Direction"), "fraDirection");
    auto* dirBox = new QVBoxLayout(direction);
    auto* options = new QButtonGroup(this);
    for (QRadioButton* opt : {OptReadSend, OptRead, OptSend}) {
        options->addButton(opt);
        dirBox->addWidget(opt);
    }

    auto* routing = Named(new QGroupBox("Routing"), "fraRouting");
    auto* routeGrid = new QGridLayout(routing);
    const std::array<QCheckBox*, 6> boxes = {chkMaxis, chkTMtouch, chk014, chkDigi, chkTimeCel, chkCelcom};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        routeGrid->addWidget(boxes[i], static_cast<int>(i / 3), static_cast<int>(i % 3));
    routeGrid->addWidget(chkAll, 2, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdExit);

    auto* grid = new QGridLayout(this);
    grid->addWidget(sim, 0, 0);
    grid->addWidget(modem, 0, 1);
    grid->addWidget(direction, 1, 0);
    grid->addWidget(routing, 1, 1);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    // Like the check box's Click, this also runs when the load sets the box.
    connect(chkAll, &QCheckBox::toggled, this, [this] { chkAll_Click(); });
    connect(OptReadSend, &QRadioButton::clicked, this, [this] { OptReadSend_Click(); });
    connect(OptRead, &QRadioButton::clicked, this, [this] { OptRead_Click(); });
    connect(OptSend, &QRadioButton::clicked, this, [this] { OptSend_Click(); });
}

frmModem::~frmModem() = default;

void frmModem::EnsureLoaded() {
    if (!loaded_) Form_Load();
}

void frmModem::Form_Load() {
    loaded_ = true;
    chosenDirection_ = -1;
    try {
        ConnectADODB(engine_.DbConnection);
        rs_.close();
        rs_.open(engine_.DbConnection, "SELECT * FROM Modem WHERE [ModemID] = ?", {EngineModemID},
                 {db::Cursor::Live, db::Lock::Optimistic, 0});
        Fill();
    } catch (...) {
        LogCurrentException("frmModem-Form_Load: " + Id());
    }
}

void frmModem::Fill() {
    if (rs_.eof()) return;
    txtPIN->setText(QString::fromStdString(rs_.text("PIN")));
    txtPort->setText(rs_.isNull("PortNumber") ? QString() : QString::number(rs_.integer("PortNumber")));
    txtModemNum->setText(QString::fromStdString(rs_.text("ModemNumber")));
    cbPoll->setEditText(rs_.isNull("Poll") ? QString("5") : QString::number(rs_.integer("Poll")));
    chkDSR->setChecked(rs_.boolean("DSR"));
    const std::array<std::pair<QCheckBox*, const char*>, 6> flags = {{{chkMaxis, "012"},
                                                                      {chkDigi, "016"},
                                                                      {chkCelcom, "019"},
                                                                      {chkTMtouch, "013"},
                                                                      {chkTimeCel, "017"},
                                                                      {chk014, "014"}}};
    bool any = false;
    for (auto [box, column] : flags) {
        box->setChecked(rs_.boolean(column));
        any = any || box->isChecked();
    }
    chkAll->setChecked(!any);
    chkAll_Click();
    switch (rs_.integer("Direction")) {
    case 0: OptReadSend->setChecked(true); break;
    case 1: OptRead->setChecked(true); break;
    case 2: OptSend->setChecked(true); break;
    default: break;
    }
}

void frmModem::Form_Unload() {
    try {
        // Edits not saved are dropped with the record set.
        rs_.close();
        if (showsUnsaved_) ShowSavedSim();
    } catch (...) {
        LogCurrentException("frmModem Form_Unload: " + Id());
    }
    loaded_ = false;
    if (isVisible()) QDialog::done(QDialog::Rejected);
    hide();
}

void frmModem::ShowSavedSim() {
    showsUnsaved_ = false;
    db::Recordset row(engine_.DbConnection, "SELECT ModemNumber FROM Modem WHERE [ModemID] = ?", {EngineModemID});
    const std::string saved = row.eof() ? std::string() : row.text("ModemNumber");
    display_.ShowOperator(saved);
    display_.ShowProductLine(saved);
}

void frmModem::cmdExit_Click() {
    try {
        Form_Unload();
    } catch (...) {
        LogCurrentException("cmdExit_click()in frmModem for " + Id());
    }
}

void frmModem::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void frmModem::reject() { Form_Unload(); }

void frmModem::chkAll_Click() {
    try {
        const bool all = chkAll->isChecked();
        for (QCheckBox* box : {chkMaxis, chkDigi, chkCelcom, chkTMtouch, chkTimeCel, chk014}) {
            if (all) box->setChecked(false);
            box->setEnabled(!all);
        }
    } catch (...) {
        LogCurrentException("frmModem-chkAll_Click Modem: " + Id());
    }
}

void frmModem::SetDirection(int direction, const char* location) {
    try {
        chosenDirection_ = direction;
        rs_.setField("Direction", direction);
        OptReadSend->setChecked(direction == 0);
        OptRead->setChecked(direction == 1);
        OptSend->setChecked(direction == 2);
    } catch (...) {
        LogCurrentException(location + Id());
    }
}

void frmModem::OptReadSend_Click() { SetDirection(0, "frmModem OptReadSend: "); }
void frmModem::OptRead_Click() { SetDirection(1, "frmModem OptRead: "); }
void frmModem::OptSend_Click() { SetDirection(2, "frmModem OptSend: "); }

void frmModem::cmdSave_Click() {
    auto warn = [](const char* text) { ui::msgBox(text, ui::vbExclamation, "Warning"); };
    try {
        // The engine ticks once every 1 to 10 seconds; a port is numbered from 1.
        auto number = [](const QString& text, int lo, int hi) {
            auto value = WholeNumber(text, lo, hi);
            if (!value) throw InvalidNumber();
            return *value;
        };
        if (cbPoll->currentText().isEmpty()) return warn("Please specified the poll rate.");
        rs_.setField("Poll", number(cbPoll->currentText(), 1, 10));

        const std::string sim = txtModemNum->text().toStdString();
        if (sim.empty()) return warn("Please specified the SIM card number.");
        rs_.setField("ModemNumber", sim);
        rs_.setField("PIN", txtPIN->text().toStdString());

        if (txtPort->text().isEmpty()) return warn("Please specified your Modem Port!");
        rs_.setField("PortNumber", number(txtPort->text(), 1, 32767));

        rs_.setField("DSR", chkDSR->isChecked());

        display_.ShowOperator(sim);
        display_.ShowProductLine(sim);
        showsUnsaved_ = true;

        const std::array<QCheckBox*, 6> boxes = {chkMaxis, chkDigi, chkCelcom, chkTMtouch, chkTimeCel, chk014};
        bool any = false;
        for (std::size_t slot = 0; slot < boxes.size(); ++slot) {
            const bool on = boxes[slot]->isChecked();
            any = any || on;
            engine_.RoutePrefixes[slot] = on ? kRouteSlots[slot] : "";
            rs_.setField(kRouteSlots[slot], on);
        }
        if (chkAll->isChecked()) {
            for (std::size_t slot = 0; slot < boxes.size(); ++slot) {
                engine_.RoutePrefixes[slot].clear();
                rs_.setField(kRouteSlots[slot], false);
            }
        } else if (!any) {
            return warn("Please specified your routing.");
        }
        // A refused Save dropped the direction chosen before it; the option still shows it.
        if (chosenDirection_ >= 0) rs_.setField("Direction", chosenDirection_);

        rs_.update();
        showsUnsaved_ = false;
        Form_Unload();
    } catch (const InvalidNumber&) {
        ui::msgBox("Invalid number! Please enter again", ui::vbExclamation, "Warning");
    } catch (const db::RowConflictError& conflict) {
        LogCurrentException("frmModem-cmdSave_Click Modem: " + Id());
        // The boxes keep what the user typed: a second Save writes it over the other change.
        ui::msgBox(conflict.rowGone() ? NoModemRowText()
                                      : "The modem settings were changed by another program after this window was "
                                        "opened, so nothing was saved. Your entries are kept: press Save Setting "
                                        "again to save them over that change, or Exit to keep it.",
                   ui::vbCritical, "Warning");
    } catch (const std::exception& e) {
        LogCurrentException("frmModem-cmdSave_Click Modem: " + Id());
        ui::msgBox("Nothing was saved. " + (rs_.isOpen() && rs_.eof() ? NoModemRowText() : DatabaseProblem(e)),
                   ui::vbCritical, "Warning");
    } catch (...) {
        LogCurrentException("frmModem-cmdSave_Click Modem: " + Id());
    }
}

}  // namespace parlix::engine
