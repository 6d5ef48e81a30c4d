#include "database/Schema.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace parlix::schema {

namespace {

// Column kinds: how each kind of column is declared. Short texts ignore trailing
// blanks in comparisons: the programs compare numbers and group names "with one
// blank after the value".
const char* const kText = "TEXT COLLATE RTRIM";
const char* const kMemo = "TEXT";
const char* const kLong = "INTEGER";
const char* const kAuto = "INTEGER PRIMARY KEY AUTOINCREMENT";
const char* const kDate = "TEXT";  // "YYYY-MM-DD HH:MM:SS", local time
const char* const kYesNo = "INTEGER";
const char* const kMoney = "NUMERIC";

}  // namespace

const std::vector<TableDef>& tables() {
    static const std::vector<TableDef> t = {
        {"Outbox",
         "One message to one recipient, from queueing to its delivery report. The console's grids address "
         "columns by position, so the order is fixed.",
         {
             {"MsgID", "AutoNumber", kAuto, "row identity"},
             {"MsgType", "Integer", kLong, "0 Unicode (UCS-2), 1 text (GSM 7-bit)"},
             {"Subject", "Text", kText, "subject of the broadcast; the composer proposes ddmmyyhhnnss"},
             {"Lock", "Yes/No", kYesNo, "claim flag: 1 while an engine holds the row; 0 or Null = free"},
             {"Message", "Memo", kMemo, "message text (up to 1560 characters, 70 when Unicode)"},
             {"Mobile", "Text", kText, "recipient's number as queued"},
             {"Name", "Text", kText, "recipient's name, or \"Unknown\""},
             {"DateTimeQueue", "Date/Time", kDate, "earliest time to send (queue or scheduled time)"},
             {"DateTimeSent", "Date/Time", kDate, "time of the successful send"},
             {"SentStatus", "Text", kText, "status code (see code values)"},
             {"DateTimeDeliver", "Date/Time", kDate, "delivery time from the report; only with \"D\""},
             {"DeliveryStatus", "Text", kText, "Null until a report arrives, then a code"},
             {"ModemID", "Long", kLong, "number of the engine that last handled the row; 0 after a resend"},
             {"MsgRef", "Long", kLong, "message reference the modem returned"},
             {"Modem", "Long", kLong,
              "copy of ModemID kept by triggers, for the console's modem filters, deletes and billing"},
         }},
        {"Inbox",
         "One received message. The Inbox grid addresses columns by position.",
         {
             {"MsgID", "AutoNumber", kAuto, "row identity"},
             {"Message", "Memo", kMemo, "text"},
             {"Name", "Text", kText, "sender's name from AddressBook, or \"Unknown\""},
             {"Mobile", "Text", kText, "sender's number as the modem reports it"},
             {"Status", "Text", kText, "\"New\" on arrival, \"Read\" once opened in the console"},
             {"StatusID", "Long", kLong, "0 on arrival"},
             {"DateTime", "Date/Time", kDate, "service-centre time stamp"},
             {"Modem", "Long", kLong, "copy of ModemID kept by triggers, for the console's modem filter"},
             {"ModemID", "Long", kLong, "number of the engine that received it"},
         }},
        {"AddressBook",
         "One contact.",
         {
             {"ContactID", "AutoNumber", kAuto, "contact identity; copied into Groups"},
             {"Name", "Text", kText, "contact's name"},
             {"Mobile", "Text", kText, "number, without \"-\" and blanks where the console cleaned it"},
             {"CompanyName", "Text", kText, "company"},
         }},
        {"Groups",
         "One membership of a contact in a named group, plus one placeholder row per group (ContactID 0 or "
         "empty).",
         {
             {"GroupName", "Text (50)", kText, "group name, 1 to 50 characters, never a single quote"},
             {"ContactID", "Long", kLong, "member's AddressBook.ContactID; 0 or empty on the placeholder"},
             {"Mobile", "Text", kText, "copy of the member's number at the time of joining"},
         }},
        {"Template",
         "Saved message texts.",
         {
             {"TemplateID", "AutoNumber", kAuto, "template identity"},
             {"Text", "Memo", kMemo, "template text"},
         }},
        {"Login",
         "Console users; passwords stored as typed.",
         {
             {"UserID", "Text", kText, "user id; \"user1\" is the console user"},
             {"Password", "Text", kText, "password"},
             {"Type", "Text", kText, "\"Admin\" marks an administrator"},
         }},
        {"Modem",
         "One row per engine: settings, routing, billing rates and state.",
         {
             {"ModemID", "Long, key", "INTEGER PRIMARY KEY", "engine number"},
             {"ModemNumber", "Text", kText, "the SIM card's own number"},
             {"PortNumber", "Integer", kLong, "COM port number of the modem"},
             {"PIN", "Text", kText, "SIM PIN; empty when none"},
             {"Poll", "Integer", "INTEGER NOT NULL DEFAULT 5", "tick period in seconds, 1 to 10"},
             {"DSR", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "delivery status reports wanted"},
             {"Direction", "Integer", "INTEGER NOT NULL DEFAULT 0", "0 read and send, 1 read only, 2 send only"},
             {"012", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "route flag for prefix 012"},
             {"013", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "route flag for prefix 013"},
             {"014", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "route flag for prefix 014"},
             {"016", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "route flag for prefix 016"},
             {"017", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "route flag for prefix 017"},
             {"019", "Yes/No", "INTEGER NOT NULL DEFAULT 0", "route flag for prefix 019"},
             {"Status", "Text", kText, "\"Running\" after a start, \"Stop\" after a stop"},
             {"Rate1", "Currency", kMoney, "price of one message to the SIM's own network"},
             {"Rate2", "Currency", kMoney, "price of one message to another network"},
         }},
    };
    return t;
}

const std::vector<CodeDef>& codes() {
    static const std::vector<CodeDef> c = {
        {"Outbox.SentStatus", "P", "pending: queued by the console, or put back by its resend"},
        {"Outbox.SentStatus", "R", "failed once; queued again"},
        {"Outbox.SentStatus", "S", "sent; MsgRef and DateTimeSent set"},
        {"Outbox.SentStatus", "F", "failed on the second attempt"},
        {"Outbox.SentStatus", "D",
         "duplicate: not sent, same Subject and Mobile already \"S\" or \"F\", or queued ahead of it"},
        {"Outbox.DeliveryStatus", "Null", "no report yet"},
        {"Outbox.DeliveryStatus", "D", "delivered (DateTimeDeliver set)"},
        {"Outbox.DeliveryStatus", "F", "not delivered"},
        {"Outbox.DeliveryStatus", "U", "unknown outcome"},
        {"Outbox.MsgType", "0 / 1", "Unicode / text"},
        {"Outbox.Lock", "1 / 0 or Null", "claimed by an engine / free"},
        {"Inbox.Status", "New / Read", "unread / opened in the console"},
        {"Modem.Direction", "0 / 1 / 2", "read and send / read only / send only"},
        {"Modem.Status", "Running / Stop", "engine started / stopped"},
        {"Yes/No columns", "1 / 0", "true / false"},
    };
    return c;
}

const std::vector<IndexDef>& indexes() {
    static const std::vector<IndexDef> i = {
        {"OutboxDue", "CREATE INDEX OutboxDue ON Outbox(DateTimeQueue, MsgID, SentStatus) WHERE SentStatus IN ('P','R')",
         "due-row selection and the Outbox view, oldest first; holds the status, so the view's row ids are read "
         "from the index alone (statement must say SentStatus IN ('P','R'))"},
        {"OutboxStatus", "CREATE INDEX OutboxStatus ON Outbox(SentStatus)", "folder counts and deletes by status"},
        {"OutboxDuplicate", "CREATE INDEX OutboxDuplicate ON Outbox(Subject, Mobile)", "duplicate check"},
        {"OutboxReport",
         "CREATE INDEX OutboxReport ON Outbox(MsgRef, ModemID, DateTimeSent) WHERE DeliveryStatus IS NULL",
         "delivery-report match"},
        {"OutboxSent",
         "CREATE INDEX OutboxSent ON Outbox(DateTimeSent, MsgID, SentStatus) WHERE SentStatus IN ('S','F','D')",
         "Sent Items order, ties by MsgID; holds the status, so the view's row ids are read from the index "
         "alone (statement must say SentStatus IN ('S','F','D'))"},
        {"OutboxUndelivered", "CREATE INDEX OutboxUndelivered ON Outbox(Mobile) WHERE DeliveryStatus = 'F'",
         "the composer's question about numbers whose messages were not delivered (statement must say "
         "DeliveryStatus = 'F')"},
        {"InboxDateTime", "CREATE INDEX InboxDateTime ON Inbox(DateTime)", "Inbox order and date filters"},
        {"InboxName", "CREATE INDEX InboxName ON Inbox(Name)", "name fill-in of \"Unknown\" rows"},
        {"AddressBookMobile", "CREATE INDEX AddressBookMobile ON AddressBook(Mobile)", "look-ups by number"},
        {"AddressBookMobileEnd", "CREATE INDEX AddressBookMobileEnd ON AddressBook(substr(Mobile, -7))",
         "sender's name by the last seven characters (WHERE substr(Mobile, -7) = ?)"},
        {"AddressBookName", "CREATE INDEX AddressBookName ON AddressBook(Name)", "look-ups by name"},
        {"GroupsName", "CREATE INDEX GroupsName ON Groups(GroupName)", "group membership"},
        {"GroupsContact", "CREATE INDEX GroupsContact ON Groups(ContactID)", "memberships of a contact"},
        {"InboxNewFirst", "CREATE INDEX InboxNewFirst ON Inbox(Status = 'New', DateTime)",
         "console's Inbox order, read backwards (ORDER BY Status = 'New' DESC, DateTime DESC)"},
        {"OutboxStatusDelivery", "CREATE INDEX OutboxStatusDelivery ON Outbox(SentStatus, DeliveryStatus)",
         "console's summary counts by sent and delivery status"},
        {"OutboxUnknownMobile",
         "CREATE INDEX OutboxUnknownMobile ON Outbox(Mobile, Name) WHERE Name = 'Unknown'",
         "console's name fill-in: the numbers of \"Unknown\" rows, read from the index alone "
         "(statement must say Name = 'Unknown')"},
        {"InboxUnknownMobile", "CREATE INDEX InboxUnknownMobile ON Inbox(Mobile, Name) WHERE Name = 'Unknown'",
         "the same for the Inbox (its list of numbers names the index: INDEXED BY InboxUnknownMobile)"},
    };
    return i;
}

const std::vector<std::string>& retiredIndexes() {
    // OutboxUnknown (Mobile only) made the name fill-in read a table row per number.
    // OutboxMobile (every row by number) served only the question about undelivered
    // numbers, yet every delete of a batch of rows rewrote most of its pages: they are
    // in no order of the identifier.
    static const std::vector<std::string> r = {"OutboxUnknown", "OutboxMobile"};
    return r;
}

const std::vector<std::string>& triggers() {
    // No program writes the Modem columns; they mirror ModemID so the console's modem
    // filters select what the engines wrote.
    static const std::vector<std::string> t = {
        "CREATE TRIGGER OutboxModemIns AFTER INSERT ON Outbox WHEN NEW.ModemID IS NOT NULL BEGIN "
        "UPDATE Outbox SET Modem = NEW.ModemID WHERE MsgID = NEW.MsgID; END",
        "CREATE TRIGGER OutboxModemUpd AFTER UPDATE OF ModemID ON Outbox BEGIN "
        "UPDATE Outbox SET Modem = NEW.ModemID WHERE MsgID = NEW.MsgID; END",
        "CREATE TRIGGER InboxModemIns AFTER INSERT ON Inbox WHEN NEW.ModemID IS NOT NULL BEGIN "
        "UPDATE Inbox SET Modem = NEW.ModemID WHERE MsgID = NEW.MsgID; END",
        "CREATE TRIGGER InboxModemUpd AFTER UPDATE OF ModemID ON Inbox BEGIN "
        "UPDATE Inbox SET Modem = NEW.ModemID WHERE MsgID = NEW.MsgID; END",
    };
    return t;
}

const std::vector<StatDef>& plannerStats() {
    // Expected shape of a busy file: most Outbox rows sent, few due, few per
    // subject and number. Without these the planner, seeing empty tables, picks
    // the status index for the due-row and Sent Items queries and sorts.
    static const std::vector<StatDef> s = {
        {"Outbox", "", "1000000"},
        {"Outbox", "OutboxDue", "50000 1 1 1"},
        {"Outbox", "OutboxStatus", "1000000 200000"},
        {"Outbox", "OutboxDuplicate", "1000000 20 1"},
        {"Outbox", "OutboxReport", "50000 200 100 1"},
        {"Outbox", "OutboxSent", "950000 1 1 1"},
        {"Outbox", "OutboxUndelivered", "10000 2"},
        {"Inbox", "", "100000"},
        {"Inbox", "InboxDateTime", "100000 1"},
        {"Inbox", "InboxName", "100000 10"},
        {"AddressBook", "", "50000"},
        {"AddressBook", "AddressBookMobile", "50000 1"},
        {"AddressBook", "AddressBookMobileEnd", "50000 1"},
        {"AddressBook", "AddressBookName", "50000 2"},
        {"Groups", "", "50000"},
        {"Groups", "GroupsName", "50000 500"},
        {"Groups", "GroupsContact", "50000 2"},
        {"Inbox", "InboxNewFirst", "100000 50000 1"},
        {"Outbox", "OutboxStatusDelivery", "1000000 200000 100000"},
        {"Outbox", "OutboxUnknownMobile", "1000 1 1"},
        {"Inbox", "InboxUnknownMobile", "1000 1 1"},
    };
    return s;
}

const std::vector<Login>& initialLogins() {
    static const std::vector<Login> l = {{"user1", "user1", "User"}, {"admin", "admin", "Admin"}};
    return l;
}

const std::vector<int>& initialEngines() {
    static const std::vector<int> e = {1, 2, 3};
    return e;
}

std::string databasePath(const std::string& root) {
    std::string r = root;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r + "/" + kDatabaseFolder + "/" + kDatabaseFile;
}

std::string enginePath(const std::string& engineFolder) { return databasePath(engineFolder + "/.."); }

namespace {

std::string createTableSql(const TableDef& t) {
    std::string s = "CREATE TABLE " + db::quoteIdentifier(t.name) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (i) s += ", ";
        s += db::quoteIdentifier(t.columns[i].name) + " " + t.columns[i].sqlType;
    }
    return s + ")";
}

}  // namespace

bool createDatabase(const std::string& path, const std::string& key) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return false;
    // Build under a temporary name, then link into place: a half-made file is never
    // seen, and a file made meanwhile by someone else is never replaced.
    std::string tmp = path + ".new-" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    try {
        db::Connection c;
        c.open(tmp, key, {.create = true});
        c.execute("PRAGMA journal_mode=DELETE");
        c.begin();
        for (const auto& t : tables()) c.execute(createTableSql(t));
        for (const auto& i : indexes()) c.execute(i.sql);
        for (const auto& t : triggers()) c.execute(t);
        c.execute("ANALYZE");
        c.execute("DELETE FROM sqlite_stat1");
        for (const auto& st : plannerStats())
            c.execute("INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES (?, ?, ?)",
                      {st.table, st.index.empty() ? db::Value() : db::Value(st.index), st.stat});
        for (const auto& l : initialLogins())
            c.execute("INSERT INTO Login (UserID, Password, Type) VALUES (?, ?, ?)", {l.userId, l.password, l.type});
        for (int e : initialEngines())
            c.execute("INSERT INTO Modem (ModemID, ModemNumber, PortNumber, PIN, Poll, DSR, Direction, Status, Rate1, "
                      "Rate2) VALUES (?, '', 1, '', 5, 0, 0, 'Stop', 0, 0)",
                      {e});
        c.commit();
        c.close();
    } catch (...) {
        ::unlink(tmp.c_str());
        ::unlink((tmp + "-wal").c_str());
        ::unlink((tmp + "-shm").c_str());
        throw;
    }
    int rc = ::link(tmp.c_str(), path.c_str());
    int err = errno;
    ::unlink(tmp.c_str());
    if (rc != 0) {
        if (err == EEXIST) return false;
        throw db::DbError("cannot create " + path + ": " + std::strerror(err));
    }
    return true;
}

std::string checkDatabase(const std::string& path, const std::string& key) {
    try {
        db::Connection c;
        c.open(path, key);
        for (const auto& t : tables())
            if (!c.scalar("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", {t.name}))
                return "it has no table " + t.name;
        return "";
    } catch (const db::DbError& e) {
        return e.what();
    }
}

std::string documentation() {
    std::string d;
    d += "# The shared database\n\n";
    d += "The console and every engine meet only in one SQLCipher database file, `<root>/Database/Parlix.db`.\n";
    d += "It is made by `parlix-makedb` (run by `cmake --install`) when missing; no program creates or alters\n";
    d += "tables, and the tool never touches an existing file. This page is generated by `parlix-makedb --doc`\n";
    d += "from the same description the tool builds the file from.\n\n";
    d += "- Key (database password): `" + std::string(kDatabaseKey) + "`.\n";
    d += "- Engines open `<engine folder>/../Database/Parlix.db`; the console `<its folder>/Database/Parlix.db`.\n";
    d += "- Journal: WAL (set by every connection), busy time-out 5 s.\n";
    d += "- Dates are text `YYYY-MM-DD HH:MM:SS` in local time and compare as text.\n";
    d += "- Yes/No columns hold 1 (true) or 0 (false); `Outbox.Lock` is Null on new rows (free).\n";
    d += "- Short text columns compare with trailing blanks ignored (collation RTRIM).\n\n";
    d += "To create a file by hand: `parlix-makedb <root>` (or `parlix-makedb --file <path>`).\n";
    d += "To bring an existing file up to the current indexes and planner statistics: "
         "`parlix-makedb --upgrade <root>` (the install runs it; rows are never touched; indexes that a\n"
         "newer one replaced are dropped: ";
    for (std::size_t i = 0; i < retiredIndexes().size(); ++i) d += (i ? ", `" : "`") + retiredIndexes()[i] + "`";
    d += ").\n";
    d += "To look inside: `sqlcipher <root>/Database/Parlix.db`, then `PRAGMA key = '" + std::string(kDatabaseKey) +
         "';`.\n\n";
    d += "## Tables\n\n";
    for (const auto& t : tables()) {
        d += "### " + t.name + "\n\n" + t.meaning + "\n\n";
        d += "| position | column | type | stored as | meaning |\n|---|---|---|---|---|\n";
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const auto& c = t.columns[i];
            d += "| " + std::to_string(i) + " | `" + c.name + "` | " + c.kind + " | " + c.sqlType + " | " + c.meaning +
                 " |\n";
        }
        d += "\n";
    }
    d += "## Code values\n\n| column | code | meaning |\n|---|---|---|\n";
    for (const auto& c : codes()) d += "| " + c.column + " | " + c.code + " | " + c.meaning + " |\n";
    d += "\n## Indexes\n\n| index | definition | serves |\n|---|---|---|\n";
    for (const auto& i : indexes()) d += "| " + i.name + " | `" + i.sql + "` | " + i.purpose + " |\n";
    d += "\nThe sender's name look-up by the last seven characters of a number uses an index on the\n";
    d += "expression `substr(Mobile, -7)` (no extra column, nothing to maintain on write); the engine asks\n";
    d += "`SELECT Name FROM AddressBook WHERE substr(Mobile, -7) = ?`.\n\n";
    d += "The file carries fixed planner statistics (`sqlite_stat1`) describing a busy database, so that\n";
    d += "the indexes above are chosen from the first row on; do not run `ANALYZE` on a small file.\n\n";
    d += "| table | index | statistics |\n|---|---|---|\n";
    for (const auto& st : plannerStats()) d += "| " + st.table + " | " + st.index + " | " + st.stat + " |\n";
    d += "\n## Triggers\n\n`Outbox.Modem` and `Inbox.Modem` are copies of `ModemID`, kept by triggers on insert and on\n";
    d += "update of `ModemID`, so the console's modem filters select the engine number.\n\n";
    d += "## Initial rows\n\n| table | row |\n|---|---|\n";
    for (const auto& l : initialLogins())
        d += "| Login | UserID `" + l.userId + "`, Password `" + l.password + "`, Type `" + l.type + "` |\n";
    for (int e : initialEngines())
        d += "| Modem | ModemID " + std::to_string(e) +
             ", Poll 5, Direction 0, DSR 0, route flags 0, Status `Stop`, PortNumber 1, Rate1/Rate2 0 |\n";
    d += "\nChange the initial passwords after installation with the `sqlcipher` shell (the console's\n";
    d += "\"User Password\" window sits in a menu that is never shown):\n\n";
    d += "```sh\n";
    d += "sqlcipher <root>/Database/Parlix.db \"PRAGMA key = '" + std::string(kDatabaseKey) + "';\n";
    d += "  UPDATE Login SET Password = 'new user password' WHERE UserID = 'user1';\n";
    d += "  UPDATE Login SET Password = 'new admin password' WHERE UserID = 'admin';\"\n";
    d += "```\n\n";
    d += "Passwords are compared exactly as typed (letter case and trailing blanks count).\n";
    return d;
}

UpgradeResult upgradeDatabase(const std::string& path, const std::string& key) {
    UpgradeResult r;
    db::Connection c;
    c.open(path, key);  // never creates: a missing file or a wrong key throws OpenError
    for (const char* table : {"Outbox", "Inbox", "AddressBook", "Groups"})
        if (!c.scalar("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", {std::string(table)}))
            throw db::DbError(path + " is not a Parlix database (no table " + table + ")");
    // One index per transaction: building one over a million rows takes seconds, and a
    // statement of an engine that waits meanwhile is retried on its next tick.
    // An index an earlier install defined otherwise is built anew, in the same transaction
    // that drops the old one.
    for (const auto& i : indexes()) {
        auto made = c.scalar("SELECT sql FROM sqlite_master WHERE type = 'index' AND name = ?", {i.name});
        if (made && made->asText() == i.sql) continue;
        c.begin();
        try {
            if (made) c.execute("DROP INDEX " + db::quoteIdentifier(i.name));
            c.execute(i.sql);
            c.commit();
        } catch (...) {
            c.rollback();
            throw;
        }
        r.indexesAdded.push_back(i.name);
    }
    // Indexes a newer one replaced: every write would keep them up to date for nothing.
    for (const auto& name : retiredIndexes()) {
        if (!c.scalar("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?", {name})) continue;
        c.execute("DROP INDEX " + db::quoteIdentifier(name));
        c.execute("DELETE FROM sqlite_stat1 WHERE idx = ?", {name});
        r.indexesDropped.push_back(name);
    }
    // The planner's expected shape of a busy file, the same rows a new file gets.
    if (!c.scalar("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_stat1'")) c.execute("ANALYZE Modem");
    c.begin();
    try {
        for (const auto& st : plannerStats()) {
            db::Value idx = st.index.empty() ? db::Value() : db::Value(st.index);
            c.execute("DELETE FROM sqlite_stat1 WHERE tbl = ? AND idx IS ?", {st.table, idx});
            c.execute("INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES (?, ?, ?)", {st.table, idx, st.stat});
        }
        c.commit();
    } catch (...) {
        c.rollback();
        throw;
    }
    c.close();
    return r;
}

}  // namespace parlix::schema
