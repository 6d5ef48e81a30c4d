#include "engine/CheckDuplicate.h"

#include "engine/ConnectDB.h"
#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"
#include "engine/schema/Schema.h"

namespace parlix::engine {

bool DuplicateCheck(db::Connection& connection, const std::string& subject, const std::string& mobile) {
    try {
        EnsureConnected(connection);
        return connection.scalar(schema::kDuplicateCheckSql, {subject, mobile}).has_value();
    } catch (...) {
        LogCurrentException("DuplciateCheck Modem:" + std::to_string(EngineModemID));
        return false;
    }
}

}  // namespace parlix::engine
