#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "console/dialogs/frmLoginAdmin.h"
#include "console/dialogs/frmUserPassword.h"
#include "console/dialogs/tests/TestEnv.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "platform/ui/Dialogs.h"

using namespace parlix;
using namespace parlix::console;
using parlix::console::testing::ConsoleFolder;

namespace {
QApplication& app = parlix::console::testing::TestApp();

const char* kInvalid = "Invalid Password, try again!";
const char* kWrong = "You have entered a wrong password, please try again.";
const char* kMismatch = "The new password and the confirm password do not match.  Please enter again!";
const char* kUpdated = "New password has been updated successfully!";

std::string user1Password() {
    return DbConnection.scalar("SELECT Password FROM Login WHERE UserID = 'user1'")->asText();
}

void login(frmLoginAdmin& w, const char* user, const char* pass) {
    w.txtUserName->setText(user);
    w.txtPassword->setText(pass);
    w.cmdOK->click();
}

void fill(frmUserPassword& w, const char* oldPw, const char* newPw, const char* confirm) {
    w.txtOldPassword->setText(QString::fromUtf8(oldPw));
    w.txtNewPassword->setText(QString::fromUtf8(newPw));
    w.txtConfirmPassword->setText(QString::fromUtf8(confirm));
}
}  // namespace

TEST(frmLoginAdmin, Controls) {
    frmLoginAdmin w;
    EXPECT_EQ(w.windowTitle(), "Administrator Login");
    EXPECT_EQ(w.lblLabels[0]->text(), "&Login ID:");
    EXPECT_EQ(w.lblLabels[1]->text(), "&Password:");
    EXPECT_EQ(w.txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(w.txtPassword->styleSheet().contains("lineedit-password-character: 42"));
    EXPECT_FALSE(w.LoginAdmin);
}

TEST(frmLoginAdmin, RefusalsKeepTheWindowAndSelectThePassword) {
    ConsoleFolder folder;
    const std::pair<const char*, const char*> refused[] = {
        {"user1", "user1"}, {"admin", "' OR '1'='1"}, {"admin ", "admin"}, {"admin", "Admin"}, {"", ""}};
    for (const auto& [user, pass] : refused) {
        ui::ScriptedDialogs boxes;
        frmLoginAdmin w;
        w.show();
        login(w, user, pass);
        ASSERT_EQ(boxes.calls.size(), 1u) << user;
        EXPECT_EQ(boxes.calls[0].prompt, kInvalid);
        EXPECT_EQ(boxes.calls[0].title, "Login");
        EXPECT_EQ(boxes.calls[0].buttons, ui::vbCritical);
        EXPECT_FALSE(w.LoginAdmin);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.txtPassword->selectedText(), QString(pass));
    }
    EXPECT_EQ(folder.errorLog(), "");
}

// With the database the administrator gets the password window; without it both
// failures are logged and the window stays.
TEST(frmLoginAdmin, AdminWithAndWithoutDatabase) {
    for (bool withDb : {true, false}) {
        ConsoleFolder folder(withDb);
        ui::ScriptedDialogs boxes;
        frmLoginAdmin w;
        w.show();
        login(w, "admin", "admin");
        EXPECT_EQ(w.LoginAdmin, withDb);
        EXPECT_EQ(w.isVisible(), !withDb);
        EXPECT_EQ(frmUserPassword::instance()->isVisible(), withDb);
        EXPECT_TRUE(boxes.calls.empty());
        if (!withDb) {
            // The second, same ConnectDB record is counted, not written again.
            EXPECT_EQ(folder.logLocations(), (std::vector<std::string>{"ConnectDB", "frmLoginAdmin-cmdOK_Click"}));
            EXPECT_NE(folder.errorLog().find("\r\n... repeated 1 more time, the last at "), std::string::npos);
        }
        frmUserPassword::instance()->close();
    }
}

// The gate: a fresh login window each time; success shows the password window, Cancel
// brings the main window back without it.
TEST(OpenUserPasswordAsAdmin, GateOutcomes) {
    ConsoleFolder folder;
    ui::ScriptedDialogs boxes;
    General main;
    static frmLoginAdmin* seen = nullptr;
    static int shown = 0;

    setLoginModalRunner([](QDialog& d) {
        auto& login = static_cast<frmLoginAdmin&>(d);
        EXPECT_NE(&login, seen);  // never the same window twice
        seen = &login;
        ++shown;
        login.cmdCancel->click();
    });
    ShowLoginAdminThenPassword();
    EXPECT_FALSE(frmUserPassword::instance()->isVisible());
    EXPECT_TRUE(main.isVisible());

    setLoginModalRunner([](QDialog& d) {
        ++shown;
        login(static_cast<frmLoginAdmin&>(d), "admin", "admin");
    });
    ShowLoginAdminThenPassword();
    EXPECT_TRUE(frmUserPassword::instance()->isVisible());
    EXPECT_EQ(shown, 2);
    setLoginModalRunner(nullptr);
    frmUserPassword::instance()->close();
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_FALSE(main.mnuSetting->menuAction()->isVisible());
}

TEST(frmUserPassword, OutcomesAndTexts) {
    ConsoleFolder folder;
    ui::ScriptedDialogs boxes;
    frmUserPassword& w = *frmUserPassword::instance();
    EXPECT_EQ(w.windowTitle(), "User Password");
    w.show();

    fill(w, "wrong", "a", "a");
    w.cmdOK->click();
    fill(w, "user1", "Secret", "secret");  // differs only in letter case
    w.cmdOK->click();
    EXPECT_EQ(w.txtNewPassword->text(), "Secret");  // texts kept after a failed try
    EXPECT_EQ(w.txtOldPassword->selectedText(), "user1");
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(user1Password(), "user1");

    fill(w, "user1", "it's new", "it's new");
    w.cmdOK->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(user1Password(), "it's new");

    ASSERT_EQ(boxes.calls.size(), 3u);
    EXPECT_EQ(boxes.calls[0].prompt, kWrong);
    EXPECT_EQ(boxes.calls[0].buttons, ui::vbOKOnly);
    EXPECT_EQ(boxes.calls[1].prompt, kMismatch);
    EXPECT_EQ(boxes.calls[1].buttons, ui::vbCritical);
    EXPECT_EQ(boxes.calls[2].prompt, kUpdated);
    EXPECT_EQ(boxes.calls[2].buttons, ui::vbInformation);
    for (const auto& c : boxes.calls) EXPECT_EQ(c.title, "Setting");

    // Opened again: empty boxes; the quoted password works; empty passwords are stored as "".
    w.show();
    EXPECT_EQ(w.txtOldPassword->text(), "");
    EXPECT_EQ(w.txtNewPassword->text(), "");
    EXPECT_EQ(w.txtConfirmPassword->text(), "");
    fill(w, "it's new", "", "");
    w.cmdOK->click();
    EXPECT_EQ(user1Password(), "");
    EXPECT_EQ(folder.errorLog(), "");
}

TEST(frmUserPassword, MissingDatabaseKeepsWindowOpen) {
    ConsoleFolder folder(false);
    ui::ScriptedDialogs boxes;
    frmUserPassword& w = *frmUserPassword::instance();
    w.show();
    fill(w, "user1", "n", "n");
    w.cmdOK->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(folder.logLocations(), (std::vector<std::string>{"ConnectDB", "frmUserPassword-cmdOK_Click"}));
    EXPECT_NE(folder.errorLog().find("\r\n... repeated 1 more time, the last at "), std::string::npos);
    w.cmdCancel->click();
    EXPECT_FALSE(w.isVisible());
}
