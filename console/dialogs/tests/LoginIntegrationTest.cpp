// The login checks against a real database file: every typed text is compared exactly
// as typed, and nothing typed can change what a statement does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "console/dialogs/core/Login.h"
#include "database/Schema.h"

using namespace parlix;
using namespace parlix::console;

namespace {

class LoginDb : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("parlix-login-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        const std::string path = (dir_ / "Parlix.db").string();
        ASSERT_TRUE(schema::createDatabase(path));
        db.open(path, schema::kDatabaseKey);
    }
    void TearDown() override {
        db.close();
        std::filesystem::remove_all(dir_);
    }
    std::string password(const std::string& user) {
        return db.scalar("SELECT Password FROM Login WHERE UserID = ? COLLATE BINARY", {user})->asText();
    }
    db::Connection db;
    std::filesystem::path dir_;
};

}  // namespace

TEST_F(LoginDb, AdminLoginIsExact) {
    struct Case {
        const char* user;
        const char* pass;
        bool ok;
    } cases[] = {
        {"admin", "admin", true},
        {"user1", "user1", false},           // not an administrator
        {"admin", "' OR '1'='1", false},      // injection is just a wrong password
        {"' OR '1'='1' --", "x", false},
        {"admin ", "admin", false},          // trailing blanks count
        {"admin", "admin ", false},
        {"admin", "ADMIN", false},           // letter case counts
        {"ADMIN", "admin", false},
        {"admin", "%", false},
        {"_dmin", "_dmin", false},
        {"", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsAdminLogin(db, c.user, c.pass), c.ok) << c.user << " / " << c.pass;

    // Unusual passwords work as typed once stored.
    const std::string longPass(10000, 'q');
    for (const std::string& p : {std::string("it's"), std::string("pässwörd ✓"), longPass, std::string("a%_'\"")}) {
        db.execute("UPDATE Login SET Password = ? WHERE UserID = 'admin'", {p});
        EXPECT_TRUE(IsAdminLogin(db, "admin", p)) << p.substr(0, 20);
        EXPECT_FALSE(IsAdminLogin(db, "admin", p + " "));
    }
    db.execute("DELETE FROM Login WHERE Type = 'Admin'");
    EXPECT_FALSE(IsAdminLogin(db, "admin", "a%_'\""));
}

TEST_F(LoginDb, PasswordChangeOutcomes) {
    EXPECT_EQ(ChangeUserPassword(db, "wrong", "a", "a"), PasswordChange::WrongPassword);
    EXPECT_EQ(ChangeUserPassword(db, "USER1", "a", "a"), PasswordChange::WrongPassword);
    EXPECT_EQ(ChangeUserPassword(db, "user1", "Secret", "secret"), PasswordChange::Mismatch);
    EXPECT_EQ(password("user1"), "user1");

    // A quote in the new password is stored exactly and works the next time.
    EXPECT_EQ(ChangeUserPassword(db, "user1", "o'neil ", "o'neil "), PasswordChange::Changed);
    EXPECT_EQ(password("user1"), "o'neil ");
    EXPECT_EQ(password("admin"), "admin");  // only the console user's row changes
    EXPECT_EQ(ChangeUserPassword(db, "o'neil", "x", "x"), PasswordChange::WrongPassword);
    EXPECT_EQ(ChangeUserPassword(db, "o'neil ", "", ""), PasswordChange::Changed);
    EXPECT_EQ(password("user1"), "");
    EXPECT_EQ(ChangeUserPassword(db, "", "back", "back"), PasswordChange::Changed);
    EXPECT_EQ(password("user1"), "back");
}

TEST_F(LoginDb, PasswordChangeRefusesWithoutExactlyOneUser) {
    db.execute("INSERT INTO Login (UserID, Password, Type) VALUES ('user1', 'user1', 'User')");
    EXPECT_EQ(ChangeUserPassword(db, "user1", "n", "n"), PasswordChange::WrongPassword);
    db.execute("DELETE FROM Login WHERE UserID = 'user1'");
    EXPECT_EQ(ChangeUserPassword(db, "user1", "n", "n"), PasswordChange::WrongPassword);
    EXPECT_EQ(db.scalar("SELECT count(*) FROM Login")->asInt(), 1);
}

TEST(LoginClosed, ClosedDatabaseThrows) {
    db::Connection closed;
    EXPECT_THROW(IsAdminLogin(closed, "admin", "admin"), db::DbError);
    EXPECT_THROW(ChangeUserPassword(closed, "user1", "a", "a"), db::DbError);
}
