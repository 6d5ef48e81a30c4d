// The engine window and the modem settings window, offscreen, with scripted boxes.
#include "engine/frmSMSEngine.h"
#include "engine/tests/EngineRig.h"
#include "engine/tests/TestApp.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/SingleInstance.h"
#include "platform/ui/TrayIcon.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace parlix;
using namespace parlix::engine;
using namespace parlix::engine::testing;

namespace {

class Windows : public EngineRig {
protected:
    void SetUp() override {
        app();
        EngineRig::SetUp();
        std::ofstream(fs::path(EngineFolder) / "Setting.INI", std::ios::binary)
            << "[Product Name]\r\nProductName=Parlix Test\r\n";
    }
    std::string text(QLabel* l) { return l->text().toStdString(); }
    ui::ScriptedDialogs boxes;
};

}  // namespace

TEST_F(Windows, LoadShowsProductLineAndOperatorBySimPrefix) {
    struct Case {
        const char* sim;
        const char* telco;
        const char* logo;
    } cases[] = {{"0123456789", "Maxis", "ImgMaxis"},     {"0193456789", "Celcom", "ImgCelcom"},
                 {"0133456789", "TMTouch", "ImgTMtouch"}, {"0163456789", "Digi", "ImgDigi"},
                 {"0143456789", "Digi", "ImgDigi"},       {"0173456789", "Hotlink", "ImgHotlink"},
                 {"0103456789", "", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sim);
        setModem(std::string("ModemNumber = '") + c.sim + "'");
        frmSMSEngine w;
        ASSERT_TRUE(w.Form_Load());
        EXPECT_EQ(text(w.lblProductName), std::string("Parlix Test 1 - ") + c.sim);
        EXPECT_EQ(text(w.lblTelco), c.telco);
        for (QLabel* logo : {w.ImgMaxis, w.ImgCelcom, w.ImgDigi, w.ImgTMtouch, w.ImgHotlink})
            EXPECT_EQ(!logo->isHidden(), logo->objectName() == c.logo) << logo->objectName().toStdString();
        EXPECT_FALSE(w.cmdStop->isEnabled());
        EXPECT_EQ(w.Panels[0]->text(), "Stop");
        EXPECT_EQ(text(w.lblOut), "Sent: 0");
        EXPECT_EQ(text(w.lblIn), "In: 0");
        EXPECT_EQ(text(w.lblFailed), "Fail: 0");
    }
}

TEST_F(Windows, MissingSettingsFileLeavesProductNameEmpty) {
    fs::remove(fs::path(EngineFolder) / "Setting.INI");
    frmSMSEngine w;
    ASSERT_TRUE(w.Form_Load());
    EXPECT_EQ(text(w.lblProductName), " 1 - 0123456789");
}

TEST_F(Windows, SaveChecksInOrderAndCommitsNothingUntilAllPass) {
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    EXPECT_EQ(m.txtPort->text(), "3");
    EXPECT_EQ(m.cbPoll->currentText(), "5");
    m.chkAll->setChecked(false);

    m.cbPoll->setEditText("");
    m.cmdSave_Click();
    m.cbPoll->setEditText("7");
    m.txtModemNum->setText("");
    m.cmdSave_Click();
    m.txtModemNum->setText("0193456789");
    m.txtPort->setText("");
    m.cmdSave_Click();
    m.txtPort->setText("COM3");
    m.cmdSave_Click();
    m.txtPort->setText("4");
    m.cmdSave_Click();
    EXPECT_EQ(boxes.prompts(),
              (std::vector<std::string>{"Please specified the poll rate.", "Please specified the SIM card number.",
                                        "Please specified your Modem Port!", "Invalid number! Please enter again",
                                        "Please specified your routing."}));
    for (const auto& call : boxes.calls) {
        EXPECT_EQ(call.buttons, ui::vbExclamation);
        EXPECT_EQ(call.title, "Warning");
    }
    // The refused routing step comes after the operator display was refreshed.
    EXPECT_EQ(text(w.lblTelco), "Celcom");
    EXPECT_EQ(text(w.lblProductName), "Parlix Test 1 - 0193456789");
    EXPECT_TRUE(m.IsLoaded());
    EXPECT_EQ(modemColumn("ModemNumber"), "0123456789");
    EXPECT_EQ(modemColumn("PortNumber"), "3");

    m.chkMaxis->setChecked(true);
    m.txtPIN->setText("1234");
    m.chkDSR->setChecked(true);
    m.cmdSave_Click();
    EXPECT_EQ(boxes.calls.size(), 5u);
    EXPECT_FALSE(m.IsLoaded());
    EXPECT_EQ(modemColumn("ModemNumber"), "0193456789");
    EXPECT_EQ(modemColumn("PortNumber"), "4");
    EXPECT_EQ(modemColumn("Poll"), "7");
    EXPECT_EQ(modemColumn("PIN"), "1234");
    EXPECT_EQ(modemColumn("DSR"), "1");
    EXPECT_EQ(modemColumn("012"), "1");
    EXPECT_EQ(modemColumn("016"), "0");
    EXPECT_EQ(w.engine().RoutePrefixes[0], "012");
}

TEST_F(Windows, ClosingAfterARefusedSaveShowsTheSavedRowAgain) {
    const std::function<void(frmModem&)> closings[] = {
        [](frmModem& m) { m.cmdExit_Click(); },
        [](frmModem& m) { m.close(); },
        [](frmModem& m) { static_cast<QDialog&>(m).reject(); },  // Esc
    };
    for (const auto& closeIt : closings) {
        frmSMSEngine w;
        w.Form_Load();
        std::string shownWhileOpen;
        QTimer::singleShot(0, [&] {
            frmModem& m = w.modemForm();
            m.txtModemNum->setText("0193456789");
            m.chkAll->setChecked(false);
            m.cmdSave_Click();  // refused: no routing
            shownWhileOpen = text(w.lblTelco) + " / " + text(w.lblProductName);
            closeIt(m);
        });
        w.mnuModem_Click();
        EXPECT_EQ(shownWhileOpen, "Celcom / Parlix Test 1 - 0193456789");
        EXPECT_EQ(modemColumn("ModemNumber"), "0123456789");
        EXPECT_EQ(text(w.lblTelco), "Maxis");
        EXPECT_EQ(text(w.lblProductName), "Parlix Test 1 - 0123456789");
        EXPECT_FALSE(w.ImgMaxis->isHidden());
        EXPECT_TRUE(w.ImgCelcom->isHidden());
    }
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>(3, "Please specified your routing."));
}

TEST_F(Windows, SaveSavesAfterOutsideChangesOfOtherColumns) {
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    // What a Start and Stop, a crashed engine or another tool write meanwhile.
    setModem("Status = 'Running', Rate1 = 0.15");
    m.txtPort->setText("4");
    m.OptSend->click();
    m.cmdSave_Click();
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_FALSE(m.IsLoaded());
    EXPECT_EQ(modemColumn("PortNumber"), "4");
    EXPECT_EQ(modemColumn("Direction"), "2");
    EXPECT_EQ(modemColumn("Status"), "Running") << "a column Save does not write is left alone";
    EXPECT_EQ(modemColumn("Rate1"), "0.15");
}

TEST_F(Windows, SaveAfterAConflictingChangeSaysSoAndKeepsTheEdits) {
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    setModem("PortNumber = 9");  // another program changed a column that Save writes
    m.txtPort->setText("4");
    m.txtModemNum->setText("0163345678");
    m.OptRead->click();
    m.cmdSave_Click();
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_NE(boxes.calls[0].prompt.find("changed by another program"), std::string::npos) << boxes.calls[0].prompt;
    EXPECT_EQ(boxes.calls[0].buttons, ui::vbCritical);
    EXPECT_TRUE(m.IsLoaded());
    EXPECT_EQ(m.txtPort->text(), "4");
    EXPECT_EQ(m.txtModemNum->text(), "0163345678");
    EXPECT_TRUE(m.OptRead->isChecked());
    EXPECT_EQ(modemColumn("PortNumber"), "9");
    EXPECT_EQ(modemColumn("ModemNumber"), "0123456789");

    // Saved again, the user's entries go over the other change, the direction too.
    m.cmdSave_Click();
    EXPECT_EQ(boxes.calls.size(), 1u);
    EXPECT_FALSE(m.IsLoaded());
    EXPECT_EQ(modemColumn("PortNumber"), "4");
    EXPECT_EQ(modemColumn("ModemNumber"), "0163345678");
    EXPECT_EQ(modemColumn("Direction"), "1");
}

TEST_F(Windows, SettingsWindowShowsTheRowAsItIsWhenOpened) {
    frmSMSEngine w;
    w.Form_Load();  // loads the settings window hidden
    setModem("PortNumber = 7, ModemNumber = '0193456789'");
    QString port, sim;
    QTimer::singleShot(0, [&] {
        frmModem& m = w.modemForm();
        port = m.txtPort->text();
        sim = m.txtModemNum->text();
        m.cmdExit_Click();
    });
    w.mnuModem_Click();
    EXPECT_EQ(port, "7");
    EXPECT_EQ(sim, "0193456789");
}

TEST_F(Windows, SaveWithoutAModemRowSaysWhy) {
    EngineModemID = 9;
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    m.txtModemNum->setText("0123456789");
    m.txtPort->setText("3");
    m.cmdSave_Click();
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_NE(boxes.calls[0].prompt.find("engine 9"), std::string::npos) << boxes.calls[0].prompt;
    EXPECT_NE(errorLog().find("frmModem-cmdSave_Click Modem: 9"), std::string::npos);
}

TEST_F(Windows, PollOutsideOneToTenIsRefused) {
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    for (const char* poll : {"0", "11", "2.5", "-1"}) {
        m.cbPoll->setEditText(poll);
        m.cmdSave_Click();
    }
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>(4, "Invalid number! Please enter again"));
    EXPECT_EQ(modemColumn("Poll"), "5");
}

TEST_F(Windows, AllClearsAndDisablesThePrefixBoxesAndSavesNoFlags) {
    setModem("\"012\" = 1, \"016\" = 1");
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    EXPECT_FALSE(m.chkAll->isChecked());
    EXPECT_TRUE(m.chkMaxis->isChecked());
    EXPECT_TRUE(m.chkDigi->isChecked());
    EXPECT_FALSE(m.chkCelcom->isChecked());

    m.chkAll->click();
    for (QCheckBox* box : {m.chkMaxis, m.chkDigi, m.chkCelcom, m.chkTMtouch, m.chkTimeCel, m.chk014}) {
        EXPECT_FALSE(box->isChecked());
        EXPECT_FALSE(box->isEnabled());
    }
    m.cmdSave_Click();
    EXPECT_TRUE(boxes.calls.empty());
    for (const char* flag : {"012", "013", "014", "016", "017", "019"}) EXPECT_EQ(modemColumn(flag), "0") << flag;
    for (const auto& slot : w.engine().RoutePrefixes) EXPECT_EQ(slot, "");

    // Loaded again: only "All" is ticked; clearing it enables the boxes, still cleared.
    frmModem& again = w.modemForm();
    EXPECT_TRUE(again.chkAll->isChecked());
    EXPECT_FALSE(again.chkMaxis->isEnabled());
    again.chkAll->click();
    EXPECT_TRUE(again.chkMaxis->isEnabled());
    EXPECT_FALSE(again.chkMaxis->isChecked());
}

TEST_F(Windows, OptionIsKeptOnlyBySave) {
    frmSMSEngine w;
    w.Form_Load();
    frmModem& m = w.modemForm();
    EXPECT_TRUE(m.OptReadSend->isChecked());
    m.OptRead->click();
    EXPECT_TRUE(m.OptRead->isChecked());
    EXPECT_FALSE(m.OptReadSend->isChecked());
    m.cmdExit->click();
    EXPECT_FALSE(m.IsLoaded());
    EXPECT_EQ(modemColumn("Direction"), "0");

    frmModem& again = w.modemForm();
    EXPECT_TRUE(again.OptReadSend->isChecked());
    again.OptSend->click();
    again.cmdSave_Click();
    EXPECT_EQ(modemColumn("Direction"), "2");
}

TEST_F(Windows, RunsAgainstTheModemAndRefusesToCloseWhileRunning) {
    startModem();
    frmSMSEngine w;
    w.Form_Load();
    w.show();
    w.cmdInit->click();
    EXPECT_EQ(w.Panels[0]->text(), "Running");
    EXPECT_EQ(w.Panels[1]->text(), "Port:3");
    EXPECT_EQ(w.Panels[2]->text(), "Direction: 2 ways - read and send");
    EXPECT_EQ(w.Panels[3]->text(), "Routing: All");
    EXPECT_EQ(w.windowTitle(), "Parlix Test 1 - 0123456789");
    EXPECT_TRUE(w.Timer1.isActive());
    EXPECT_EQ(w.Timer1.interval(), 5000);
    EXPECT_FALSE(w.mnuSet->isEnabled());
    EXPECT_TRUE(w.txtStatus->toPlainText().contains(" Status : SMS engine is running.\n"));

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    // Exit from the tray menu while the window is hidden in the tray.
    w.hide();
    w.mnuExit->trigger();
    EXPECT_TRUE(w.isHidden());
    EXPECT_TRUE(w.cmdStop->isEnabled());
    ASSERT_EQ(boxes.calls.size(), 2u);
    for (const auto& call : boxes.calls) {
        EXPECT_EQ(call.prompt, "Stop the SMS engine first before closing the programme!");
        EXPECT_EQ(call.buttons, ui::vbCritical + ui::vbOKOnly);
        EXPECT_EQ(call.title, "SMS Engine Warning");
    }

    w.cmdStop->click();
    EXPECT_EQ(w.Timer1.interval(), 1000);
    EXPECT_EQ(w.cursor().shape(), Qt::WaitCursor);
    // The stop is taken by the timer's next tick.
    QTRY_VERIFY_WITH_TIMEOUT(w.cmdInit->isEnabled(), 5000);
    EXPECT_FALSE(w.Timer1.isActive());
    EXPECT_EQ(w.Panels[0]->text(), "Stop");
    EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(w.Form_Unload());
    EXPECT_EQ(boxes.calls.size(), 2u);
}

TEST_F(Windows, SecondCopyWithTheSameNumberRaisesTheFirstAndEnds) {
    ui::SingleInstance firstGuard("ParlixEngine-window-test-1");
    frmSMSEngine first;
    ASSERT_TRUE(first.Form_Load(&firstGuard));
    first.hide();  // as in the tray

    ui::SingleInstance secondGuard("ParlixEngine-window-test-1");
    frmSMSEngine second;
    EXPECT_FALSE(second.Form_Load(&secondGuard));
    EXPECT_EQ(second.engine().DbConnection.state(), db::Connection::State::Closed);
    QTRY_VERIFY_WITH_TIMEOUT(first.isVisible(), 3000);

    // Another engine number runs beside them.
    EngineModemID = 2;
    ui::SingleInstance otherGuard("ParlixEngine-window-test-2");
    frmSMSEngine other;
    EXPECT_TRUE(other.Form_Load(&otherGuard));
}

TEST_F(Windows, MinimisingWithoutATrayKeepsTheWindowReachable) {
    frmSMSEngine w;
    w.Form_Load();
    w.show();
    w.showMinimized();
    QTest::qWait(50);
    if (ui::TrayIcon::available()) GTEST_SKIP() << "this desktop has a tray";
    EXPECT_FALSE(w.isHidden());
    EXPECT_FALSE(w.Tray->isShown());
}
