#include "engine/ConnectDB.h"

#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"

#include "database/Schema.h"

#include <sqlite3.h>

#include <filesystem>

namespace parlix::engine {
namespace {

std::string lastFailure;

}  // namespace

std::string DatabasePath() { return schema::enginePath(EngineFolder); }

void ConnectADODB(db::Connection& connection) {
    try {
        connection = db::Connection();
        connection.open(DatabasePath(), schema::kDatabaseKey);
        lastFailure.clear();
    } catch (const std::exception& e) {
        lastFailure = DatabaseProblem(e);
        LogCurrentException("ConnectDB-ConnectADODB");
    }
}

void EnsureConnected(db::Connection& connection) {
    if (connection.state() == db::Connection::State::Closed) ConnectADODB(connection);
}

const std::string& LastConnectFailure() { return lastFailure; }

std::string DatabaseProblem(const std::exception& e) {
    namespace fs = std::filesystem;
    const std::string path = DatabasePath();
    if (const auto* open = dynamic_cast<const db::OpenError*>(&e)) {
        switch (open->kind()) {
        case db::OpenError::Kind::MissingFile: {
            std::error_code ec;
            const fs::path folder = fs::path(path).parent_path();
            if (!fs::is_directory(folder, ec))
                return "Engine folder misplaced: there is no " + folder.lexically_normal().string() +
                       " (the engine folder must sit directly inside the Parlix folder that holds Database)";
            return "Database not found: " + fs::path(path).lexically_normal().string();
        }
        case db::OpenError::Kind::WrongKey:
            return std::string("Database cannot be opened: ") + e.what();
        case db::OpenError::Kind::Locked: return std::string("Database is locked by another program: ") + e.what();
        case db::OpenError::Kind::Other: break;
        }
    }
    if (const auto* failure = dynamic_cast<const db::DbError*>(&e)) {
        const int code = failure->sqliteCode() & 0xff;
        if (code == SQLITE_READONLY || std::string(e.what()).find("read-only") != std::string::npos)
            return "Database is read-only: " + fs::path(path).lexically_normal().string() +
                   " (the engine must be allowed to write it)";
        if (dynamic_cast<const db::BusyError*>(&e)) return std::string("Database is locked by another program: ") + e.what();
        return std::string("Database error: ") + e.what();
    }
    return std::string("Database error: ") + e.what();
}

std::string NoModemRowText() {
    const std::string n = std::to_string(EngineModemID);
    return "No settings for engine " + n + ": table Modem has no row with ModemID " + n +
           " (check EngineModemID in Setting.INI)";
}

}  // namespace parlix::engine
