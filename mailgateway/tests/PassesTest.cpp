// The passes against the scripted modem and the in-memory mail server.
#include "mailgateway/tests/Fakes.h"

#include "mailgateway/SeenList.h"
#include "platform/text/Text.h"

#include <gtest/gtest.h>

#include <set>

using namespace gatewaytest;

namespace {

FetchedEmail Email(const std::string& subject, const std::string& body, const std::string& from = "ali@example.com") {
    return {subject, body, "Ali <" + from + ">", from, "2026-12-08 10:00:00"};
}

std::vector<std::string> Numbers(const FakeModem& m) {
    std::vector<std::string> out;
    for (const auto& s : m.sent) out.push_back(s.number);
    return out;
}

std::vector<std::string> Subjects(const FakeMail& mail) {
    std::vector<std::string> out;
    for (const auto& d : mail.delivered) out.push_back(d.Subject);
    return out;
}

// The seen list as saved; the rig's mailbox is pop.example.com, port 110, no user.
const std::string kBox = "pop.example.com:110:";
SeenList Saved(FakeMail& mail) {
    SeenList list;
    list.Merge(mail.files[EmailtoSMS::SeenListPath()], "(older form)", SeenList::Today());
    return list;
}

}  // namespace

TEST(GatewayRecipients, RulesInOrderEachEmailStartingWithNoNumbers) {
    struct Case {
        const char* name;
        std::string recipient, line1, subjectMN, subject, body;
        std::vector<std::string> numbers;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"fixed list", "012-345 6789, 0198765432", "0", "0", "s", "Hello", {"0123456789", "0198765432"}, "Hello"},
        {"first line", "", "1", "0", "s", "0123456789,0198765432\nMeet at 3\nBye", {"0123456789", "0198765432"},
         "Meet at 3\nBye"},
        {"brackets", "", "1", "0", "s", "Call (012-345 6789, 019 876-5432) now\nMeet at 3",
         {"0123456789", "0198765432"}, "Meet at 3"},
        {"brackets in the text after the first line", "", "1", "0", "s",
         "0123456789\nCall (03) 5555 1234 (office)\nBye", {"0123456789"}, "Call (03) 5555 1234 (office)\nBye"},
        {"brackets closing on a later line", "", "1", "0", "s", "(0123456789,\n0198765432)\nHi",
         {"0123456789", "0198765432"}, "Hi"},
        {"brackets after a blank first line", "", "1", "0", "s", "\n (0123456789)\nHi (soon)", {"0123456789"},
         "Hi (soon)"},
        {"subject", "", "0", "1", "  0171234567 ", "Body", {"0171234567"}, "Body"},
        {"subject replaces line 1", "0111", "1", "1", "0122", "0133\nBody", {"0122"}, "Body"},
        {"( without ) keeps the fixed list", "0111", "1", "0", "s", "(0122\nBody", {"0111"}, "(0122\nBody"},
        {"no line break", "", "1", "0", "s", "0122", {}, "0122"},
        {"nothing set", "", "0", "0", "s", "Body", {}, "Body"},
    };
    Rig rig;
    for (const auto& c : cases) {
        auto& e = Setting::Loaded.EMail;
        e.Recipient = c.recipient;
        e.Line1 = c.line1;
        e.Subject_MN = c.subjectMN;
        // The numbers of the previous e-mail never carry over.
        EmailtoSMS::arrayRecipientMN = {"0999999999"};
        rig.mail.mailbox.clear();
        rig.mail.add(std::string("id-") + c.name, Email(c.subject, c.body));
        rig.Modem().sent.clear();
        EmailtoSMS::ConnectMailServer();
        EXPECT_EQ(Numbers(*rig.modem), c.numbers) << c.name;
        for (const auto& s : rig.modem->sent) EXPECT_EQ(s.text, c.text) << c.name;
    }
    EXPECT_NE(rig.Log().find("CheckRecipientSetting() - sListofRecipient inside the bracket: 012-345 6789, 019 876-5432"),
              std::string::npos);
    EXPECT_NE(rig.Log().find("CleanMobileNumbers: 0123456789,0198765432"), std::string::npos);
    EXPECT_NE(rig.Log().find("Error Location: Module.EmailtoSMS.CheckRecipientSetting() Parlix-Email"),
              std::string::npos);
    // The log holds e-mail bodies and numbers: its owner's alone.
    EXPECT_EQ(std::filesystem::status(rig.folder() / LogFileName(parlix::clock::now())).permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(GatewayRecipients, BadEntriesAreReportedNotSentAndNeverReachTheModem) {
    Rig rig;
    Setting::Loaded.EMail.Line1 = "1";
    Setting::Loaded.Notification.CC = "boss@example.com";
    rig.mail.add("a", Email("Plan", "0111,,01x2,+60133\nHi"));
    rig.mail.add("b", Email("Nothing", "no numbers here\nHi", ""));
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(Numbers(rig.Modem()), (std::vector<std::string>{"0111", "+60133"}));
    EXPECT_EQ(Subjects(rig.mail), (std::vector<std::string>{
                                      "SMS was sent to 0111 (Plan)", "SMS was NOT sent to  (Plan)",
                                      "SMS was NOT sent to 01x2 (Plan)", "SMS was sent to +60133 (Plan)",
                                      "SMS was NOT sent to nonumbershere (Nothing)"}));
    // Each status e-mail goes to the sender and the CC, the lists cleared after each send;
    // a sender without an address gets none, the CC still does.
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rig.mail.delivered[i].To, std::vector<std::string>{"ali@example.com"});
        EXPECT_EQ(rig.mail.delivered[i].CC, std::vector<std::string>{"boss@example.com"});
        EXPECT_EQ(rig.mail.delivered[i].From, "gateway@example.com");
    }
    EXPECT_TRUE(rig.mail.delivered[4].To.empty());
    EXPECT_EQ(rig.mail.delivered[0].Body.substr(0, 17), "SMS was sent on: ");
    EXPECT_EQ(rig.mail.delivered[1].Body, "Content of SMS: \nHi");
}

TEST(GatewayEmailToSms, TextIsComposedFromTheTickedParts) {
    Rig rig;
    auto& e = Setting::Loaded.EMail;
    e.Line1 = "0";
    e.Recipient = "0111";
    e.Sender = e.Date = e.Subject = "1";
    rig.mail.add("a", Email("Subj", "Body"));
    EmailtoSMS::ConnectMailServer();
    ASSERT_EQ(rig.Modem().sent.size(), 1u);
    EXPECT_EQ(rig.modem->sent[0].text, "\nAli <ali@example.com>\n2026-12-08 10:00:00\nSubj\nBody");
    EXPECT_NE(rig.form.txtLog().find("has been successfully send to 0111 as SMS!"), std::string::npos);
}

TEST(GatewayEmailToSms, EveryEmailOfAFetchIsSentOnceAndMarkedSeenWhenHandled) {
    Rig rig;
    Setting::Loaded.EMail.Recipient = "0111";
    Setting::Loaded.EMail.Line1 = "0";
    rig.mail.add("old", Email("old", "seen before"));
    rig.mail.files[EmailtoSMS::SeenListPath()] = {"old"};
    for (const char* id : {"m1", "m2", "m3"}) rig.mail.add(id, Email(id, std::string("text ") + id));

    EmailtoSMS::ConnectMailServer();
    ASSERT_EQ(rig.Modem().sent.size(), 3u);
    EXPECT_EQ(rig.modem->sent[2].text, "text m3");
    for (const char* id : {"old", "m1", "m2", "m3"}) EXPECT_TRUE(Saved(rig.mail).Contains(kBox, id)) << id;
    EXPECT_EQ(Saved(rig.mail).Count(kBox), 4u);
    EXPECT_EQ(rig.mail.saveCalls, 3);  // saved as each e-mail was handled

    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(rig.modem->sent.size(), 3u);
    EXPECT_NE(rig.form.txtLog().find("There no new e-mails in the inbox."), std::string::npos);

    // An e-mail deleted on the server between the listing and the fetch: the others are
    // still matched with their own identifiers.
    rig.mail.add("gone", Email("gone", "text gone"));
    rig.mail.add("m3b", Email("m3b", "text m3b"));
    rig.mail.vanished = {"gone"};
    EmailtoSMS::ConnectMailServer();
    ASSERT_EQ(rig.modem->sent.size(), 4u);
    EXPECT_EQ(rig.modem->sent[3].text, "text m3b");
    EXPECT_TRUE(Saved(rig.mail).Contains(kBox, "m3b"));
    rig.mail.vanished.clear();
    rig.mail.mailbox.erase(rig.mail.mailbox.end() - 2);

    // A seen list that cannot be written: logged, and still nothing goes out twice in this run.
    rig.mail.listUnwritable = true;
    rig.mail.add("m4", Email("m4", "text m4"));
    EmailtoSMS::ConnectMailServer();
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(rig.modem->sent.size(), 5u);
    EXPECT_NE(rig.Log().find("cannot be written: permission denied"), std::string::npos);

    // One that cannot be read: nothing is sent at all until it can.
    rig.mail.listUnreadable = true;
    EmailtoSMS::Reset();
    rig.mail.add("m5", Email("m5", "text m5"));
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(rig.modem->sent.size(), 5u);
    EXPECT_NE(rig.Log().find("cannot be read (not a list); no e-mail is sent until it can."), std::string::npos);
}

TEST(GatewayEmailToSms, SeenEmailsAreKeptPerMailboxAndForgottenOnlyAfterThirtyDaysUnlisted) {
    Rig rig;
    Setting::Loaded.EMail.Recipient = "0111";
    Setting::Loaded.EMail.Line1 = "0";
    // A list saved in the older form: identifiers only, of the mailbox read now.
    rig.mail.files[EmailtoSMS::SeenListPath()] = {"old"};
    const std::vector<FakeMail::Stored> boxA = {{"old", Email("a", "old")}, {"a1", Email("a", "a1")}};
    const std::vector<FakeMail::Stored> boxB = {{"old", Email("b", "same id elsewhere")}, {"b1", Email("b", "b1")}};
    const auto pass = [&](const std::string& server, const std::string& user,
                          const std::vector<FakeMail::Stored>& box) {
        Setting::Loaded.EMail.Server = server;
        Setting::Loaded.EMail.UserName = user;
        rig.mail.mailbox = box;
        rig.Modem().sent.clear();
        EmailtoSMS::ConnectMailServer();
        std::vector<std::string> texts;
        for (const auto& s : rig.modem->sent) texts.push_back(s.text);
        return texts;
    };
    const auto day = [&](int days) { rig.clock_.advance(std::chrono::hours(24 * days)); };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(pass("pop.example.com", "", boxA), Texts{"a1"});
    // Another server, then the same server with another user: each its own mailbox.
    EXPECT_EQ(pass("pop.other.com", "", boxB), (Texts{"same id elsewhere", "b1"}));
    EXPECT_EQ(pass("pop.example.com", "ali", boxB), (Texts{"same id elsewhere", "b1"}));
    // Back to the first, also after a restart and after a day it listed nothing.
    EmailtoSMS::Reset();
    EXPECT_EQ(pass("pop.example.com", "", {}), Texts{});
    day(29);
    EXPECT_EQ(pass("pop.example.com", "", boxA), Texts{});
    // Not listed for 30 days: still known. For 31: forgotten.
    EXPECT_EQ(pass("pop.example.com", "", {boxA[1]}), Texts{});
    day(30);
    EXPECT_EQ(pass("pop.example.com", "", {boxA[1]}), Texts{});
    EXPECT_TRUE(Saved(rig.mail).Contains(kBox, "old"));
    day(1);
    EXPECT_EQ(pass("pop.example.com", "", {boxA[1]}), Texts{});
    EXPECT_FALSE(Saved(rig.mail).Contains(kBox, "old"));
    EmailtoSMS::Reset();
    EXPECT_EQ(pass("pop.example.com", "", boxA), Texts{"old"});
    // The other mailboxes were not read meanwhile: nothing of theirs was forgotten.
    EXPECT_EQ(pass("pop.other.com", "", boxB), Texts{});
}

TEST(GatewayEmailToSms, AFullMailboxIsFetchedInBatchesAndOneBadEmailHoldsUpNoOther) {
    Rig rig;
    Setting::Loaded.EMail.Recipient = "0111";
    Setting::Loaded.EMail.Line1 = "0";
    for (int i = 0; i < 120; ++i) rig.mail.add("n" + std::to_string(i), Email("s", "text " + std::to_string(i)));
    // The server breaks off whenever this e-mail is retrieved.
    rig.mail.broken = {"n60"};
    EmailtoSMS::ConnectMailServer();
    EXPECT_LE(rig.mail.largestFetch, 50u);
    EXPECT_EQ(rig.Modem().sent.size(), 119u);
    EXPECT_EQ(Saved(rig.mail).Count(kBox), 119u);
    EXPECT_NE(rig.Log().find("The e-mail \"n60\" could not be fetched; it is tried again at the next pass: the server "
                             "closed the connection"),
              std::string::npos);

    // It goes out once the server delivers it; nothing else is sent again.
    rig.mail.broken.clear();
    EmailtoSMS::ConnectMailServer();
    ASSERT_EQ(rig.modem->sent.size(), 120u);
    EXPECT_EQ(rig.modem->sent.back().text, "text 60");
    std::set<std::string> texts;
    for (const auto& s : rig.modem->sent) texts.insert(s.text);
    EXPECT_EQ(texts.size(), 120u);

    // A server that breaks off on everything is given up after two single tries.
    rig.mail.add("x1", Email("s", "x1"));
    rig.mail.add("x2", Email("s", "x2"));
    rig.mail.add("x3", Email("s", "x3"));
    rig.mail.broken = {"x1", "x2", "x3"};
    rig.mail.fetchCalls = 0;
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(rig.mail.fetchCalls, 3);
    EXPECT_EQ(rig.modem->sent.size(), 120u);
}

TEST(GatewayEmailToSms, TheStatusSaysWhatDidNotReachTheHandsetAndNothingEmptyIsSent) {
    struct Case {
        std::string body;
        std::vector<std::string> sent;  // what the modem was given
        std::string subject, note;      // the note the status e-mail adds ("" = none)
    };
    const std::vector<Case> cases = {
        {"Price 5\xE2\x82\xAC [ok] caf\xC3\xA9", {"Price 5\xE2\x82\xAC [ok] caf\xC3\xA9"}, "SMS was sent to 0111 (s)", ""},
        {"\xE6\x97\xA5\xE6\x9C\xAC and \xD0\x96\xE6\x97\xA5 \xF0\x9F\x98\x80\t!",
         {"?? and ?? ?" "?!"},
         "SMS was sent to 0111 (s)",
         "These characters cannot be sent as SMS and reach the handset as \"?\": \xE6\x97\xA5 \xE6\x9C\xAC "
         "\xD0\x96 \xF0\x9F\x98\x80 U+0009"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \r\n", {}, "SMS was NOT sent to 0111 (s)",
         "The SMS was NOT sent: none of its characters can be sent as SMS (the modem sends the GSM alphabet only): "
         "\xE6\x97\xA5 \xE6\x9C\xAC \xE8\xAA\x9E"},
        {" \r\n\r\n \n", {}, "SMS was NOT sent to 0111 (s)", "The SMS was NOT sent: the e-mail holds no text to send."},
        {"", {}, "SMS was NOT sent to 0111 (s)", "The SMS was NOT sent: the e-mail holds no text to send."},
    };
    Rig rig;
    Setting::Loaded.EMail.Line1 = "0";
    Setting::Loaded.EMail.Recipient = "0111";
    int n = 0;
    for (const auto& c : cases) {
        rig.mail.mailbox.clear();
        rig.mail.delivered.clear();
        rig.mail.add("c" + std::to_string(++n), Email("s", c.body));
        rig.Modem().sent.clear();
        EmailtoSMS::ConnectMailServer();
        std::vector<std::string> sent;
        for (const auto& s : rig.modem->sent) sent.push_back(s.text);
        EXPECT_EQ(sent, c.sent) << n;
        ASSERT_EQ(rig.mail.delivered.size(), 1u) << n;
        EXPECT_EQ(rig.mail.delivered[0].Subject, c.subject) << n;
        const std::string& body = rig.mail.delivered[0].Body;
        if (c.note.empty())
            EXPECT_EQ(body.find("\n\n"), std::string::npos) << n << body;
        else
            EXPECT_EQ(body.substr(body.size() - c.note.size()), c.note) << n;
    }
}

TEST(GatewayEmailToSms, OwnReportsComingBackAreNotSentAgain) {
    Rig rig;
    Setting::Loaded.EMail.Recipient = "0111";
    Setting::Loaded.EMail.Line1 = "0";
    rig.mail.add("r1", Email("SMS was sent to 0111 (Hi)", "SMS was sent on: ...", "Gateway@Example.com"));
    rig.mail.add("r2", Email("Incoming SMS received. Sender: +6012", "Content", "gateway@example.com"));
    rig.mail.add("r3", Email("SMS was sent to 0111 (Hi)", "A person's own words", "someone@example.com"));
    EmailtoSMS::ConnectMailServer();
    ASSERT_EQ(rig.Modem().sent.size(), 1u);
    EXPECT_EQ(rig.modem->sent[0].text, "A person's own words");
    EXPECT_EQ(rig.mail.delivered.size(), 1u);
    EXPECT_EQ(Saved(rig.mail).Count(kBox), 3u);
}

TEST(GatewayEmailToSms, FailedBringUpReportsThisEmailsOwnNumbers) {
    Rig rig;
    Setting::Loaded.EMail.Line1 = "1";
    rig.modemTemplate.connected = false;
    rig.modemTemplate.initResult = ModemStatus::PINWrong;
    rig.mail.add("a", Email("First", "0111,0122\nHi"));
    rig.mail.add("b", Email("Second", "0133\nHi"));
    EmailtoSMS::ConnectMailServer();
    EXPECT_TRUE(rig.Modem().sent.empty());
    EXPECT_EQ(rig.modem->initPorts, (std::vector<int>{1, 1}));
    EXPECT_EQ(Subjects(rig.mail),
              (std::vector<std::string>{"SMS was NOT sent to 0111,0122 (First)", "SMS was NOT sent to 0133 (Second)"}));
    EXPECT_NE(rig.form.txtLog().find("Incorrect PIN entered! Warning: after 3 tries"), std::string::npos);
    // The e-mails still count as handled.
    EXPECT_EQ(Saved(rig.mail).Count(kBox), 2u);
}

TEST(GatewayLongSms, PiecesCoverTheWholeTextAndFitOneMessage) {
    const auto text = [](std::size_t n) {
        std::string t;
        for (std::size_t i = 0; i < n; ++i) t += static_cast<char>('a' + i % 26);
        return t;
    };
    const auto joined = [](const LongSMS::Plan& p) {
        std::string all;
        for (std::size_t i = 0; i < p.texts.size(); ++i) {
            const std::string suffix = std::to_string(i + 1) + "/" + std::to_string(p.total);
            EXPECT_EQ(p.texts[i].substr(p.texts[i].size() - suffix.size()), suffix);
            EXPECT_LE(parlix::text::lengthUtf16(p.texts[i]), 160u);
            all += p.texts[i].substr(0, p.texts[i].size() - suffix.size());
        }
        return all;
    };
    for (std::size_t n : {161u, 314u, 315u, 318u, 320u, 471u, 1413u, 1414u, 1600u, 3000u}) {
        const auto plan = LongSMS::PlanPieces(text(n), 99);
        EXPECT_EQ(joined(plan), text(n)) << n;
    }
    EXPECT_EQ(LongSMS::PlanPieces(text(161), 2).texts,
              (std::vector<std::string>{text(157) + "1/2", text(161).substr(157) + "2/2"}));
    EXPECT_EQ(LongSMS::PlanPieces(text(318), 9).total, 3);
    const auto limited = LongSMS::PlanPieces(text(400), 1);
    EXPECT_EQ(limited.texts, std::vector<std::string>{text(157) + "1/3"});
    EXPECT_EQ(LongSMS::PlanPieces(text(1600), 99).total, 11);  // two-digit count: 155 a piece

    // A character made of two UTF-16 units is never cut in half.
    std::string emoji;
    for (int i = 0; i < 100; ++i) emoji += "\xF0\x9F\x98\x80";
    for (const auto& piece : LongSMS::PlanPieces(emoji, 9).texts)
        EXPECT_EQ(parlix::text::toUtf8(parlix::text::toUtf16(piece)), piece);
}

TEST(GatewayLongSms, PiecesCountSeptetsAndNeverSplitAnEscapePair) {
    // One extension character (two septets) at every place around the first two
    // piece boundaries, each of them in turn.
    for (const std::string ext : {"[", "]", "{", "}", "~", "|", "^", "\\", "\xE2\x82\xAC"}) {
        for (std::size_t at = 150; at < 320; at += (at == 162 ? 145 : 1)) {
            std::string text(at, 'a');
            text += ext + std::string(400 - at, 'b');
            const auto plan = LongSMS::PlanPieces(text, 9);
            std::string joined;
            for (const auto& piece : plan.texts) {
                EXPECT_LE(LongSMS::Septets(piece), 160u) << ext << " at " << at;
                joined += piece.substr(0, piece.size() - 3);
            }
            EXPECT_EQ(joined, text) << ext << " at " << at;
        }
    }
    std::string ext(160, '[');
    EXPECT_EQ(LongSMS::Septets(ext.substr(0, 80)), 160u);
    EXPECT_EQ(LongSMS::PlanPieces(ext, 9).texts[0], ext.substr(0, 78) + "1/3");
}

TEST(GatewayLongSms, APieceThatStillFailsMakesTheStatusSayWhichDidNotGo) {
    Rig rig;
    Setting::Loaded.EMail.Line1 = "0";
    Setting::Loaded.EMail.Recipient = "0111,0122";
    Setting::Loaded.EMail.Limit = "9";
    rig.modemTemplate.sendResults = {true, false, false};  // 0111: piece 2 fails twice
    rig.mail.add("long", Email("Long", std::string(400, 'x')));
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(Subjects(rig.mail),
              (std::vector<std::string>{"SMS was NOT sent to 0111 (Long)", "SMS was sent to 0122 (Long)"}));
    EXPECT_NE(rig.mail.delivered[0].Body.find("These parts of the SMS were NOT sent: 2/3, 3/3"), std::string::npos)
        << rig.mail.delivered[0].Body;
    EXPECT_EQ(rig.mail.delivered[1].Body.find("NOT"), std::string::npos);
}

TEST(GatewayLongSms, OneRetryPerTextWithResetAndBringUpWhileConnected) {
    Rig rig;
    const std::string text(400, 'x');
    FakeModem& m = rig.Modem();
    m.sendResults = {true, false, true, false};  // piece 2 fails once, then piece 3 fails: the end
    EXPECT_TRUE(LongSMS::SendLongSMS(9, text, "0111"));
    EXPECT_EQ(m.sent.size(), 4u);
    EXPECT_EQ(m.resets, 2);
    EXPECT_EQ(m.initPorts.size(), 2u);  // text mode back after each factory reset
    const std::string box = rig.form.txtLog();
    EXPECT_NE(box.find(": Fail to send \r\n" + std::string(157, 'x') + "2/3\r\nto 0111 as SMS!"), std::string::npos);
    EXPECT_NE(box.find("Retry sending :1"), std::string::npos);
    EXPECT_NE(box.find("Retry sending :2"), std::string::npos);

    // A limit that is no number counts as 1, with an error entry.
    m.sent.clear();
    Setting::Loaded.EMail.Limit = "nine";
    Setting::Loaded.EMail.Line1 = "0";
    Setting::Loaded.EMail.Recipient = "0111";
    rig.mail.add("long", {"Long", text, "a@example.com", "a@example.com", ""});
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(m.sent.size(), 1u);
    EXPECT_NE(rig.Log().find("The limit of parts \"nine\" in Setting.INI is not a number from 1 to 9; 1 is used"),
              std::string::npos);

    // The reset fails: the send ends at once.
    m.sent.clear();
    m.sendResults = {false};
    m.resetResult = false;
    EXPECT_FALSE(LongSMS::SendLongSMS(9, text, "0111"));
    EXPECT_EQ(m.sent.size(), 1u);
    EXPECT_NE(rig.form.txtLog().find("Unable to reset modem!"), std::string::npos);

    // Over the limit: first pieces only, no reset, the other family's texts.
    m.sent.clear();
    m.connected = false;
    m.sendResults = {false, true};
    const int resets = m.resets;
    EXPECT_TRUE(LongSMS::SendLongSMS(1, text, "0111"));
    EXPECT_EQ(m.sent.size(), 2u);
    EXPECT_EQ(m.sent[1].text, std::string(157, 'x') + "1/3");
    EXPECT_EQ(m.resets, resets);
    EXPECT_NE(rig.form.txtLog().find("There is no connection with GSM network!"), std::string::npos);
    EXPECT_NE(rig.form.txtLog().find("retry sending :1"), std::string::npos);
}

TEST(GatewaySmsToEmail, ReceivedSmsIsKeptUntilItsForwardIsAccepted) {
    Rig rig;
    rig.Modem().inbox.push_back({"+60123456789", "Hello\r\nBcc: evil@example.com", "26/12/08 10:00:00"});
    rig.mail.smtpDown = true;
    SMStoEmail::PollIncomingSMS();
    EXPECT_TRUE(rig.mail.delivered.empty());
    EXPECT_NE(rig.form.txtLog().find("E-mail sending error!"), std::string::npos);
    ASSERT_EQ(SMStoEmail::Pending().size(), 1u);

    // A restart reads the waiting SMS back from the program folder.
    SMStoEmail::Reset();
    rig.mail.smtpDown = false;
    SMStoEmail::PollIncomingSMS();
    ASSERT_EQ(rig.mail.delivered.size(), 1u);
    const OutgoingEmail& fw = rig.mail.delivered[0];
    EXPECT_EQ(fw.Subject, "Incoming SMS received. Sender: +60123456789");
    EXPECT_EQ(fw.Body, "Date and time received: Date & Time: 26/12/08 10:00:00\nContent of SMS:- \n"
                       "Hello\r\nBcc: evil@example.com");
    EXPECT_EQ(fw.To, std::vector<std::string>{"office@example.com"});
    EXPECT_EQ(fw.From, "gateway@example.com");
    EXPECT_NE(rig.form.txtLog().find("Mail sent!"), std::string::npos);
    EXPECT_TRUE(SMStoEmail::Pending().empty());
    SMStoEmail::Reset();
    EXPECT_TRUE(SMStoEmail::Pending().empty());  // gone from the folder too

    // A modem that is down is brought up again; a port that is no number is logged.
    rig.modem->connected = false;
    rig.modem->initResult = ModemStatus::Fail;
    Setting::Loaded.GSM_Modem.Port = "COM1";
    SMStoEmail::PollIncomingSMS();
    EXPECT_NE(rig.form.txtLog().find("SMS Modem is dis-connected from GSM Network. Will begin reconnection ..."),
              std::string::npos);
    EXPECT_NE(rig.Log().find("The modem port \"COM1\" in Setting.INI is not a port number"), std::string::npos);
    EXPECT_FALSE(SMStoEmail::Busy);
}

TEST(GatewaySmsToEmail, AForwardTheServerRefusesHoldsUpNoOther) {
    Rig rig;
    rig.Modem().inbox.push_back({"+6011", "refused text", "26/12/08 10:00:00"});
    rig.modem->inbox.push_back({"+6022", "fine", "26/12/08 10:01:00"});
    rig.mail.refuse = [](const OutgoingEmail& e) { return e.Body.find("refused text") != std::string::npos; };
    SMStoEmail::PollIncomingSMS();
    SMStoEmail::PollIncomingSMS();
    ASSERT_EQ(rig.mail.delivered.size(), 1u);
    EXPECT_EQ(rig.mail.delivered[0].Subject, "Incoming SMS received. Sender: +6022");
    ASSERT_EQ(SMStoEmail::Pending().size(), 1u);
    EXPECT_EQ(SMStoEmail::Pending()[0].sender, "+6011");

    // A server that is down is tried twice a pass, however many SMS wait.
    rig.mail.refuse = nullptr;
    rig.mail.smtpDown = true;
    for (const char* n : {"+6033", "+6044", "+6055"}) {
        rig.modem->inbox.push_back({n, "later", "26/12/08 10:02:00"});
        SMStoEmail::PollIncomingSMS();
    }
    rig.mail.sendCalls = 0;
    SMStoEmail::PollIncomingSMS();
    EXPECT_EQ(rig.mail.sendCalls, 2);
    EXPECT_EQ(SMStoEmail::Pending().size(), 4u);

    // Back up: every waiting SMS goes, oldest first.
    rig.mail.smtpDown = false;
    SMStoEmail::PollIncomingSMS();
    EXPECT_TRUE(SMStoEmail::Pending().empty());
    ASSERT_EQ(rig.mail.delivered.size(), 5u);
    EXPECT_EQ(rig.mail.delivered[1].Subject, "Incoming SMS received. Sender: +6011");
    EXPECT_EQ(rig.mail.delivered[4].Subject, "Incoming SMS received. Sender: +6055");
}
