#include "console/shell/core/ConnectDB.h"

#include "console/shell/core/Error.h"
#include "database/Schema.h"

#include <filesystem>

namespace parlix::console {

db::Connection DbConnection;

namespace {
std::string& appPath() {
    static std::string path = ".";
    return path;
}
ConnectFailure lastFailure = ConnectFailure::None;
}  // namespace

std::string AppPath() { return appPath(); }
void SetAppPath(const std::string& path) { appPath() = path.empty() ? std::string(".") : path; }

void ConnectDB(db::Connection& c) {
    try {
        c = db::Connection();
        lastFailure = ConnectFailure::Other;
        c.open(schema::databasePath(AppPath()), schema::kDatabaseKey);
        // Decrypted pages stay cached (bounded, 64 MB): counting and paging a folder of a
        // million rows then reads memory instead of decrypting the file again.
        c.execute("PRAGMA cache_size = -65536");
        lastFailure = ConnectFailure::None;
    } catch (const db::OpenError& e) {
        switch (e.kind()) {
            case db::OpenError::Kind::MissingFile: lastFailure = ConnectFailure::MissingFile; break;
            case db::OpenError::Kind::WrongKey: lastFailure = ConnectFailure::WrongKey; break;
            case db::OpenError::Kind::Locked: lastFailure = ConnectFailure::Locked; break;
            default: lastFailure = ConnectFailure::Other; break;
        }
        LogCurrentException("ConnectDB");
    } catch (...) {
        lastFailure = ConnectFailure::Other;
        LogCurrentException("ConnectDB");
    }
}

bool EnsureDbConnection() {
    if (DbConnection.state() == db::Connection::State::Closed) ConnectDB(DbConnection);
    return DbConnection.isOpen();
}

ConnectFailure LastConnectFailure() { return lastFailure; }

std::string ConnectFailureText(ConnectFailure f) {
    const std::string path = schema::databasePath(AppPath());
    switch (f) {
        case ConnectFailure::None: return "";
        case ConnectFailure::MissingFile:
            return "The database " + path + " does not exist. Run the installation again to make it.";
        case ConnectFailure::WrongKey:
            return "The file " + path + " is not a Parlix database or its key is wrong.";
        case ConnectFailure::Locked:
            return "The database " + path + " is locked by another program. Try again in a moment.";
        case ConnectFailure::Other: break;
    }
    return "The database " + path + " cannot be opened.";
}

}  // namespace parlix::console
