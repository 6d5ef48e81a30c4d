#include "console/dialogs/core/Login.h"

namespace parlix::console {

bool IsAdminLogin(db::Connection& c, const std::string& userId, const std::string& password) {
    // The columns compare with trailing blanks ignored; a login compares exactly.
    const auto n = c.scalar(
        "SELECT count(*) FROM Login WHERE Type = 'Admin' AND Password = ? COLLATE BINARY"
        " AND UserID = ? COLLATE BINARY",
        {password, userId});
    return n && n->asInt() != 0;
}

PasswordChange ChangeUserPassword(db::Connection& c, const std::string& oldPassword, const std::string& newPassword,
                                  const std::string& confirmPassword) {
    const auto rows =
        c.query("SELECT rowid FROM Login WHERE UserID = 'user1' AND Password = ? COLLATE BINARY", {oldPassword});
    if (rows.size() != 1) return PasswordChange::WrongPassword;
    if (newPassword != confirmPassword) return PasswordChange::Mismatch;
    c.execute("UPDATE Login SET Password = ? WHERE rowid = ?", {newPassword, rows[0][0]});
    return PasswordChange::Changed;
}

}  // namespace parlix::console
