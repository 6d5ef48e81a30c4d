// Groups, contacts, resend and billing on a real database (window-less): names, the
// set-based changes and their all-or-nothing transactions, the counts and amounts.
#include <gtest/gtest.h>

#include <string>

#include "console/dialogs/core/Contacts.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Messages.h"
#include "console/shell/tests/TestRoot.h"
#include "database/Schema.h"

namespace parlix::console {
namespace {

class GroupsDb : public ::testing::Test {
protected:
    void SetUp() override {
        root = test::makeTestRoot("groups");
        ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
        db.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    }
    void TearDown() override {
        db.close();
        if (!HasFailure()) std::filesystem::remove_all(root);
    }
    std::int64_t contact(const std::string& name, const std::string& mobile, const std::string& company = "") {
        db.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, ?)", {name, mobile, company});
        return db.lastInsertId();
    }
    void member(const std::string& group, std::int64_t id) {
        db.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT ?, ContactID, Mobile FROM AddressBook "
                   "WHERE ContactID = ?",
                   {group, static_cast<long long>(id)});
    }
    std::int64_t n(const std::string& sql, const db::Params& p = {}) { return db.scalar(sql, p)->asInt(); }
    std::int64_t rows(const std::string& group) { return n("SELECT count(*) FROM Groups WHERE GroupName = ?", {group}); }
    // Makes every write to a table fail from now on, as a full disk or a lock would.
    void failWrites(const std::string& table, const std::string& event) {
        db.execute("CREATE TRIGGER fail_" + event + " BEFORE " + event + " ON " + table +
                   " BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    }

    std::filesystem::path root;
    db::Connection db;
};

TEST_F(GroupsDb, NewGroupNamesAreCheckedAgainstTheTableInTheAskedOrder) {
    CreateGroup(db, "Staff");
    CreateGroup(db, "A_C");
    CreateGroup(db, "\xc3\x84pfel");                      // "Äpfel"
    CreateGroup(db, "\xcf\x83\xce\xbf\xcf\x86\xce\xb9\xce\xb1");  // "σοφια"
    const std::string fifty(50, 'x'), fiftyWide = [] {
        std::string s;
        for (int i = 0; i < 50; ++i) s += "\xc3\xa9";  // 50 characters, 100 bytes
        return s;
    }();
    const struct {
        std::string name;
        GroupNameCheck check;
    } cases[] = {
        {"it's", GroupNameCheck::Apostrophe},   {"'", GroupNameCheck::Apostrophe},
        {"", GroupNameCheck::Empty},            {"   ", GroupNameCheck::Empty},
        {"Staff", GroupNameCheck::Duplicate},   {"Staff  ", GroupNameCheck::Duplicate},
        {"Inbox", GroupNameCheck::Duplicate},   {"Address Book", GroupNameCheck::Duplicate},
        {"Sent Items ", GroupNameCheck::Duplicate}, {"Messages", GroupNameCheck::Duplicate},
        {"Outbox", GroupNameCheck::Duplicate},  {fifty, GroupNameCheck::Ok},
        {fifty + "x", GroupNameCheck::TooLong}, {fiftyWide, GroupNameCheck::Ok},
        {"ABC", GroupNameCheck::Ok},            {"%", GroupNameCheck::Ok},
        {"*", GroupNameCheck::Ok},
        // Names that differ only in letter case are one name, in every script.
        {"staff", GroupNameCheck::Duplicate},   {"STAFF ", GroupNameCheck::Duplicate},
        {"\xc3\xa4pfel", GroupNameCheck::Duplicate},  // "äpfel" beside "Äpfel"
        {"\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91", GroupNameCheck::Duplicate},  // "ΣΟΦΙΑ" beside "σοφια"
        {"apfel", GroupNameCheck::Ok},          {"a_c", GroupNameCheck::Duplicate},
        {"abc_", GroupNameCheck::Ok},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckGroupName(db, c.name), c.check) << "[" << c.name << "]";
    EXPECT_EQ(GroupNameOf("Staff  "), "Staff");
}

TEST_F(GroupsDb, RenameDeleteAndRemoveAllChangeTheWholeGroupOrNothing) {
    const auto a = contact("Ali", "0121111111"), b = contact("Badu", "0122222222");
    CreateGroup(db, "50% off");
    member("50% off", a);
    member("50% off", b);
    CreateGroup(db, "50X off");  // a wildcard in the name must not reach this one
    member("50X off", a);

    EXPECT_EQ(RenameGroup(db, "50% off", "Half"), 3);
    EXPECT_EQ(rows("Half"), 3);
    EXPECT_EQ(rows("50X off"), 2);
    EXPECT_EQ(CountMembers(db, "Half"), 2);

    // A failing re-insert of the placeholder leaves the members where they were.
    failWrites("Groups", "INSERT");
    EXPECT_THROW(RemoveAllMembers(db, "Half"), db::DbError);
    EXPECT_EQ(rows("Half"), 3);
    db.execute("DROP TRIGGER fail_INSERT");

    db.execute("INSERT INTO Groups (GroupName) VALUES ('Half')");  // a second placeholder from old data
    EXPECT_EQ(RemoveAllMembers(db, "Half"), 2);
    EXPECT_EQ(n("SELECT count(*) FROM Groups WHERE GroupName = 'Half' AND (ContactID IS NULL OR ContactID = 0)"), 1);
    EXPECT_EQ(rows("Half"), 1);

    EXPECT_EQ(DeleteGroupRows(db, "Half "), 1);  // trailing blanks select the same group
    EXPECT_FALSE(GroupExists(db, "Half"));
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 2);
    EXPECT_EQ(GroupNames(db), std::vector<std::string>{"50X off"});
}

TEST_F(GroupsDb, RemovingMembersSkipsContactsNoLongerInTheGroup) {
    const auto a = contact("Ali", "011"), b = contact("Badu", "012"), c = contact("Chen", "013");
    CreateGroup(db, "G");
    for (auto id : {a, b, c}) member("G", id);
    member("Other", b);
    const auto r = RemoveMembers(db, "G", {a, b, 999, a});
    EXPECT_EQ(r.removed, 2);
    EXPECT_EQ(r.notMember, std::vector<std::int64_t>{999});
    EXPECT_EQ(CountMembers(db, "G"), 1);
    EXPECT_EQ(rows("Other"), 1);

    // A searched removal takes the search text literally.
    const auto p = contact("P", "0199", "50% Ltd"), x = contact("X", "0198", "50X Ltd"), u = contact("U", "01_7", "a\\b");
    for (auto id : {p, x, u}) member("S", id);
    EXPECT_EQ(CountSearchedMembers(db, "S", SearchField::Company, "50%"), 1);
    EXPECT_EQ(CountSearchedMembers(db, "S", SearchField::Company, "l"), 2);  // either case
    EXPECT_EQ(RemoveSearchedMembers(db, "S", SearchField::Company, "50%"), 1);
    EXPECT_EQ(RemoveSearchedMembers(db, "S", SearchField::Mobile, "1_"), 1);
    EXPECT_EQ(RemoveSearchedMembers(db, "S", SearchField::Company, "A\\B"), 0);  // already gone with "1_"
    EXPECT_EQ(RemoveSearchedMembers(db, "S", SearchField::Name, "x"), 1);
    EXPECT_EQ(rows("S"), 0);

    // Thousands of ids at once (a whole grid selected).
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 1200; ++i) {
        ids.push_back(contact("C" + std::to_string(i), "01" + std::to_string(i)));
        member("Big", ids.back());
    }
    EXPECT_EQ(RemoveMembers(db, "Big", ids).removed, 1200);
    EXPECT_EQ(rows("Big"), 0);
}

TEST_F(GroupsDb, ContactsAreSavedWithTheirGroupsInOneTransaction) {
    const auto old = contact("Old", "0123456789");
    EXPECT_EQ(ContactsWithMobile(db, "012-345-6789"), std::vector<std::int64_t>{old});
    EXPECT_EQ(ContactsWithMobile(db, "0123456789 "), std::vector<std::int64_t>{old});

    ASSERT_TRUE(UpdateContact(db, old, "Old", "0123456789", "", {"A", "B"}));  // no group yet, two ticked
    EXPECT_EQ(rows("A") + rows("B"), 2);
    const auto id = AddContact(db, "Ali", "019-876-5432", "Co's", {"A", "B"});
    EXPECT_GT(id, old);
    EXPECT_EQ(n("SELECT count(*) FROM Groups WHERE ContactID = ? AND Mobile = '0198765432'", {static_cast<long long>(id)}), 2);
    auto c = LoadContact(db, id);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->mobile, "0198765432");
    EXPECT_EQ(c->company, "Co's");

    // Edit: a new number updates the same contact; B stays, A goes, C comes.
    ASSERT_TRUE(UpdateContact(db, id, "Ali B", "011-1", "", {"B", "C"}));
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook"), 2);
    c = LoadContact(db, id);
    EXPECT_EQ(c->name, "Ali B");
    EXPECT_EQ(c->mobile, "0111");
    std::sort(c->groups.begin(), c->groups.end());
    EXPECT_EQ(c->groups, (std::vector<std::string>{"B", "C"}));
    EXPECT_FALSE(UpdateContact(db, 4242, "x", "1", "", {"B"}));
    EXPECT_EQ(rows("B"), 2);

    // Null fields load as empty texts.
    db.execute("INSERT INTO AddressBook (Mobile) VALUES ('0170000000')");
    c = LoadContact(db, db.lastInsertId());
    EXPECT_EQ(c->name + c->company, "");

    // A membership that cannot be written takes the contact with it.
    failWrites("Groups", "INSERT");
    EXPECT_THROW(AddContact(db, "Lost", "0160000000", "", {"A"}), db::DbError);
    EXPECT_THROW(UpdateContact(db, id, "Changed", "0111", "", {"B", "C", "D"}), db::DbError);
    EXPECT_EQ(n("SELECT count(*) FROM AddressBook WHERE Name IN ('Lost', 'Changed')"), 0);
}

TEST_F(GroupsDb, ResendPutsEveryFailedRowBackInChunksAndTouchesNothingElse) {
    db.execute("INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID, MsgRef, DateTimeSent, "
               "DeliveryStatus, Lock) VALUES ('s', '011', 'm', 'F', 1, 7, '2026-01-01 10:00:00', 'F', 0)");
    db.execute("INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID) VALUES ('s', '012', 'm', 'S', 1)");
    db.execute("WITH RECURSIVE i(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM i WHERE k < 40000) "
               "INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID) SELECT 'b', k, 'm', 'F', 2 FROM i");
    // A tiny lock budget forces many chunks; the count is the rows changed (above 16 bits).
    EXPECT_EQ(ResendFailed(db, std::chrono::milliseconds(1)), 40001);
    EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE SentStatus = 'P' AND ModemID = 0 AND Modem = 0"), 40001);
    EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE Mobile = '011' AND MsgRef = 7 AND DateTimeSent = "
                "'2026-01-01 10:00:00' AND DeliveryStatus = 'F' AND Lock = 0"),
              1);
    EXPECT_EQ(n("SELECT count(*) FROM Outbox WHERE SentStatus = 'S' AND ModemID = 1"), 1);
    EXPECT_EQ(ResendFailed(db), 0);
}

TEST_F(GroupsDb, ModemAnswersAreWholeNumbersOnly) {
    const struct {
        const char* typed;
        ModemAnswer kind;
        std::int64_t id;
    } cases[] = {{"", ModemAnswer::Empty, 0},         {"  ", ModemAnswer::Empty, 0},
                 {"abc", ModemAnswer::NotNumeric, 0}, {"1'; DROP", ModemAnswer::NotNumeric, 0},
                 {"1.5", ModemAnswer::NotWhole, 0},   {"1e3", ModemAnswer::NotWhole, 0},
                 {"99999999999999999999", ModemAnswer::NotWhole, 0},
                 {"1", ModemAnswer::Ok, 1},           {" 12 ", ModemAnswer::Ok, 12}};
    for (const auto& c : cases) {
        std::int64_t id = 0;
        EXPECT_EQ(ParseModemAnswer(c.typed, id), c.kind) << c.typed;
        if (c.kind == ModemAnswer::Ok) {
            EXPECT_EQ(id, c.id) << c.typed;
        }
    }
}

TEST_F(GroupsDb, BillingCountsTheModemsSentMessagesByItsNetwork) {
    auto sent = [&](const std::string& mobile, int modem, const std::string& status = "S") {
        db.execute("INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID) VALUES ('s', ?, 'm', ?, ?)",
                   {mobile, status, modem});
    };
    auto modem = [&](const std::string& number, const db::Value& r1, const db::Value& r2) {
        db.execute("UPDATE Modem SET ModemNumber = ?, Rate1 = ?, Rate2 = ? WHERE ModemID = 1", {number, r1, r2});
    };
    for (const char* m : {"0191111111", "0192222222", "0121111111", "0161111111", "0141111111"}) sent(m, 1);
    sent("0193333333", 1, "F");  // not sent
    sent("0194444444", 2);       // another modem

    const struct {
        const char* number;
        std::int64_t intra;
        const char* amount;
        const char* title;
    } cases[] = {
        // 0.05 x 2 + 0.10 x 3: the 013 network counts 013 and 019 numbers.
        {"0133456789", 2, "0.4", "Vovivaded Ezovaro - SMS billing report"},
        // The 012 network counts 012 and 017: one message.
        {"0123456789", 1, "0.45", "Vovivaded Ezovaro - SMS billing report"},
        {"0163456789", 1, "0.45", "Vovivaded Ezovaro - SMS billing report"},
        {"0193456789", 2, "0.4", "Vovivaded Ezovaro - SMS billing report"},
    };
    for (const auto& c : cases) {
        modem(c.number, 0.05, "0.10");
        const Billing b = BillModem(db, 1);
        EXPECT_EQ(b.total, 5) << c.number;
        EXPECT_EQ(b.intra, c.intra) << c.number;
        EXPECT_EQ(b.amount.text(), c.amount) << c.number;
        EXPECT_EQ(b.title, c.title) << c.number;
    }
    // A 013 modem with nothing to its own network: Rate2 for all, and the other title.
    db.execute("DELETE FROM Outbox WHERE Mobile LIKE '019%'");
    modem("0133456789", 0.05, 0.1);
    Billing b = BillModem(db, 1);
    EXPECT_EQ(b.intra, 0);
    EXPECT_EQ(b.amount.text(), "0.3");
    EXPECT_EQ(b.title, "Razudirediz Eziridu - SMS billing report");

    modem("0143456789", 0.05, 0.1);
    EXPECT_EQ(BillModem(db, 1).network, "");
    modem("0133456789", 0, 0.1);
    EXPECT_FALSE(BillModem(db, 1).rate1);
    modem("0133456789", 0.05, db::Value());
    EXPECT_FALSE(BillModem(db, 1).rate2);
    EXPECT_FALSE(BillModem(db, 7).modemFound);
    modem("0133456789", "abc", 0.1);
    EXPECT_THROW(BillModem(db, 1), std::runtime_error);
    // Rates below a ten-thousandth come back from the column in exponent form; they are
    // numbers all the same, rounded to the currency's four places.
    modem("0133456789", 6e-05, 1e-05);
    b = BillModem(db, 1);
    ASSERT_TRUE(b.rate1);
    EXPECT_EQ(b.rate1->text(), "0.0001");
    EXPECT_FALSE(b.rate2) << "1e-05 rounds to nothing: the rate is not entered";
    modem("0133456789", "1.5E-4", 2.5e-4);
    b = BillModem(db, 1);
    ASSERT_TRUE(b.rate1 && b.rate2);
    EXPECT_EQ(b.amount.text(), "0.0006") << "3 messages at 0.0002";

    // More sent messages than a 16-bit counter holds.
    db.execute("WITH RECURSIVE i(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM i WHERE k < 39997) "
               "INSERT INTO Outbox (Subject, Mobile, Message, SentStatus, ModemID) SELECT 'b', '013' || k, 'm', 'S', 1 "
               "FROM i");
    modem("0133456789", "0.05", "0.1");
    b = BillModem(db, 1);
    EXPECT_EQ(b.total, 40000);
    EXPECT_EQ(b.intra, 39997);
    EXPECT_EQ(b.amount.text(), "2000.15");
}

}  // namespace
}  // namespace parlix::console
