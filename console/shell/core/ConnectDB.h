// The console's one database connection and the reconnect rule.
//
//   ConnectDB(DbConnection);          // at the main window's load
//   if (!EnsureDbConnection()) ...    // before a procedure's first statement
//
// A failed open is logged as "ConnectDB" and leaves the connection closed; the reason
// of the last failure is kept for the one message the main window shows.
#pragma once

#include "platform/db/Connection.h"

#include <string>

namespace parlix::console {

// The connection every window runs its statements and opens its record sets on.
extern db::Connection DbConnection;

// Puts a fresh connection into `c` and opens "<AppPath()>/Database/Parlix.db" with the
// database key. Failure: one error-log record "ConnectDB", `c` stays closed.
void ConnectDB(db::Connection& c);

// The reconnect rule: reopens DbConnection when it is closed; true when open.
bool EnsureDbConnection();

// Why the last ConnectDB failed, for the user: "" after a successful open.
enum class ConnectFailure { None, MissingFile, WrongKey, Locked, Other };
ConnectFailure LastConnectFailure();
std::string ConnectFailureText(ConnectFailure f);

// The program's folder (the one that holds Database/, Help/ and the error log).
std::string AppPath();
void SetAppPath(const std::string& path);

}  // namespace parlix::console
