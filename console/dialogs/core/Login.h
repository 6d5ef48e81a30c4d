// The checks behind the administrator login and the user password change, on table
// Login. Every typed text is a bound value, compared exactly as typed: a quote is an
// ordinary character, and neither letter case nor trailing blanks are ignored.
// Database failures are thrown (parlix::db::DbError) for the window to log.
#pragma once

#include <string>

#include "platform/db/Connection.h"

namespace parlix::console {

// True when a row with Type 'Admin' has exactly this user id and password.
bool IsAdminLogin(db::Connection& c, const std::string& userId, const std::string& password);

enum class PasswordChange { WrongPassword, Mismatch, Changed };

// The console user "user1": the old password must match exactly one row; then a new
// password equal to its confirmation (case-sensitive; both may be empty) is stored
// as typed.
PasswordChange ChangeUserPassword(db::Connection& c, const std::string& oldPassword, const std::string& newPassword,
                                  const std::string& confirmPassword);

}  // namespace parlix::console
