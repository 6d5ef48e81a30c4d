#include "platform/db/Recordset.h"
#include "platform/db/RecordsetImpl.h"

#include "platform/db/tests/TestDb.h"

namespace parlix::db::test {

namespace {

std::vector<std::string> column(Recordset& rs, const std::string& name) {
    std::vector<std::string> out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) out.push_back(rs.text(name));
    return out;
}

const RecordsetOptions kLive{Cursor::Live, Lock::Optimistic, 0};
const RecordsetOptions kSnapshot{Cursor::Snapshot, Lock::Optimistic, 0};

// Sets the size from which a pass over a table is read in parts, for one test.
class PartsFrom {
public:
    explicit PartsFrom(std::int64_t rows) { detail::readInPartsFromRows = rows; }
    ~PartsFrom() { detail::readInPartsFromRows = usual_; }
    PartsFrom(const PartsFrom&) = delete;
    PartsFrom& operator=(const PartsFrom&) = delete;
    static std::int64_t usual() { return usual_; }

private:
    static inline const std::int64_t usual_ = detail::readInPartsFromRows;
};

}  // namespace

class RecordsetTest : public TempDb, public ::testing::WithParamInterface<RecordsetOptions> {};

TEST_P(RecordsetTest, EmptySetIsAtBothEndsAndAddNewReadsBackTheKey) {
    Recordset rs(db, "SELECT * FROM Outbox WHERE 0=1 ", {}, GetParam());
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_THROW(rs.field("Name"), DbError);
    EXPECT_THROW(rs.moveNext(), DbError);

    rs.addNew();
    rs.setField("Name", "O'Neil");
    rs.setField("Mobile", "0123456789");
    rs.setField("SentStatus", "P");
    rs.update();
    EXPECT_EQ(rs.recordCount(), 1);
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(rs.integer("MsgID"), db.lastInsertId());
    EXPECT_TRUE(rs.isNull("Lock"));
    EXPECT_EQ(db.scalar("SELECT Name FROM Outbox WHERE MsgID = ?", {rs.integer("MsgID")})->asText(), "O'Neil");
    EXPECT_EQ(rs.fieldName(0), "MsgID");
    EXPECT_EQ(rs.field(4).asText(), "O'Neil");
}

TEST_P(RecordsetTest, MovingAndFields) {
    for (int i = 0; i < 5; ++i) queue("01" + std::to_string(i), "n" + std::to_string(i), "2026-01-0" + std::to_string(i + 1) + " 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY DateTimeQueue DESC", {}, GetParam());
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(rs.text("name"), "n4");  // field names ignore case
    rs.moveLast();
    EXPECT_EQ(rs.text("Name"), "n0");
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.movePrevious();
    rs.movePrevious();
    EXPECT_EQ(rs.text("Name"), "n1");
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_THROW(rs.field("Nope"), DbError);
    EXPECT_EQ(rs.valueAt(2, rs.fieldIndex("Name")).asText(), "n2");
}

TEST_P(RecordsetTest, SortToggleSurvivesRequeryAndRejectsUnknownFields) {
    queue("1", "Bravo", "2026-01-02 00:00:00");
    queue("2", "alpha", "2026-01-01 00:00:00");
    queue("3", "Charlie", "2026-01-03 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox", {}, GetParam());
    rs.setSort("Name ASC");
    EXPECT_EQ(rs.sort(), "Name ASC");
    EXPECT_EQ(column(rs, "Name"), (std::vector<std::string>{"Bravo", "Charlie", "alpha"}));
    rs.setSort("Name DESC");
    EXPECT_EQ(column(rs, "Name"), (std::vector<std::string>{"alpha", "Charlie", "Bravo"}));
    queue("4", "Delta", "2026-01-04 00:00:00");
    rs.requery();
    EXPECT_EQ(column(rs, "Name").front(), "alpha");
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_THROW(rs.setSort("Name; DROP TABLE Outbox"), DbError);
    EXPECT_THROW(rs.setSort("Nope ASC"), DbError);
    rs.setSort("");
    EXPECT_EQ(column(rs, "Name").front(), "Bravo");  // the table's own order again
}

TEST_P(RecordsetTest, FiltersLikeEqualityDateRangeReplaceAndClear) {
    queue("0123456789", "Ali", "2026-01-01 08:00:00");
    queue("0199999999", "Abu 100%", "2026-01-02 23:59:59", "S");
    queue("0161234567", "Siti*", "2026-01-03 00:00:00", "S");
    queue("0171234567", "x' OR '1'='1", "2026-01-02 12:00:00");
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY DateTimeQueue", {}, GetParam());

    rs.setFilter(Criteria::contains("Mobile", "1234"));
    EXPECT_TRUE(rs.filtered());
    EXPECT_EQ(rs.recordCount(), 3);
    rs.setFilter(Criteria::like("Mobile", "*9999*"));  // replaces the filter
    EXPECT_EQ(column(rs, "Name"), std::vector<std::string>{"Abu 100%"});
    rs.setFilter(Criteria::contains("Name", "%"));  // a typed "%" is just a character
    EXPECT_EQ(column(rs, "Name"), std::vector<std::string>{"Abu 100%"});
    rs.setFilter(Criteria::contains("Name", "*"));
    EXPECT_EQ(column(rs, "Name"), std::vector<std::string>{"Siti*"});
    rs.setFilter(Criteria::contains("Name", "' OR '1'='1"));
    EXPECT_EQ(rs.recordCount(), 1);
    rs.setFilter(Criteria::between("DateTimeQueue", "2026-01-02 00:00:00", "2026-01-02 23:59:59"));
    EXPECT_EQ(column(rs, "Name"), (std::vector<std::string>{"x' OR '1'='1", "Abu 100%"}));
    rs.setFilter(Criteria::equals("SentStatus", "S") || Criteria::equals("Name", "Ali"));
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_THROW(rs.setFilter(Criteria::equals("Nope", 1)), DbError);
    EXPECT_EQ(rs.recordCount(), 3) << "a rejected filter leaves the old one in place";
    queue("0165555555", "Late", "2026-01-05 00:00:00", "S");
    rs.requery();
    EXPECT_EQ(rs.recordCount(), 4) << "filter survives requery";
    rs.clearFilter();
    EXPECT_FALSE(rs.filtered());
    EXPECT_EQ(rs.recordCount(), 5);
}

// Typed texts find their matches in any letter case, in every script, the same in a
// filter, a find, and a statement built from the filter (what a delete takes).
TEST_P(RecordsetTest, ContainsIgnoresLetterCaseInEveryScript) {
    for (const char* n : {"\xc3\x84pfel",                                // Äpfel
                          "\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91",  // ΣΟΦΙΑ
                          "\xd0\x94\xd0\x9e\xd0\x9c",                    // ДОМ
                          "Apfel", "MARIA", "\xe4\xb8\xad\xe6\x96\x87"})   // 中文
        queue("0123", n, "2026-01-01 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, GetParam());
    const struct {
        const char* typed;
        std::vector<std::string> found;
    } cases[] = {
        {"\xc3\xa4", {"\xc3\x84pfel"}},                         // "ä" finds "Äpfel", not "Apfel"
        {"\xc3\x84PFEL", {"\xc3\x84pfel"}},                     // "ÄPFEL"
        {"apf", {"Apfel"}},
        {"\xcf\x83\xce\xbf\xcf\x86", {"\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91"}},  // "σοφ"
        {"\xd0\xb4\xd0\xbe\xd0\xbc", {"\xd0\x94\xd0\x9e\xd0\x9c"}},                // "дом"
        {"maria", {"MARIA"}},
        {"\xe4\xb8\xad", {"\xe4\xb8\xad\xe6\x96\x87"}},  // no case at all
        {"\xc3\xa9", {}},                                     // "é" is no "e"
    };
    for (const auto& c : cases) {
        rs.setFilter(Criteria::contains("Name", c.typed));
        EXPECT_EQ(column(rs, "Name"), c.found) << c.typed;
        Params p;
        const std::string where = RenderCriteria(rs.filter(), p);
        EXPECT_EQ(db.scalar("SELECT count(*) FROM Outbox WHERE " + where, p)->asInt(),
                  static_cast<std::int64_t>(c.found.size()))
            << c.typed;
        rs.clearFilter();
        rs.moveFirst();
        EXPECT_EQ(rs.find(Criteria::contains("Name", c.typed)), !c.found.empty()) << c.typed;
    }
}

TEST_P(RecordsetTest, FindSearchesForwardFromTheCurrentRow) {
    for (const char* n : {"Ali", "Abu", "Ali", "Siti"}) queue("0123", n, "2026-01-01 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, GetParam());
    EXPECT_TRUE(rs.find(Criteria::equals("Name", "Ali")));
    EXPECT_EQ(rs.position(), 0);  // the current row itself counts
    rs.moveNext();
    EXPECT_TRUE(rs.find(Criteria::equals("Name", "Ali")));
    EXPECT_EQ(rs.position(), 2);
    rs.moveNext();
    EXPECT_FALSE(rs.find(Criteria::equals("Name", "Ali")));
    EXPECT_TRUE(rs.eof());
    rs.moveFirst();
    EXPECT_TRUE(rs.find(Criteria::equals("MsgID", "4")));  // "[MsgID] = " + id: numbers as text match
    EXPECT_EQ(rs.text("Name"), "Siti");
    rs.moveFirst();
    EXPECT_TRUE(rs.find(Criteria::like("Name", "s*")));  // LIKE ignores case
    EXPECT_EQ(rs.text("Name"), "Siti");
    rs.moveFirst();
    EXPECT_TRUE(rs.find(Criteria::equals("Name", "Abu  ")));  // trailing blanks ignored
}

TEST_P(RecordsetTest, BookmarksReturnToTheRowOrTheLastRow) {
    for (int i = 0; i < 6; ++i) queue("0123", "n" + std::to_string(i), "2026-01-01 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, GetParam());
    rs.move(4);
    Bookmark b = rs.bookmark();
    rs.moveFirst();
    rs.moveToBookmark(b);
    EXPECT_EQ(rs.text("Name"), "n4");

    db.execute("DELETE FROM Outbox WHERE Name IN ('n0', 'n1')");
    rs.requery();
    rs.moveToBookmark(b);
    EXPECT_EQ(rs.text("Name"), "n4") << "the row moved up, the bookmark still finds it";

    db.execute("DELETE FROM Outbox WHERE Name IN ('n4', 'n5')");
    rs.requery();
    rs.moveToBookmark(b);  // its row is gone and its position is beyond the end
    EXPECT_EQ(rs.text("Name"), "n3");
    EXPECT_EQ(rs.position(), rs.recordCount() - 1);
}

TEST_P(RecordsetTest, DeleteThenMoveNextGoesToTheFollowingRow) {
    for (int i = 0; i < 3; ++i) queue("0123", "n" + std::to_string(i), "2026-01-01 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, GetParam());
    rs.moveFirst();
    rs.deleteRow();
    EXPECT_THROW(rs.field("Name"), DbError);
    rs.moveNext();
    EXPECT_EQ(rs.text("Name"), "n1");
    EXPECT_EQ(rs.recordCount(), 2);
    rs.moveLast();
    rs.deleteRow();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(db.scalar("SELECT group_concat(Name) FROM Outbox")->asText(), "n1");
}

TEST_P(RecordsetTest, UpdateOfARowChangedElsewhereIsRefused) {
    auto id = queue("0123", "Ali", "2026-01-01 00:00:00");
    Connection other;
    other.open(path, key);
    Recordset mine(db, "SELECT * FROM Outbox", {}, GetParam());
    Recordset theirs(other, "SELECT * FROM Outbox", {}, GetParam());
    EXPECT_FALSE(mine.boolean("Lock"));  // both engines see the row free
    EXPECT_FALSE(theirs.boolean("Lock"));
    theirs.setField("Lock", true);
    theirs.update();
    mine.setField("Lock", true);
    try {
        mine.update();
        FAIL() << "second claim succeeded";
    } catch (const RowConflictError& e) {
        EXPECT_STREQ(e.what(), "row is being processed elsewhere");
        EXPECT_EQ(e.number(), RowConflictError::kChanged);
    }
    EXPECT_FALSE(mine.editing());
    EXPECT_TRUE(mine.boolean("Lock")) << "the row is read again after a conflict";

    // An update on fresh values goes through; a deleted row is reported as gone.
    mine.setField("SentStatus", "S");
    mine.update();
    EXPECT_EQ(other.scalar("SELECT SentStatus FROM Outbox WHERE MsgID = ?", {id})->asText(), "S");
    other.execute("DELETE FROM Outbox");
    mine.setField("Lock", false);
    try {
        mine.update();
        FAIL();
    } catch (const RowConflictError& e) {
        EXPECT_TRUE(e.rowGone());
        EXPECT_EQ(e.number(), RowConflictError::kGone);
    }
}

TEST_P(RecordsetTest, UpdateChecksOnlyTheColumnsItWritesAndTheKey) {
    auto id = queue("0123", "Ali", "2026-01-01 00:00:00");
    Connection other;
    other.open(path, key);
    Recordset mine(db, "SELECT * FROM Outbox", {}, GetParam());

    // Changes to columns this update does not write do not block it, and are kept.
    other.execute("UPDATE Outbox SET Name = 'Abu', DateTimeQueue = '2026-02-01 00:00:00' WHERE MsgID = ?", {id});
    mine.setField("SentStatus", "S");
    mine.update();
    EXPECT_EQ(other.query("SELECT Name, SentStatus FROM Outbox")[0][0].asText(), "Abu");
    EXPECT_EQ(mine.text("Name"), "Abu") << "the row is read again after the update";

    // A change of a written column is a real conflict; the pending edit is dropped.
    other.execute("UPDATE Outbox SET SentStatus = 'F' WHERE MsgID = ?", {id});
    mine.setField("SentStatus", "D");
    mine.setField("Subject", "mine");
    EXPECT_THROW(mine.update(), RowConflictError);
    EXPECT_FALSE(mine.editing());
    EXPECT_EQ(other.query("SELECT SentStatus, Subject FROM Outbox")[0][0].asText(), "F");
    EXPECT_EQ(other.query("SELECT SentStatus, Subject FROM Outbox")[0][1].asText(), "s");

    // A BLOB in a text column, written or not, leaves the row updatable and deletable.
    other.execute("UPDATE Outbox SET Message = X'48690041FF', Subject = X'7374' WHERE MsgID = ?", {id});
    mine.requery();
    mine.setField("Lock", true);
    mine.update();
    mine.setField("Subject", "st2");
    mine.update();
    EXPECT_EQ(other.scalar("SELECT Subject FROM Outbox")->asText(), "st2");
    EXPECT_EQ(other.scalar("SELECT hex(Message) FROM Outbox")->asText(), "48690041FF");
    mine.deleteRow();
    EXPECT_EQ(other.scalar("SELECT count(*) FROM Outbox")->asInt(), 0);
}

TEST_P(RecordsetTest, ReadOnlyAndNonTableSetsRefuseEdits) {
    queue("0123", "Ali", "2026-01-01 00:00:00");
    RecordsetOptions ro = GetParam();
    ro.lock = Lock::ReadOnly;
    Recordset rs(db, "SELECT * FROM Outbox", {}, ro);
    EXPECT_THROW(rs.setField("Name", "x"), DbError);
    EXPECT_THROW(rs.addNew(), DbError);
    EXPECT_THROW(rs.deleteRow(), DbError);

    Recordset total(db, "SELECT count(*) AS n FROM Outbox", {}, GetParam());
    EXPECT_EQ(total.recordCount(), 1);
    EXPECT_EQ(total.integer("n"), 1);
    EXPECT_FALSE(total.updatable());

    Recordset names(db, "SELECT DISTINCT Name FROM Outbox", {}, GetParam());
    EXPECT_FALSE(names.updatable());
    EXPECT_EQ(names.recordCount(), 1);
    names.setFilter(Criteria::equals("Name", "Ali"));
    EXPECT_EQ(names.recordCount(), 1);
    EXPECT_THROW(names.setField("Name", "x"), DbError);
}

TEST_P(RecordsetTest, MaxRecordsAndParametersAndDigitNamedColumns) {
    for (int i = 0; i < 20; ++i) queue("012" + std::to_string(i), "n", "2026-01-01 00:00:" + std::to_string(10 + i));
    RecordsetOptions opt = GetParam();
    opt.maxRecords = 8;
    Recordset due(db, "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') AND DateTimeQueue <= ? ORDER BY DateTimeQueue",
                  {"2026-01-01 00:00:25"}, opt);
    EXPECT_EQ(due.recordCount(), 8);
    EXPECT_EQ(due.text("DateTimeQueue"), "2026-01-01 00:00:10");
    due.moveLast();
    EXPECT_EQ(due.text("DateTimeQueue"), "2026-01-01 00:00:17");
    EXPECT_THROW(Recordset(db, "SELECT * FROM Outbox WHERE Name = ?", {}, opt), DbError);

    db.execute("INSERT INTO Modem (ModemID, Poll) VALUES (1, 5)");
    Recordset modem(db, "SELECT * FROM Modem WHERE ModemID = ?", {1}, GetParam());
    EXPECT_FALSE(modem.boolean("012"));
    modem.setField("012", true);
    modem.update();
    EXPECT_EQ(db.scalar("SELECT \"012\" FROM Modem")->asInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cursors, RecordsetTest, ::testing::Values(kSnapshot, kLive),
                         [](const auto& info) { return info.param.cursor == Cursor::Live ? "Live" : "Snapshot"; });

using LiveRecordsetTest = TempDb;

TEST_F(LiveRecordsetTest, LargeSetIsReadInPagesAndRequerySeesOthers) {
    db.begin();
    for (int i = 0; i < 3000; ++i) queue("01" + std::to_string(i), "n" + std::to_string(i), "2026-01-01 00:00:00");
    db.commit();
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, kLive);
    EXPECT_EQ(rs.recordCount(), 3000);
    rs.move(2999);
    EXPECT_EQ(rs.text("Name"), "n2999");
    EXPECT_EQ(rs.valueAt(1234, rs.fieldIndex("Name")).asText(), "n1234");
    int seen = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) ++seen;
    EXPECT_EQ(seen, 3000);

    Connection other;
    other.open(path, key);
    other.execute("INSERT INTO Outbox (Name) VALUES ('new')");
    rs.requery();
    EXPECT_EQ(rs.recordCount(), 3001);
    rs.moveLast();
    EXPECT_EQ(rs.text("Name"), "new");
    EXPECT_TRUE(rs.find(Criteria::equals("Name", "new")));
    rs.moveFirst();
    EXPECT_TRUE(rs.find(Criteria::equals("Name", "n2500")));
    EXPECT_EQ(rs.position(), 2500);
}

TEST_F(LiveRecordsetTest, RowsRemovedBeforeTheyAreReadEndTheSetCleanly) {
    db.begin();
    for (int i = 0; i < 600; ++i) queue("0123", "n", "2026-01-01 00:00:00");
    db.commit();
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY MsgID", {}, kLive);
    ASSERT_EQ(rs.recordCount(), 600);
    Connection other;
    other.open(path, key);
    other.execute("DELETE FROM Outbox WHERE MsgID > 300");
    int seen = 0;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        EXPECT_LE(rs.integer("MsgID"), 300);
        ++seen;
    }
    EXPECT_EQ(seen, 300);
    EXPECT_EQ(rs.recordCount(), 300);
}

TEST_F(LiveRecordsetTest, PageAfterPageKeepsTheOrderWithNullsTiesAndMixedDirections) {
    // Live sets find each next page by the keys of the last row read; the order
    // must be exactly the one-pass order of a snapshot.
    const db::Value names[] = {db::Value(), "a", "a ", "B", "b", "c"};
    const db::Value dates[] = {db::Value(), "2026-01-01 00:00:00", "2026-01-02 00:00:00"};
    db.begin();
    for (int i = 0; i < 1500; ++i)
        db.execute("INSERT INTO Outbox (Name, Subject, DateTimeQueue) VALUES (?, ?, ?)",
                   {names[(i * 7) % 6], std::to_string(i % 5), dates[(i * 11) % 3]});
    db.commit();
    for (const char* sort : {"", "Name ASC", "Name DESC", "Name ASC, Subject DESC", "DateTimeQueue DESC, Name ASC",
                             "Subject DESC, DateTimeQueue ASC"}) {
        Recordset live(db, "SELECT * FROM Outbox", {}, kLive);
        Recordset snap(db, "SELECT * FROM Outbox", {}, kSnapshot);
        live.setSort(sort);
        snap.setSort(sort);
        auto a = column(live, "MsgID");
        auto b = column(snap, "MsgID");
        ASSERT_EQ(a.size(), 1500u) << sort;
        EXPECT_EQ(a, b) << sort;
    }
    // The statement's own order and condition, with and without a filter.
    for (bool filtered : {false, true}) {
        const char* sql = "SELECT * FROM Outbox WHERE Subject <> '3' ORDER BY [DateTimeQueue], Outbox.Name DESC";
        Recordset live(db, sql, {}, kLive);
        Recordset snap(db, sql, {}, kSnapshot);
        if (filtered) {
            live.setFilter(Criteria::notNull("Name"));
            snap.setFilter(Criteria::notNull("Name"));
        }
        auto a = column(live, "MsgID");
        EXPECT_EQ(a.size(), filtered ? 1000u : 1200u);
        EXPECT_EQ(a, column(snap, "MsgID"));
    }
}

// What a grid does: a jump to the end, back to the middle, then the first rows. Every
// position must hold the row a snapshot (one read in order) has there, for the
// statement's own order (pages by position, then by id once a deep page is wanted) and
// for sorts and filters (ids read when set).
TEST_F(LiveRecordsetTest, JumpsInAnyOrderShowTheRowsOfTheOneReadOrder) {
    const db::Value names[] = {db::Value(), "a", "a ", "B", "b", "c", "b  ", ""};
    // Whatever a column may hold, in the database's order: Null, numbers (integers and
    // reals by value), texts, blobs.
    const db::Value locks[] = {db::Value(), 1, 0, 2.5, -3, 2, "x", "10", "", 1.0};
    db.begin();
    for (int i = 0; i < 2000; ++i)
        db.execute("INSERT INTO Outbox (Name, Subject, SentStatus, DateTimeQueue, Lock, Message) "
                   "VALUES (?, ?, ?, ?, ?, ?)",
                   {names[(i * 7) % 8], std::to_string(i % 5), i % 4 == 0 ? "P" : "S",
                    "2026-01-0" + std::to_string(1 + (i * 13) % 9) + " 00:00:00", locks[(i * 5) % 10],
                    "m" + std::to_string((i * 7919) % 1000)});
    db.execute("UPDATE Outbox SET Lock = x'0001' WHERE MsgID % 11 = 0");
    db.execute("UPDATE Outbox SET Lock = x'00' WHERE MsgID % 13 = 0");
    db.commit();
    // Indexes as a folder has them: some serve an order, one holds a sort key, one only
    // finds the rows of a status (sets read around it when that is slower).
    db.execute("CREATE INDEX OutboxQueue ON Outbox(DateTimeQueue)");
    db.execute("CREATE INDEX OutboxName ON Outbox(Name)");
    db.execute("CREATE INDEX OutboxStatus ON Outbox(SentStatus)");
    struct Case {
        const char* sql;
        const char* sort;
        bool filtered;
    };
    const Case cases[] = {
        {"SELECT * FROM Outbox WHERE SentStatus IN ('S','F') ORDER BY DateTimeQueue ASC", "", false},
        {"SELECT * FROM Outbox ORDER BY SentStatus = 'P' DESC, DateTimeQueue DESC", "", false},
        {"SELECT * FROM Outbox", "Name ASC", false},
        {"SELECT * FROM Outbox", "Name DESC, Subject ASC", false},
        {"SELECT * FROM Outbox ORDER BY SentStatus = 'P' DESC, DateTimeQueue DESC", "Message DESC", false},
        {"SELECT * FROM Outbox", "Lock ASC", false},
        {"SELECT * FROM Outbox", "Lock DESC, Name ASC", false},
        {"SELECT * FROM Outbox WHERE SentStatus IN ('S','F')", "MsgID DESC", true},
        {"SELECT * FROM Outbox WHERE SentStatus IN ('S','F')", "Message ASC", false},
        {"SELECT * FROM Outbox ORDER BY DateTimeQueue DESC", "", true},
        {"SELECT * FROM Outbox WHERE SentStatus IN ('S','F') ORDER BY DateTimeQueue ASC", "", true},
    };
    // Sorts that read the table through do so on this connection alone, or in parts on
    // connections of their own, side by side.
    for (std::int64_t partsFrom : {PartsFrom::usual(), std::int64_t{0}})
    for (const Case& c : cases) {
        const PartsFrom parts(partsFrom);
        SCOPED_TRACE(std::string(c.sql) + " / " + c.sort + (c.filtered ? " / filtered" : "") +
                     (partsFrom ? "" : " / in parts"));
        Recordset live(db, c.sql, {}, kLive);
        Recordset snap(db, c.sql, {}, kSnapshot);
        if (*c.sort) {
            live.setSort(c.sort);
            snap.setSort(c.sort);
        }
        if (c.filtered) {
            live.setFilter(Criteria::notNull("Name"));
            snap.setFilter(Criteria::notNull("Name"));
        }
        const std::vector<std::string> want = column(snap, "MsgID");
        const std::int64_t n = live.recordCount();
        ASSERT_EQ(n, static_cast<std::int64_t>(want.size()));
        const int id = live.fieldIndex("MsgID");
        for (std::int64_t at : {n - 1, n - 300, n / 2, n / 2 - 1, std::int64_t{0}, std::int64_t{255},
                                std::int64_t{256}, n - 257})
            EXPECT_EQ(live.valueAt(at, id).asText(), want[static_cast<size_t>(at)]) << "row " << at;
        EXPECT_EQ(column(live, "MsgID"), want);
        live.moveToBookmark(Bookmark{std::stoll(want[1500 % want.size()]), 3});
        EXPECT_EQ(live.position(), static_cast<std::int64_t>(1500 % want.size()));
    }
}

// Before a set has read its ids, a jump far into it reads that page by its position from
// the nearer end of the set's order (turned round when it is the end); the next page of a
// walk reads the ids. Rows this set deleted or added meanwhile are counted once.
TEST_F(LiveRecordsetTest, AFarJumpReadsItsPageFromTheNearerEndAndAWalkReadsTheIds) {
    db.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 19999) "
               "INSERT INTO Outbox (Name, Subject, DateTimeQueue) SELECT 'n' || i, i % 7, "
               "CASE WHEN i % 9 = 0 THEN NULL ELSE '2026-01-01 ' || printf('%02d:%02d', (i * 7) % 24, i % 60) END "
               "FROM n");
    db.execute("CREATE INDEX OutboxQueue ON Outbox(DateTimeQueue)");
    for (const char* sql : {"SELECT * FROM Outbox ORDER BY DateTimeQueue DESC",
                            "SELECT * FROM Outbox WHERE Subject <> '3' ORDER BY [DateTimeQueue], Outbox.Name DESC",
                            "SELECT * FROM Outbox ORDER BY substr(Name, 1, 2) ASC, (Subject || ',') DESC",
                            "SELECT * FROM Outbox"}) {
        SCOPED_TRACE(sql);
        Recordset snap(db, sql, {}, kSnapshot);
        const std::vector<std::string> want = column(snap, "MsgID");
        const std::int64_t n = static_cast<std::int64_t>(want.size());
        Recordset rs(db, sql, {}, kLive);
        const int id = rs.fieldIndex("MsgID");
        for (std::int64_t at : {n - 1, std::int64_t{3000}, n / 2 + 10, n - 2, n - 300})
            EXPECT_EQ(rs.valueAt(at, id).asText(), want[static_cast<size_t>(at)]) << "row " << at;
        EXPECT_EQ(column(rs, "MsgID"), want) << "a walk through the set, by its ids";
    }
    {
        // Most rows gone after the count: the jump finds too few rows from the end and
        // reads the ids, which end the set earlier.
        Recordset rs(db, "SELECT * FROM Outbox ORDER BY DateTimeQueue DESC", {}, kLive);
        Connection other;
        other.open(path, key);
        other.execute("DELETE FROM Outbox WHERE MsgID > 5000");
        EXPECT_TRUE(rs.valueAt(10000, rs.fieldIndex("MsgID")).isNull());
        EXPECT_EQ(rs.recordCount(), 5000);
        other.execute("WITH RECURSIVE n(i) AS (SELECT 5000 UNION ALL SELECT i + 1 FROM n WHERE i < 19999) "
                      "INSERT INTO Outbox (MsgID, Name, Subject, DateTimeQueue) SELECT i + 1, 'n' || i, i % 7, "
                      "CASE WHEN i % 9 = 0 THEN NULL ELSE '2026-01-01 ' || printf('%02d:%02d', (i * 7) % 24, i % 60) "
                      "END FROM n");
    }
    Recordset rs(db, "SELECT * FROM Outbox ORDER BY DateTimeQueue DESC", {}, kLive);
    rs.move(5);
    rs.deleteRow();
    rs.addNew();
    rs.setField("Name", Value("added"));
    rs.update();
    EXPECT_EQ(rs.recordCount(), 20000);
    int added = 0;
    const int name = rs.fieldIndex("Name");
    for (std::int64_t i = 0; i < rs.recordCount(); ++i) added += rs.valueAt(i, name).asText() == "added";
    EXPECT_EQ(added, 1) << "a row this set added is shown once, at the end, when the ids are read after it";
    EXPECT_EQ(rs.recordCount(), 20000);
    EXPECT_EQ(rs.valueAt(19999, name).asText(), "added");
}

// A sort read in parts runs on other connections, which see only what is committed: a
// set sorted inside a transaction that wrote, or over a temporary table, stays on its
// own connection and shows what that one sees.
TEST_F(LiveRecordsetTest, ASortInPartsNeverMissesWhatOnlyItsOwnConnectionSees) {
    const PartsFrom parts(0);
    for (int i = 0; i < 600; ++i) queue("01" + std::to_string(i), "n" + std::to_string(i % 50), "2026-01-01 00:00:00");
    db.begin();
    db.execute("INSERT INTO Outbox (Name, Message) VALUES ('zz', 'not yet committed')");
    {
        Recordset rs(db, "SELECT * FROM Outbox", {}, kLive);
        rs.setSort("Name DESC");
        EXPECT_EQ(rs.recordCount(), 601);
        EXPECT_EQ(rs.text("Name"), "zz");
    }
    db.rollback();
    db.execute("CREATE TEMP TABLE Picked AS SELECT MsgID AS Id FROM Outbox WHERE MsgID % 3 = 0");
    db.execute("CREATE TEMP TABLE Shown AS SELECT * FROM main.Outbox WHERE MsgID % 3 = 0");
    for (const char* sql : {"SELECT * FROM Outbox WHERE MsgID IN (SELECT Id FROM Picked)", "SELECT * FROM Shown"}) {
        Recordset rs(db, sql, {}, kLive);
        rs.setSort("Name ASC, MsgID DESC");
        EXPECT_EQ(rs.recordCount(), 200) << sql;
        EXPECT_EQ(rs.text("Name"), "n0") << sql;
        EXPECT_EQ(rs.integer("MsgID"), 501) << sql;
    }
}

// A sort large enough to be sorted in parts on several threads and merged: the same
// order as the database's.
TEST_F(LiveRecordsetTest, ALargeSortMergedFromPartsIsTheDatabasesOrder) {
    db.begin();
    db.execute("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 69999) "
               "INSERT INTO Outbox (Name, Message, Lock) SELECT CASE WHEN i % 97 = 0 THEN NULL "
               "ELSE 'n' || ((i * 7919) % 613) || substr('  ', 1, i % 3) END, 'm' || ((i * 104729) % 70001), "
               "CASE WHEN i % 5 = 0 THEN 'x' ELSE (i * 31) % 17 END FROM n");
    db.commit();
    for (const char* sort : {"Name DESC", "Message ASC", "Lock ASC, Name DESC"}) {
        Recordset live(db, "SELECT * FROM Outbox", {}, kLive);
        Recordset snap(db, "SELECT * FROM Outbox", {}, kSnapshot);
        live.setSort(sort);
        snap.setSort(sort);
        std::vector<std::int64_t> a, b;
        const int id = live.fieldIndex("MsgID");
        for (std::int64_t i = 0; i < live.recordCount(); ++i) a.push_back(live.valueAt(i, id).asInt());
        for (snap.moveFirst(); !snap.eof(); snap.moveNext()) b.push_back(snap.integer("MsgID"));
        ASSERT_EQ(b.size(), 70000u) << sort;
        EXPECT_TRUE(a == b) << sort;
    }
}

// Rows an engine deletes, or changes so that they leave the set (a message sent leaves
// the Outbox view), after the set read its order and before their page is read: they
// are skipped, the rows after them move up, and the current row stays the row it was.
TEST_F(LiveRecordsetTest, RowsGoneAfterTheOrderWasReadAreSkippedAndTheCurrentRowStays) {
    db.begin();
    for (int i = 0; i < 1000; ++i)
        queue("01" + std::to_string(i), "n" + std::to_string((i * 37) % 1000), "2026-01-01 00:00:00");
    db.commit();
    const char* sql = "SELECT * FROM Outbox WHERE SentStatus IN ('P','R') ORDER BY DateTimeQueue";
    for (const char* sort : {"Name ASC", ""}) {
        SCOPED_TRACE(sort);
        Recordset rs(db, sql, {}, kLive);
        Recordset before(db, sql, {}, kSnapshot);
        rs.setSort(sort);
        before.setSort(sort);
        const std::vector<std::string> order = column(before, "MsgID");
        if (!*sort) {
            rs.move(999);  // the set's own order: a deep page reads the ids
            EXPECT_EQ(rs.text("MsgID"), order[999]);
        }

        Connection engine;
        engine.open(path, key);
        engine.execute("DELETE FROM Outbox WHERE MsgID = ?", {order[600]});
        engine.execute("UPDATE Outbox SET SentStatus = 'S' WHERE MsgID = ?", {order[650]});
        engine.execute("DELETE FROM Outbox WHERE MsgID = ?", {order[900]});
        engine.execute("UPDATE Outbox SET Name = 'zz' WHERE MsgID = ?", {order[710]});

        rs.move(700);
        EXPECT_EQ(rs.text("MsgID"), order[700]);
        EXPECT_EQ(rs.position(), 698);
        rs.move(708);
        EXPECT_EQ(rs.text("MsgID"), order[710]);
        EXPECT_EQ(rs.text("Name"), "zz") << "the row as it is now, where it was";

        std::vector<std::string> want = order;
        for (size_t gone : {900, 650, 600}) want.erase(want.begin() + static_cast<std::ptrdiff_t>(gone));
        EXPECT_EQ(column(rs, "MsgID"), want);
        EXPECT_EQ(rs.recordCount(), 997);
        rs.requery();
        EXPECT_EQ(rs.recordCount(), 997);
        engine.execute("UPDATE Outbox SET Name = 'n' || MsgID");  // put names back for the next round
        engine.execute("DELETE FROM Outbox WHERE SentStatus = 'S'");
        engine.execute("INSERT INTO Outbox (Subject, Mobile, Name, Message, DateTimeQueue, SentStatus) "
                       "SELECT 's', '0', 'n', 'hello', '2026-01-01 00:00:00', 'P' FROM Outbox LIMIT 3");
    }
}

TEST_F(LiveRecordsetTest, RecordSetKeepsTheConnectionItWasOpenedOn) {
    queue("0123", "Ali", "2026-01-01 00:00:00");
    Recordset rs(db, "SELECT * FROM Outbox", {}, kLive);
    db = Connection();  // the program replaces its connection object
    EXPECT_EQ(db.state(), Connection::State::Closed);
    rs.requery();
    EXPECT_EQ(rs.text("Name"), "Ali");
}

}  // namespace parlix::db::test
