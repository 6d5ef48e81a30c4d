// The engine's database connection.
#pragma once

#include "platform/db/Connection.h"

#include <string>

namespace parlix::engine {

// Database/Parlix.db in the parent of the engine's folder (the engine lives one level
// below the folder that holds "Database").
std::string DatabasePath();

// Replaces `connection` by a fresh one and opens it. A failure is logged under
// "ConnectDB-ConnectADODB" and leaves the connection closed, so the next step retries.
void ConnectADODB(db::Connection& connection);

// Opens `connection` again when it is closed (the reconnect rule of every step).
void EnsureConnected(db::Connection& connection);

}  // namespace parlix::engine
