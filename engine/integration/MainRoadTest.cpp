// The main road against the simulated modem on a pty and a fresh database: queued
// Outbox rows reach the handset, refusals, duplicates, schedule and routing, delivery
// reports, incoming messages, and what happens when a step breaks half-way.
#include "engine/InboxSpool.h"
#include "engine/integration/WorkRig.h"

#include <filesystem>
#include <fstream>

using namespace parlix;
using namespace parlix::engine;
using namespace parlix::engine::testing;
using std::chrono::minutes;

namespace {

class MainRoad : public WorkRig {};

const std::string kLocal = "0123456789";
const std::string kIntl = "60123456789";

}  // namespace

TEST_F(MainRoad, TextsOfEveryKindReachTheHandsetIntact) {
    startEngine();
    const std::string exactly160(160, 'a');
    const std::string long400 = std::string(150, 'x') + " middle " + std::string(242, 'y');
    const std::string unicode = "Selamat pagi 你好 – café";
    const auto single = queue(kLocal, "Hello from Parlix", 1);
    const auto uni = queue("0161234567", unicode, 0);
    const auto full = queue("0191234567", exactly160, 1);
    const auto lng = queue("0171234567", long400, 1);

    for (int i = 0; i < 4; ++i) ASSERT_TRUE(engine.SendSMS0());
    EXPECT_TRUE(engine.SendSMS0());  // nothing left: still a normal pass

    const auto joined = modemsim::reassemble(sim->sent());
    ASSERT_EQ(joined.size(), 4u);
    EXPECT_EQ(joined[0].number, kIntl);
    EXPECT_EQ(joined[0].text, "Hello from Parlix");
    EXPECT_EQ(joined[1].text, unicode);
    EXPECT_EQ(joined[2].text, exactly160);
    EXPECT_EQ(joined[2].parts, 1);  // 160 characters go as one message
    EXPECT_EQ(joined[3].text, long400);
    EXPECT_EQ(joined[3].parts, 3);
    EXPECT_TRUE(joined[3].complete);
    const auto sent = sim->sent();
    EXPECT_EQ(sent[1].coding, "ucs2");

    for (auto id : {single, uni, full, lng}) {
        auto r = row(id);
        EXPECT_EQ(r["SentStatus"], "S") << id;
        EXPECT_EQ(r["Lock"], "0");
        EXPECT_EQ(r["ModemID"], "1");
        EXPECT_NE(r["DateTimeSent"], "<null>");
        EXPECT_EQ(r["DeliveryStatus"], "<null>");
    }
    // The reference the modem gave for each message (the last unit of a long one).
    EXPECT_EQ(row(single)["MsgRef"], std::to_string(sent[0].mr));
    EXPECT_EQ(row(lng)["MsgRef"], std::to_string(sent.back().mr));
    EXPECT_EQ(engine.SentCount, 4);
    EXPECT_EQ(view.sent, "Sent: 4");
    EXPECT_EQ(entries("Send success!"), 4u);
    EXPECT_EQ(entries("Sending. Please wait..."), 4u);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(MainRoad, RefusedTwiceGoesFromRToF) {
    startEngine();
    sim->set("refuse=2");
    const auto id = queue(kLocal, "try me");

    EXPECT_TRUE(engine.SendSMS0());  // a refusal is no failed step
    auto r = row(id);
    EXPECT_EQ(r["SentStatus"], "R");
    EXPECT_EQ(r["Lock"], "0");
    EXPECT_EQ(r["ModemID"], "1");
    EXPECT_EQ(engine.FailCount, 0);
    EXPECT_EQ(entries("Send fail!"), 1u);

    EXPECT_TRUE(engine.SendSMS0());
    r = row(id);
    EXPECT_EQ(r["SentStatus"], "F");
    EXPECT_EQ(r["MsgRef"], "<null>");
    EXPECT_EQ(engine.FailCount, 1);
    EXPECT_EQ(view.failed, "Fail: 1");

    // "F" is never picked up again; the console's resend gives it two more tries.
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(entries("Send fail!"), 2u);
    db.execute("UPDATE Outbox SET SentStatus = 'P', ModemID = 0 WHERE MsgID = ?", {static_cast<long long>(id)});
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(id)["SentStatus"], "S");
    EXPECT_TRUE(sim->sent().size() == 1);
}

TEST_F(MainRoad, DuplicateIsMarkedWithoutSending) {
    startEngine();
    queue(kLocal, "Meeting at 3", 1, "SUBJ1", at(minutes(-90)), "S");
    const auto twin = queue(kLocal, "Meeting at 3", 1, "SUBJ1");
    // Same subject to another number, and a twin of a row still queued: no duplicates.
    const auto other = queue("0161111111", "Meeting at 3", 1, "SUBJ1");
    const auto pending = queue("0172222222", "Quote's \"here\"; DROP TABLE Outbox", 1, "it's");
    const auto pendingTwin = queue("0172222222", "Quote's \"here\"; DROP TABLE Outbox", 1, "it's");

    EXPECT_TRUE(engine.SendSMS0());
    auto r = row(twin);
    EXPECT_EQ(r["SentStatus"], "D");
    EXPECT_EQ(r["Lock"], "0");
    EXPECT_EQ(r["ModemID"], "1");
    EXPECT_TRUE(sim->sent().empty());
    EXPECT_EQ(entries("Duplicate message not send!"), 1u);
    EXPECT_NE(engine.StatusText().find("To : " + kLocal), std::string::npos);

    for (int i = 0; i < 3; ++i) EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(other)["SentStatus"], "S");
    EXPECT_EQ(row(pending)["SentStatus"], "S");
    EXPECT_EQ(row(pendingTwin)["SentStatus"], "D");  // its twin went first
    EXPECT_EQ(sim->sent().size(), 2u);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(MainRoad, OnlyDueRoutedRowsAreSentOldestFirst) {
    setModem("\"012\" = 1, \"019\" = 1");
    startEngine();
    view.all = false;  // frmModem's "All" box follows the route flags
    const auto later = queue("0121111111", "later", 1, "s", at(minutes(30)));
    const auto newer = queue("0192222222", "newer", 1, "s", at(minutes(-5)));
    const auto older = queue("0123333333", "older", 1, "s", at(minutes(-10)));
    const auto elsewhere = queue("0164444444", "other operator", 1, "s", at(minutes(-20)));

    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(older)["SentStatus"], "S");
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(newer)["SentStatus"], "S");
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(later)["SentStatus"], "P");  // waits for its time
    EXPECT_EQ(row(elsewhere)["SentStatus"], "P");
    ASSERT_EQ(sim->sent().size(), 2u);
    EXPECT_EQ(sim->sent()[0].text, "older");

    // Its time has come.
    db.execute("UPDATE Outbox SET DateTimeQueue = ? WHERE MsgID = ?", {at(minutes(-1)), static_cast<long long>(later)});
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(later)["SentStatus"], "S");

    // With "All" ticked every number goes.
    view.all = true;
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(elsewhere)["SentStatus"], "S");
}

TEST_F(MainRoad, LockedRowsArePassedOver) {
    startEngine();
    const auto locked = queue(kLocal, "held by engine 2");
    db.execute("UPDATE Outbox SET Lock = 1, ModemID = 2 WHERE MsgID = ?", {static_cast<long long>(locked)});
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_TRUE(sim->sent().empty());
    EXPECT_EQ(view.sent, "");  // labels untouched when nothing was claimed

    const auto free = queue("0161234567", "free");
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(free)["SentStatus"], "S");
    EXPECT_EQ(row(locked)["Lock"], "1");
    EXPECT_EQ(row(locked)["SentStatus"], "P");
}

TEST_F(MainRoad, DeliveryReportMarksTheLatestMatchingRow) {
    startEngine("Direction = 0, DSR = 1", {"--mr=45"});
    ASSERT_TRUE(engine.DeliveryReportActive);
    // Earlier rows with the same reference: one of this engine sent yesterday, one of
    // engine 2; neither may take the report.
    const auto yesterday = queue(kLocal, "old", 1, "old", at(minutes(-1500)), "S");
    db.execute("UPDATE Outbox SET MsgRef = 45, ModemID = 1, DateTimeSent = ? WHERE MsgID = ?",
               {at(minutes(-1440)), static_cast<long long>(yesterday)});
    const auto otherEngine = queue(kLocal, "other", 1, "other", at(minutes(-1500)), "S");
    db.execute("UPDATE Outbox SET MsgRef = 45, ModemID = 2, DateTimeSent = ? WHERE MsgID = ?",
               {at(minutes(-1)), static_cast<long long>(otherEngine)});
    const auto today = queue(kLocal, "report me");

    engine.Timer1_Timer();  // send, read (nothing), report
    auto r = row(today);
    ASSERT_EQ(r["SentStatus"], "S");
    EXPECT_EQ(r["MsgRef"], "45");
    EXPECT_EQ(r["DeliveryStatus"], "D");
    EXPECT_NE(r["DateTimeDeliver"], "<null>");
    EXPECT_TRUE(db::parseDateTime(r["DateTimeDeliver"]).has_value());
    EXPECT_EQ(row(yesterday)["DeliveryStatus"], "<null>");
    EXPECT_EQ(row(otherEngine)["DeliveryStatus"], "<null>");
    EXPECT_EQ(entries("Delivery Status Report\r\n"), 1u);
    EXPECT_NE(engine.StatusText().find("The message was successfully delivered to: +" + kIntl), std::string::npos)
        << engine.StatusText();
    EXPECT_EQ(sim->count("sr"), 0);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(MainRoad, ReportsOfFailureAndReportsThatMatchNothing) {
    startEngine("Direction = 2, DSR = 1", {"--report=failed"});
    const auto id = queue(kLocal, "will fail");
    engine.Timer1_Timer();
    EXPECT_EQ(row(id)["DeliveryStatus"], "F");
    EXPECT_EQ(row(id)["DateTimeDeliver"], "<null>");
    EXPECT_NE(engine.StatusText().find("The message was NOT successfully delivered to: +" + kIntl), std::string::npos);

    // A second report for a row that already has its status matches nothing.
    sim->set("report=delivered");
    const auto next = queue("0161234567", "second");
    db.execute("UPDATE Outbox SET DeliveryStatus = 'U' WHERE MsgID = ?", {static_cast<long long>(next)});
    ASSERT_TRUE(engine.SendSMS0());
    engine.GetDeliveryStatusReport();
    EXPECT_EQ(row(next)["DeliveryStatus"], "U");
    const std::string log = errorLog();
    EXPECT_NE(log.find("Error Location: frmSMSEngine-GetDeliveryStatusReport Modem: 1"), std::string::npos);
    EXPECT_NE(log.find("Error Number: 0\r\n"), std::string::npos);
    EXPECT_NE(log.find("Unable to update record with this report:-\r\nMessage Reference:"), std::string::npos);
    EXPECT_NE(log.find("Mobile Number:+60161234567\r\nDelivery Status:D."), std::string::npos);
}

// A network's interim report (temporary error, the centre still trying) decides
// nothing: the row stays open, and the final report that follows is applied.
TEST_F(MainRoad, InterimReportLeavesTheRowForTheFinalOne) {
    startEngine("Direction = 2, DSR = 1", {"--report=33/70"});
    const auto id = queue(kLocal, "slow to arrive");
    engine.Timer1_Timer();
    EXPECT_EQ(row(id)["SentStatus"], "S");
    EXPECT_EQ(row(id)["DeliveryStatus"], "<null>");
    EXPECT_EQ(sim->count("sr"), 1);  // the interim one is gone, the final one waits
    engine.GetDeliveryStatusReport();
    EXPECT_EQ(row(id)["DeliveryStatus"], "F");  // 70: validity period expired
    EXPECT_EQ(sim->count("sr"), 0);
    EXPECT_EQ(errorLog(), "");
}

TEST_F(MainRoad, IncomingMessagesBecomeInboxRowsWithTheContactsName) {
    startEngine();
    db.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ('Aminah', '0123456789', 'Acme')");
    EXPECT_TRUE(engine.ReadSMS());  // nothing waiting
    EXPECT_EQ(engine.InCount, 0);
    EXPECT_EQ(engine.StatusText().find("New incoming SMS"), std::string::npos);

    sim->inject("+60123456789", "Hi, it's me", "scts=15/07/21,14:05:09+32");
    sim->inject("+60199999999", "Who am I?");
    EXPECT_TRUE(engine.ReadSMS());
    EXPECT_TRUE(engine.ReadSMS());
    const auto rows = db.query("SELECT Name, Mobile, DateTime, Message, ModemID, Status, StatusID FROM Inbox ORDER BY MsgID");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].asText(), "Aminah");
    EXPECT_EQ(rows[0][1].asText(), kIntl);
    EXPECT_EQ(rows[0][2].asText(), "2015-07-21 14:05:09");
    EXPECT_EQ(rows[0][3].asText(), "Hi, it's me");
    EXPECT_EQ(rows[0][4].asInt(), 1);
    EXPECT_EQ(rows[0][5].asText(), "New");
    EXPECT_EQ(rows[0][6].asInt(), 0);
    EXPECT_EQ(rows[1][0].asText(), "Unknown");
    EXPECT_EQ(engine.InCount, 2);
    EXPECT_EQ(view.in, "In: 2");
    EXPECT_NE(engine.StatusText().find("From : " + kIntl + "\r\nMessage : Hi, it's me"), std::string::npos);
    EXPECT_EQ(sim->count("sm"), 0);
    EXPECT_FALSE(std::filesystem::exists(EnginePath(kInboxPendingName)));
}

TEST_F(MainRoad, MessageThatCannotBeStoredIsKeptAcrossARestart) {
    startEngine();
    db.execute("CREATE TRIGGER InboxFull BEFORE INSERT ON Inbox BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    sim->inject("+60123456789", "do not lose me");
    EXPECT_FALSE(engine.ReadSMS());  // the step failed: the tick reconnects
    EXPECT_EQ(sim->count("sm"), 0);  // gone from the modem ...
    EXPECT_EQ(InboxSpool(EnginePath(kInboxPendingName)).Load().size(), 1u);  // ... but kept
    EXPECT_EQ(std::filesystem::status(EnginePath(kInboxPendingName)).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_NE(errorLog().find("frmSMSEngine-ReadSMS Modem: 1"), std::string::npos);

    // While the database refuses, later messages stay in the modem.
    sim->inject("+60161111111", "second");
    EXPECT_TRUE(engine.ReadSMS());
    EXPECT_EQ(sim->count("sm"), 1);

    // A new run of the engine stores the kept message first, then reads the next.
    db.execute("DROP TRIGGER InboxFull");
    HeadlessView otherView;
    Engine restarted(otherView);
    restarted.objSMS = std::move(engine.objSMS);  // same modem, same port
    EXPECT_TRUE(restarted.ReadSMS());
    const auto rows = db.query("SELECT Message FROM Inbox ORDER BY MsgID");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].asText(), "do not lose me");
    EXPECT_EQ(rows[1][0].asText(), "second");
    EXPECT_FALSE(std::filesystem::exists(EnginePath(kInboxPendingName)));
}

TEST_F(MainRoad, ClaimsLeftByAnEndedRunAreSentAfterAll) {
    // Rows claimed by this engine (1) before it ended, and one claimed by engine 2.
    const auto mine = queue(kLocal, "claimed before the crash");
    const auto theirs = queue("0161234567", "engine 2 is on it");
    db.execute("UPDATE Outbox SET Lock = 1, ModemID = 1 WHERE MsgID = ?", {static_cast<long long>(mine)});
    db.execute("UPDATE Outbox SET Lock = 1, ModemID = 2 WHERE MsgID = ?", {static_cast<long long>(theirs)});
    startEngine();

    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(mine)["SentStatus"], "S");
    EXPECT_EQ(row(mine)["Lock"], "0");
    EXPECT_EQ(row(theirs)["Lock"], "1");
    EXPECT_EQ(row(theirs)["SentStatus"], "P");
    const std::string log = errorLog();
    EXPECT_NE(log.find("Error Location: frmSMSEngine-RecoverClaims Modem: 1\r\nError Number: 0\r\n"
                       "Error Description: Unfinished send put back in the queue:-\r\nMsgID:" +
                       std::to_string(mine)),
              std::string::npos);
    EXPECT_EQ(log.find("MsgID:" + std::to_string(theirs)), std::string::npos);
}

TEST_F(MainRoad, ModemFailingMidSendPutsTheRowBack) {
    startEngine();
    const auto id = queue(kLocal, "line drops");
    sim->drop();
    EXPECT_FALSE(engine.SendSMS0());  // the tick reconnects after this
    auto r = row(id);
    EXPECT_EQ(r["SentStatus"], "P");
    EXPECT_EQ(r["Lock"], "0");
    EXPECT_NE(errorLog().find("frmSMSEngine-SendSMSAll Modem: 1"), std::string::npos);
    EXPECT_NE(errorLog().find("Unfinished send put back in the queue:-\r\nMsgID:" + std::to_string(id)),
              std::string::npos);
}

TEST_F(MainRoad, FailedFinalWriteIsRecoveredByTheNextPass) {
    startEngine();
    const auto id = queue(kLocal, "sent but not recorded");
    db.execute("CREATE TRIGGER NoSent BEFORE UPDATE OF SentStatus ON Outbox WHEN NEW.SentStatus = 'S' "
               "BEGIN SELECT RAISE(ABORT, 'database is busy'); END");
    EXPECT_FALSE(engine.SendSMS0());
    EXPECT_EQ(row(id)["Lock"], "1");
    EXPECT_TRUE(engine.ClaimsToRecover());

    db.execute("DROP TRIGGER NoSent");
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(id)["SentStatus"], "S");
    EXPECT_EQ(row(id)["Lock"], "0");
    // Nothing lost; the price is a repeat of that one message.
    EXPECT_EQ(sim->sent().size(), 2u);
}

TEST_F(MainRoad, CollidingClaimsRestartAPassOnlySoOften) {
    startEngine();
    const auto id = queue(kLocal, "always taken");
    // Every claim finds the row changed underneath, as if another engine won each time.
    db.execute("CREATE TRIGGER Snatch BEFORE UPDATE OF Lock ON Outbox WHEN NEW.Lock = 1 BEGIN SELECT RAISE(IGNORE); END");
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(entries("Current record is processed by another SMS Engine. Moving to next record."), 9u);
    EXPECT_NE(engine.StatusText().find("Moving to next record.\r\n\r\n\r\n"), std::string::npos);
    EXPECT_TRUE(sim->sent().empty());
    EXPECT_EQ(row(id)["SentStatus"], "P");
}

TEST_F(MainRoad, DroppedLineLeavesRowsQueuedUntilTheModemIsBack) {
    startEngine("Direction = 2, DSR = 0");
    const auto first = queue(kLocal, "before the drop");
    engine.Timer1_Timer();
    ASSERT_EQ(row(first)["SentStatus"], "S");
    const std::vector<std::int64_t> waiting = {queue("0161111111", "one"), queue("0172222222", "two")};

    sim.reset();  // the line drops: the simulated modem and its link are gone
    for (int tick = 0; tick < 4; ++tick) engine.Timer1_Timer();
    for (auto id : waiting) {
        EXPECT_EQ(row(id)["SentStatus"], "P") << id;
        EXPECT_NE(row(id)["Lock"], "1") << id;
    }
    EXPECT_EQ(view.panels[1], "Waiting for modem");
    EXPECT_TRUE(view.stop);
    EXPECT_FALSE(view.init);
    EXPECT_EQ(engine.FailCount, 0);

    startModem();  // the modem is back on the same port
    for (int tick = 0; tick < 4; ++tick) engine.Timer1_Timer();
    for (auto id : waiting) EXPECT_EQ(row(id)["SentStatus"], "S") << id;
    EXPECT_EQ(sim->sent().size(), 2u);
    EXPECT_EQ(view.panels[1], "Running");
}

TEST_F(MainRoad, ASendThatNeverReachedTheModemIsNoRefusal) {
    startEngine("Direction = 2, DSR = 0");
    clock::FakeClock fake;  // the silent modem's time-outs cost nothing
    auto scoped = std::make_unique<clock::ScopedClock>(fake);
    const auto id = queue(kLocal, "into the silence");
    sim->set("mute=1");
    engine.Timer1_Timer();  // the send times out, the reconnect too
    EXPECT_EQ(row(id)["SentStatus"], "P");
    EXPECT_EQ(row(id)["Lock"], "0");
    EXPECT_EQ(view.panels[1], "Waiting for modem");

    // A modem that answers and refuses is a refusal, as before. (The simulated modem
    // still waits for the text after its unanswered prompt; Esc ends that, as a real
    // modem's prompt times out.)
    scoped.reset();  // real time again: a real answer takes a moment
    sim->set("mute=0 refuse=1");
    std::ofstream(sim->ptyPath(), std::ios::binary) << "\x1b";
    engine.Timer1_Timer();  // brings the modem up
    engine.Timer1_Timer();
    EXPECT_EQ(row(id)["SentStatus"], "R") << engine.StatusText();
}

TEST_F(MainRoad, DatabaseFailureInAStepIsReportedAsOneAndLeavesTheModemAlone) {
    startEngine("Direction = 2, DSR = 0");
    queue(kLocal, "cannot be claimed");
    db.execute("CREATE TRIGGER Broken BEFORE UPDATE OF Lock ON Outbox BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
    engine.Timer1_Timer();
    EXPECT_NE(engine.StatusText().find(" Status : Database error: "), std::string::npos) << engine.StatusText();
    EXPECT_NE(engine.StatusText().find("disk I/O error"), std::string::npos);
    EXPECT_EQ(entries("Send fail! Reconnecting to modem ..."), 0u);
    EXPECT_EQ(view.panels[1], "Running");
    EXPECT_TRUE(sim->sent().empty());
}

TEST_F(MainRoad, ARowWithABlobInATextColumnDoesNotStallTheQueue) {
    startEngine();
    const auto blob = queue(kLocal, "placeholder");
    db.execute("UPDATE Outbox SET Message = X'48656C6C6F', Name = X'00FF' WHERE MsgID = ?", {static_cast<long long>(blob)});
    const auto next = queue("0161234567", "after it");
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_TRUE(engine.SendSMS0());
    EXPECT_EQ(row(blob)["SentStatus"], "S");
    EXPECT_EQ(row(next)["SentStatus"], "S");
    ASSERT_EQ(sim->sent().size(), 2u);
    EXPECT_EQ(sim->sent()[0].text, "Hello");
}

// A delivery report is off the modem once read: until the Outbox has it, it is kept on
// disk, applied first by the next report step (also after a restart), and once only.
TEST_F(MainRoad, ReportTheDatabaseRefusedIsAppliedOnceLater) {
    startEngine("Direction = 2, DSR = 1");
    const auto first = queue(kLocal, "report me later");
    db.execute("CREATE TRIGGER Held BEFORE UPDATE OF DeliveryStatus ON Outbox "
               "BEGIN SELECT RAISE(ABORT, 'database is locked'); END");
    engine.Timer1_Timer();  // sent; its report read while the database refuses it
    ASSERT_EQ(row(first)["SentStatus"], "S");
    EXPECT_EQ(row(first)["DeliveryStatus"], "<null>");
    EXPECT_EQ(sim->count("sr"), 0);
    const auto pending = EnginePath(kReportPendingName);
    ASSERT_EQ(ReportSpool(pending).Load().size(), 1u);
    EXPECT_EQ(std::filesystem::status(pending).permissions(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    // While the database refuses, later reports stay in the modem.
    const auto second = queue("0161234567", "and me");
    ASSERT_TRUE(engine.SendSMS0());
    engine.GetDeliveryStatusReport();
    EXPECT_EQ(sim->count("sr"), 1);

    // The engine ends and runs again: the kept report goes first, then the modem's.
    db.execute("DROP TRIGGER Held");
    HeadlessView otherView;
    Engine restarted(otherView);
    restarted.objSMS = std::move(engine.objSMS);
    restarted.GetDeliveryStatusReport();
    EXPECT_EQ(row(first)["DeliveryStatus"], "D");
    EXPECT_EQ(row(second)["DeliveryStatus"], "D");
    EXPECT_EQ(sim->count("sr"), 0);
    EXPECT_FALSE(std::filesystem::exists(pending));

    // Ended after the write but before the file let go of it: applied again, nothing changes.
    auto before = row(first);
    const auto held = HeldReport{before["MsgRef"], "+" + kIntl, "26/12/08 10:00:00", "F"};
    ReportSpool(pending).Save({held});
    restarted.GetDeliveryStatusReport();
    EXPECT_EQ(row(first), before);
    EXPECT_FALSE(std::filesystem::exists(pending));
    EXPECT_EQ(errorLog().find("Unable to update record"), std::string::npos) << errorLog();
}

// Rows that no writer of the console makes (scripts, peers, old databases): one that
// cannot become a message ends "F" with its reason in the error log, without reaching
// the modem, and the rows behind it go out. Numbers are sent as digits, whatever
// blanks and "-" they were written with.
TEST_F(MainRoad, RowsThatCannotBeSentEndFailedAndTheQueueGoesOn) {
    startEngine("Direction = 2, DSR = 0");
    struct Bad {
        const char* mobile;  // nullptr: NULL
        const char* text;
        int type;  // -1: NULL
        const char* reason;
    };
    const Bad bad[] = {
        {"0123456789", "", 1, "the message is empty"},
        {"0123456789", nullptr, 1, "the message is empty"},
        {"0123456789", nullptr, 0, "the message is empty"},
        {nullptr, "no number", 1, "the number is empty"},
        {" - - ", "blanks only", 1, "the number is empty"},
        {"01234S6789", "a letter", 1, "the number is not digits"},
    };
    std::vector<std::int64_t> badIds;
    for (const auto& b : bad) {
        const auto id = queue("0", "x", 1, "bad" + std::to_string(badIds.size()));
        db.execute("UPDATE Outbox SET Mobile = ?, Message = ?, MsgType = ? WHERE MsgID = ?",
                   {b.mobile ? db::Value(b.mobile) : db::Value(), b.text ? db::Value(b.text) : db::Value(),
                    b.type < 0 ? db::Value() : db::Value(b.type), static_cast<long long>(id)});
        badIds.push_back(id);
    }
    const auto spaced = queue("012 345 6789", "spaced");
    const auto mixed = queue(" 016-123\t4567 ", "mixed", 0);
    const auto untyped = queue("+60171234567", "no type");
    db.execute("UPDATE Outbox SET MsgType = NULL WHERE MsgID = ?", {static_cast<long long>(untyped)});

    for (int pass = 0; pass < 12; ++pass) ASSERT_TRUE(engine.SendSMS0()) << engine.StatusText();
    const std::string log = errorLog();
    for (std::size_t i = 0; i < badIds.size(); ++i) {
        auto r = row(badIds[i]);
        EXPECT_EQ(r["SentStatus"], "F") << i;
        EXPECT_EQ(r["Lock"], "0") << i;
        EXPECT_NE(log.find("MsgID:" + std::to_string(badIds[i]) + "\r\n"), std::string::npos) << i << log;
        EXPECT_NE(log.find(std::string("Reason:") + bad[i].reason), std::string::npos) << i;
    }
    EXPECT_EQ(engine.FailCount, static_cast<std::int16_t>(badIds.size()));
    for (auto id : {spaced, mixed, untyped}) EXPECT_EQ(row(id)["SentStatus"], "S") << id;
    const auto sent = sim->sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].number, "60123456789");
    EXPECT_EQ(sent[1].number, "60161234567");
    EXPECT_EQ(sent[2].number, "60171234567");
}
