#include "engine/ConnectDB.h"

#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"

#include "engine/schema/Schema.h"

namespace parlix::engine {

std::string DatabasePath() { return schema::enginePath(EngineFolder); }

void ConnectADODB(db::Connection& connection) {
    try {
        connection = db::Connection();
        connection.open(DatabasePath(), schema::kDatabaseKey);
    } catch (...) {
        LogCurrentException("ConnectDB-ConnectADODB");
    }
}

void EnsureConnected(db::Connection& connection) {
    if (connection.state() == db::Connection::State::Closed) ConnectADODB(connection);
}

}  // namespace parlix::engine
