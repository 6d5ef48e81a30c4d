// The engine's database connection, and what to tell the user when it fails.
#pragma once

#include "platform/db/Connection.h"

#include <exception>
#include <string>

namespace parlix::engine {

// Database/Parlix.db in the parent of the engine's folder (the engine lives one level
// below the folder that holds "Database").
std::string DatabasePath();

// Replaces `connection` by a fresh one and opens it. A failure is logged under
// "ConnectDB-ConnectADODB" and leaves the connection closed, so the next step retries;
// LastConnectFailure() then says why in one line.
void ConnectADODB(db::Connection& connection);

// Opens `connection` again when it is closed (the reconnect rule of every step).
void EnsureConnected(db::Connection& connection);

// Why the last ConnectADODB failed, in one line for the activity box ("" after a
// successful one).
const std::string& LastConnectFailure();

// One line for the activity box on a database failure: a missing file, an engine
// folder in the wrong place, a wrong key or a file that is not a Parlix database, a
// read-only or locked file, or the database's own words.
std::string DatabaseProblem(const std::exception& e);

// The line shown when the Modem table has no row for this engine.
std::string NoModemRowText();

}  // namespace parlix::engine
