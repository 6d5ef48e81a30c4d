#include "engine/ConnectDB.h"

#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"

#include <filesystem>

namespace parlix::engine {

std::string DatabasePath() {
    namespace fs = std::filesystem;
    fs::path folder = fs::absolute(fs::path(EngineFolder)).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();  // drop a trailing separator
    return (folder.parent_path() / "Database" / "Parlix.db").string();
}

void ConnectADODB(db::Connection& connection) {
    try {
        connection = db::Connection();
        connection.open(DatabasePath(), kDatabasePassword);
    } catch (...) {
        LogCurrentException("ConnectDB-ConnectADODB");
    }
}

void EnsureConnected(db::Connection& connection) {
    if (connection.state() == db::Connection::State::Closed) ConnectADODB(connection);
}

}  // namespace parlix::engine
