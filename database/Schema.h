// The shared database, described once: the tables, columns, code values, indexes
// and the rows the delivered file starts with. parlix-makedb builds the file from
// this description and writes docs/database.md from it; the programs take the file
// name, the key and the hot-path statements from here.
#pragma once

#include <string>
#include <vector>

#include "platform/db/Connection.h"

namespace parlix::schema {

// The file's key (the database password of the delivered file).
inline constexpr const char* kDatabaseKey = "quorbind5";
inline constexpr const char* kDatabaseFolder = "Database";
inline constexpr const char* kDatabaseFile = "Parlix.db";

struct ColumnDef {
    std::string name;
    std::string kind;     // the column's type as the programs see it (Text, Memo, Long, ...)
    std::string sqlType;  // its declaration in the database
    std::string meaning;
};

struct TableDef {
    std::string name;
    std::string meaning;
    std::vector<ColumnDef> columns;  // in the file's column order
};

struct CodeDef {
    std::string column, code, meaning;
};

struct IndexDef {
    std::string name, sql, purpose;
};

struct SeedDef {
    std::string sql;  // INSERT with literal values (fixed, not user input)
    std::string note;
};

struct StatDef {
    std::string table, index, stat;  // a row of sqlite_stat1; index empty for the table row
};

struct Login {
    std::string userId, password, type;
};

const std::vector<TableDef>& tables();
const std::vector<CodeDef>& codes();
const std::vector<IndexDef>& indexes();
const std::vector<std::string>& triggers();
// Indexes of earlier installs that a newer index replaced; the upgrade drops them.
const std::vector<std::string>& retiredIndexes();
const std::vector<StatDef>& plannerStats();
const std::vector<Login>& initialLogins();
const std::vector<int>& initialEngines();  // Modem rows delivered

// "<root>/Database/Parlix.db"
std::string databasePath(const std::string& root);
// An engine lives one folder below the root: "<engineFolder>/../Database/Parlix.db".
std::string enginePath(const std::string& engineFolder);

// Creates the file with every table, index, trigger and initial row. Never touches
// an existing file: returns false (and changes nothing) when path already exists.
// Throws parlix::db::DbError when the file cannot be made.
bool createDatabase(const std::string& path, const std::string& key = kDatabaseKey);

// Why the file at path is not a usable Parlix database ("" when it is): it cannot be
// opened with the key (empty, foreign, damaged, wrong key) or lacks one of the tables.
std::string checkDatabase(const std::string& path, const std::string& key = kDatabaseKey);

// Brings an existing Parlix file up to the current indexes and planner statistics:
// adds missing indexes, drops retired ones, rewrites the planner rows of this
// description. Idempotent;
// never creates the file and never touches table rows. Throws parlix::db::OpenError
// when the file cannot be opened and DbError when it is no Parlix database.
struct UpgradeResult {
    std::vector<std::string> indexesAdded;
    std::vector<std::string> indexesDropped;
};
UpgradeResult upgradeDatabase(const std::string& path, const std::string& key = kDatabaseKey);

// Markdown description of the file (docs/database.md).
std::string documentation();

// Statements of the hot paths, written so that the indexes above serve them.
// Due rows: ? = now ("YYYY-MM-DD HH:MM:SS"); open with at most 8 rows.
inline constexpr const char* kDueRowsSql =
    "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') AND DateTimeQueue <= ? ORDER BY DateTimeQueue";
// Same, with a route filter appended by the caller as "AND (Mobile LIKE ? OR ...)"
// with "012%" style parameters.
inline constexpr const char* kDueRowsRoutedSqlHead =
    "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') AND DateTimeQueue <= ?";
inline constexpr const char* kDueRowsOrder = " ORDER BY DateTimeQueue";
// ? = subject, ? = mobile: the rows already sent or given up. (The engine decides
// duplicates inside its claim, twins queued ahead included: engine/CheckDuplicate.cpp.)
inline constexpr const char* kDuplicateCheckSql =
    "SELECT MsgID FROM Outbox WHERE Subject = ? AND Mobile = ? AND SentStatus IN ('S','F')";
// ? = message reference, ? = engine number, ? = the last ten characters of the
// recipient (rows whose Mobile contains them). Open with at most 1 row: the index is
// walked from the newest send back and stops at the first match, however many old
// rows without a report share the reference.
inline constexpr const char* kReportMatchSql =
    "SELECT * FROM Outbox WHERE MsgRef = ? AND ModemID = ? AND DeliveryStatus IS NULL AND instr(Mobile, ?) > 0 "
    "ORDER BY DateTimeSent DESC";
// Same parameters: a row that already carries a delivery status.
inline constexpr const char* kReportAppliedSql =
    "SELECT 1 FROM Outbox WHERE MsgRef = ? AND ModemID = ? AND DeliveryStatus IS NOT NULL AND instr(Mobile, ?) > 0";
// Sender's name by the last seven characters of the number (? = those 7 characters,
// served by the index on substr(Mobile, -7)). For a number shorter than seven
// characters use kNameByEndingSql with ? = "%" + number.
inline constexpr const char* kNameBySuffixSql = "SELECT Name FROM AddressBook WHERE substr(Mobile, -7) = ?";
inline constexpr const char* kNameByEndingSql = "SELECT Name FROM AddressBook WHERE Mobile LIKE ?";
// Views of the console's folders. Record sets add the row id as the last sort key.
inline constexpr const char* kOutboxViewSql =
    "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') ORDER BY DateTimeQueue ASC";
inline constexpr const char* kSentViewSql =
    "SELECT * FROM Outbox WHERE SentStatus IN ('S','F','D') ORDER BY DateTimeSent ASC";

}  // namespace parlix::schema
