// The gateway's main road: real POP3 and SMTP servers (dovecot, aiosmtpd), the real
// mail layer, the text-mode modem library and the simulated modem on a pty.
#include "mailgateway/tests/Fakes.h"

#include "platform/mail/Mail.h"
#include "platform/mail/testing/MailServers.h"
#include "platform/serial/SerialPort.h"
#include "tools/modemsim/SimModem.h"

#include "modemapi/v5/SMS.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

using namespace gatewaytest;
namespace mt = parlix::mail::testing;

namespace {

constexpr int kPort = 3;

std::string Message(const std::string& from, const std::string& subject, const std::string& body,
                    const std::string& extraHeaders = "Content-Type: text/plain; charset=us-ascii\r\n") {
    return "From: " + from + "\r\nTo: gateway@example.com\r\nSubject: " + subject +
           "\r\nDate: Tue, 08 Dec 2026 10:00:00 +0800\r\nMessage-ID: <" + std::to_string(std::hash<std::string>{}(body)) +
           "@example.com>\r\nMIME-Version: 1.0\r\n" + extraHeaders + "\r\n" + body;
}

class GatewayEndToEnd : public ::testing::Test {
protected:
    explicit GatewayEndToEnd(mt::ServerOptions options = {}) : rig(true), servers(options) {
        sim.linkPort(rig.folder().string(), kPort);
        parlix::serial::setPortsFolder(rig.folder() / "ports");
        SetRealMailCaFile(servers.caFile());
        const std::string ini = SettingFilePath();
        const char* ssl = options.tls ? "1" : "0";
        EMailForm e;
        e.Server = "127.0.0.1";
        e.Port = std::to_string(servers.pop3().port());
        e.UN = servers.pop3().user();
        e.PW = servers.pop3().password();
        e.SSL = options.tls;
        e.Body = true;
        e.Limit = "9";
        SaveEMailForm(ini, e);
        SaveGSMModemForm(ini, {std::to_string(kPort), ""});
        SaveSMTPForm(ini, {"127.0.0.1", std::to_string(servers.smtp().port()), servers.smtp().user(),
                           servers.smtp().password(), "office@example.com", options.tls});
        WriteINI("SMTP_Setting", "SSL", ssl, ini);
        Setting::GetSettingFromIniFile();
    }
    ~GatewayEndToEnd() override {
        parlix::serial::setPortsFolder({});
        SetRealMailCaFile("");
    }

    // Changes settings the way the user does, then starts the service again.
    void Set(const char* key, const std::string& value) {
        WriteINI("EMail_Setting", key, value, SettingFilePath());
        Setting::GetSettingFromIniFile();
    }

    // Texts each number received, in order.
    std::map<std::string, std::vector<std::string>> Received() {
        std::map<std::string, std::vector<std::string>> byNumber;
        for (const auto& m : sim.sent()) byNumber[m.number].push_back(m.text);
        return byNumber;
    }
    // Subjects of the status e-mails each recipient got.
    std::map<std::string, std::multiset<std::string>> StatusMails() {
        std::map<std::string, std::multiset<std::string>> byRecipient;
        for (const auto& r : servers.smtp().received())
            for (const auto& to : r.rcptTo)
                byRecipient[to].insert(parlix::mail::MailMessage::parse(r.data).Subject());
        return byRecipient;
    }

    Rig rig;
    mt::MailServers servers;
    modemsim::SimModem sim;
};

class GatewayEndToEndTls : public GatewayEndToEnd {
protected:
    GatewayEndToEndTls() : GatewayEndToEnd({.tls = true}) {}
};

}  // namespace

TEST_F(GatewayEndToEnd, EmailsReachTheHandsetsOnceAndSendersLearnTheOutcome) {
    auto& pop = servers.pop3();
    const std::string long400 = [] {
        std::string t;
        for (int i = 0; i < 400; ++i) t += static_cast<char>('A' + i % 26);
        return t;
    }();

    // A fixed recipient list.
    Set("Recipient", "0111111111, 0122-222 222");
    pop.deliver(Message("Ali <a@example.com>", "Fixed", "Hello all\r\n"));
    EmailtoSMS::ConnectMailServer();

    // Numbers in the first line or in "(...)": three and more e-mails in one fetch.
    Set("Recipient", "");
    Set("Line1", "1");
    pop.deliver(Message("b@example.com", "First line", "0133333333,0144444444\r\nFirst line numbers\r\n"));
    pop.deliver(Message("c@example.com", "Brackets", "Call (013-3333 333, 0155 555 555) please\r\nBracket text\r\n"));
    pop.deliver(Message("d@example.com", "Alternative", "--b1\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n"
                                                        "0166666666\r\nAlt text\r\n--b1\r\nContent-Type: text/html; "
                                                        "charset=utf-8\r\n\r\n<p>0166666666</p><p>Alt html</p>\r\n--b1--\r\n",
                        "Content-Type: multipart/alternative; boundary=b1\r\n"));
    pop.deliver(Message("e@example.com", "=?UTF-8?B?Q2Fmw6k=?=", "0177777777\r\nCaf=C3=A9 na=C3=AFve\r\n",
                        "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n"));
    EmailtoSMS::ConnectMailServer();

    // Numbers in the subject.
    Set("Line1", "0");
    Set("Subject_MN", "1");
    pop.deliver(Message("f@example.com", " 0188888888 ", "Subject numbers\r\n"));
    EmailtoSMS::ConnectMailServer();

    // 400 characters with Limit 1, then with Limit 9.
    Set("Subject_MN", "0");
    Set("Line1", "1");
    Set("Limit", "1");
    pop.deliver(Message("g@example.com", "Long 1", "0199999999\r\n" + long400));
    EmailtoSMS::ConnectMailServer();
    Set("Limit", "9");
    pop.deliver(Message("h@example.com", "Long 9", "0100000000\r\n" + long400));
    EmailtoSMS::ConnectMailServer();

    const auto received = Received();
    const std::map<std::string, std::vector<std::string>> expected = {
        {"0111111111", {"Hello all\n"}},
        {"0122222222", {"Hello all\n"}},
        {"0133333333", {"First line numbers\n", "Bracket text\n"}},
        {"0144444444", {"First line numbers\n"}},
        {"0155555555", {"Bracket text\n"}},
        {"0166666666", {"Alt text"}},
        {"0177777777", {"Caf\xC3\xA9 na?ve\n"}},  // the GSM alphabet has no "\xC3\xAF"
        {"0188888888", {"Subject numbers\n"}},
        {"0199999999", {long400.substr(0, 157) + "1/3"}},
        {"0100000000", {long400.substr(0, 157) + "1/3", long400.substr(157, 157) + "2/3", long400.substr(314) + "\n3/3"}},
    };
    EXPECT_EQ(received, expected);

    ASSERT_TRUE(servers.smtp().waitForMessages(11));
    const auto status = StatusMails();
    EXPECT_EQ(status.at("a@example.com"),
              (std::multiset<std::string>{"SMS was sent to 0111111111 (Fixed)", "SMS was sent to 0122222222 (Fixed)"}));
    EXPECT_EQ(status.at("c@example.com"), (std::multiset<std::string>{"SMS was sent to 0133333333 (Brackets)",
                                                                      "SMS was sent to 0155555555 (Brackets)"}));
    EXPECT_EQ(status.at("e@example.com"), std::multiset<std::string>{"SMS was sent to 0177777777 (Caf\xC3\xA9)"});
    // Its status e-mail names what reached the handset as "?".
    for (const auto& r : servers.smtp().received()) {
        if (r.rcptTo != std::vector<std::string>{"e@example.com"}) continue;
        EXPECT_NE(parlix::mail::MailMessage::parse(r.data).Body().find(
                      "These characters cannot be sent as SMS and reach the handset as \"?\": \xC3\xAF"),
                  std::string::npos);
    }
    EXPECT_EQ(status.at("f@example.com"), std::multiset<std::string>{"SMS was sent to 0188888888 (0188888888)"});
    EXPECT_EQ(status.at("h@example.com"), std::multiset<std::string>{"SMS was sent to 0100000000 (Long 9)"});
    EXPECT_EQ(status.size(), 8u);
    for (const auto& r : servers.smtp().received()) EXPECT_EQ(r.login, servers.smtp().user());

    // Again: nothing is sent twice, also after a restart of the program.
    EmailtoSMS::Reset();
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(Received(), expected);
    EXPECT_NE(rig.form.txtLog().find("There no new e-mails in the inbox."), std::string::npos);
}

TEST_F(GatewayEndToEnd, ReceivedSmsReachesTheForwardAddressAlsoAfterTheServerWasDown) {
    sim.inject("+60123456789", "Meeting at 3pm\r\nBcc: evil@example.com");
    SMStoEmail::PollIncomingSMS();
    ASSERT_TRUE(servers.smtp().waitForMessages(1));
    auto got = servers.smtp().received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].rcptTo, std::vector<std::string>{"office@example.com"});
    const auto forward = parlix::mail::MailMessage::parse(got[0].data);
    EXPECT_EQ(forward.Subject(), "Incoming SMS received. Sender: +60123456789");
    EXPECT_NE(forward.Body().find("Date and time received: Date & Time: "), std::string::npos);
    EXPECT_NE(forward.Body().find("Content of SMS:- \nMeeting at 3pm"), std::string::npos) << forward.Body();
    // The SMS text stays in the body: it adds no header.
    const std::string headers = got[0].data.substr(0, got[0].data.find("\r\n\r\n"));
    EXPECT_EQ(headers.find("Bcc"), std::string::npos) << got[0].data;
    EXPECT_NE(forward.Body().find("Meeting at 3pm\nBcc: evil@example.com"), std::string::npos);

    // The SMTP server is down: the SMS waits in the program folder, also over a restart.
    servers.smtp().stop();
    sim.inject("+60198765432", "Are you there?");
    SMStoEmail::PollIncomingSMS();
    EXPECT_EQ(sim.count("sm"), 0);  // read and deleted from the SIM
    EXPECT_NE(rig.form.txtLog().find("E-mail sending error!"), std::string::npos);
    EXPECT_NE(rig.Log().find("The forward of an incoming SMS was not accepted: "), std::string::npos);
    SMStoEmail::Reset();

    mt::SmtpServer second;
    WriteINI("SMTP_Setting", "Port", std::to_string(second.port()), SettingFilePath());
    Setting::GetSettingFromIniFile();
    SMStoEmail::PollIncomingSMS();
    ASSERT_TRUE(second.waitForMessages(1));
    EXPECT_EQ(parlix::mail::MailMessage::parse(second.received()[0].data).Subject(),
              "Incoming SMS received. Sender: +60198765432");
    EXPECT_TRUE(SMStoEmail::Pending().empty());
}

TEST_F(GatewayEndToEnd, BadInputIsReportedAndThePassGoesOn) {
    auto& pop = servers.pop3();
    Set("Line1", "1");
    pop.deliver(Message("a@example.com", "No body", ""));
    pop.deliver(Message("b@example.com", "No bracket end", "(0111111111\r\ntext\r\n"));
    pop.deliver(Message("c@example.com", "Ctrl-Z", "0122222222\r\nbad \x1a text\r\n"));
    pop.deliver(Message("d@example.com", "Letters", "01x3,,0144444444\r\nfine\r\n"));
    pop.deliver(Message("e@example.com", "Big", "0155555555\r\n" + std::string(1 << 20, 'x') + "\r\n"));
    pop.deliver(Message("not an address", "Bad sender", "0166666666\r\nfrom nobody\r\n"));
    EmailtoSMS::ConnectMailServer();

    const auto received = Received();
    EXPECT_EQ(received.count("0111111111"), 0u);
    EXPECT_EQ(received.count("0122222222"), 0u);  // the library refuses Ctrl-Z
    EXPECT_EQ(received.at("0144444444"), std::vector<std::string>{"fine\n"});
    EXPECT_EQ(received.at("0155555555").size(), 9u);  // the first 9 pieces of a 1 MB text
    EXPECT_EQ(received.at("0166666666"), std::vector<std::string>{"from nobody\n"});
    const auto status = StatusMails();
    EXPECT_EQ(status.at("a@example.com"), std::multiset<std::string>{"SMS was NOT sent to  (No body)"});
    EXPECT_EQ(status.at("b@example.com"), std::multiset<std::string>{"SMS was NOT sent to  (No bracket end)"});
    EXPECT_EQ(status.at("c@example.com"), std::multiset<std::string>{"SMS was NOT sent to 0122222222 (Ctrl-Z)"});
    EXPECT_EQ(status.at("d@example.com"),
              (std::multiset<std::string>{"SMS was NOT sent to 01x3 (Letters)", "SMS was NOT sent to  (Letters)",
                                          "SMS was sent to 0144444444 (Letters)"}));

    // A wrong password: a clear entry with the mail layer's reason; the service goes on.
    WriteINI("EMail_Setting", "Password", "wrong", SettingFilePath());
    Setting::GetSettingFromIniFile();
    EmailtoSMS::ConnectMailServer();
    EXPECT_NE(rig.Log().find("Notice -- IsNull(sa) = True"), std::string::npos);
    EXPECT_FALSE(EmailtoSMS::Busy);
    // The reason is in the activity box too, as one line.
    const std::string box = rig.form.txtLog();
    const auto reason = box.find("The mailbox cannot be read: POP3 server 127.0.0.1:");
    ASSERT_NE(reason, std::string::npos) << box;
    EXPECT_NE(box.substr(reason, box.find('\r', reason) - reason).find("Login denied"), std::string::npos) << box;

    // A server that breaks off in the middle of a message: logged, tried again next time.
    mt::CutOffServer cut(mt::CutOffServer::Protocol::Pop3);
    WriteINI("EMail_Setting", "Port", std::to_string(cut.port()), SettingFilePath());
    Setting::GetSettingFromIniFile();
    const auto before = sim.sent().size();
    EmailtoSMS::ConnectMailServer();
    EXPECT_NE(rig.Log().find("The new e-mails could not be fetched: "), std::string::npos) << rig.Log().substr(rig.Log().size() - 1500);
    EXPECT_EQ(sim.sent().size(), before);
}

TEST_F(GatewayEndToEndTls, MailboxAndStatusOverImplicitTls) {
    Set("Recipient", "0111111111");
    servers.pop3().deliver(Message("a@example.com", "Secure", "Over TLS\r\n"));
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(Received().at("0111111111"), std::vector<std::string>{"Over TLS\n"});
    ASSERT_TRUE(servers.smtp().waitForMessages(1));
    EXPECT_EQ(StatusMails().at("a@example.com"), std::multiset<std::string>{"SMS was sent to 0111111111 (Secure)"});

    // Without the test CA the server's certificate does not verify: nothing is read.
    SetRealMailCaFile("");
    servers.pop3().deliver(Message("b@example.com", "Untrusted", "Never sent\r\n"));
    EmailtoSMS::ConnectMailServer();
    EXPECT_EQ(Received().size(), 1u);
    EXPECT_NE(rig.Log().find("Notice -- IsNull(sa) = True"), std::string::npos);
    EXPECT_NE(rig.form.txtLog().find("the server's certificate cannot be trusted"), std::string::npos)
        << rig.form.txtLog();
}

namespace {

// The real modem library, stopped for good before send number `stopBefore`: the
// point where the test kills the program.
class StoppingModem : public GatewayModem {
public:
    StoppingModem(int stopBefore, std::string marker) : stopBefore_(stopBefore), marker_(std::move(marker)) {}
    ModemStatus ModemInit(int port, const std::string& pin) override { return sms_.ModemInit(port, pin); }
    bool ConnectToGSM() override { return sms_.ConnectToGSM(); }
    bool ReadSMS() override { return sms_.ReadSMS(); }
    std::string MN() const override { return sms_.MN(); }
    std::string MSG() const override { return sms_.MSG(); }
    std::string SCTS() const override { return sms_.SCTS(); }
    bool SendSMS(const std::string& number, const std::string& text) override {
        if (++sends_ == stopBefore_) {
            std::ofstream(marker_) << "stopped";
            for (;;) ::pause();
        }
        return sms_.SendSMS(number, text);
    }
    bool ModemReset() override { return sms_.ModemReset(); }
    bool ModemClose() override { return sms_.ModemClose(); }

private:
    QuentraSMSAPI5::SMS sms_;
    int stopBefore_, sends_ = 0;
    std::string marker_;
};

}  // namespace

// Runs one pass as a program of its own in the folder the parent names; killed from outside.
TEST(GatewayKilled, DISABLED_ChildPass) {
    const char* folder = std::getenv("PARLIX_GATEWAY_CHILD_FOLDER");
    const char* stop = std::getenv("PARLIX_GATEWAY_CHILD_STOP");
    ASSERT_TRUE(folder && stop);
    ProgramFolder = folder;
    parlix::serial::setPortsFolder(std::filesystem::path(folder) / "ports");
    Rig::View view;
    StatusCore form(&view);
    const std::string marker = std::string(folder) + "/stopped";
    SetModemFactory([&] { return std::make_unique<StoppingModem>(std::atoi(stop), marker); });
    Setting::GetSettingFromIniFile();
    EmailtoSMS::ConnectMailServer();
}

TEST_F(GatewayEndToEnd, AKillInTheMiddleOfAnEmailSendsEachPieceOnceAfterTheRestart) {
    Set("Line1", "1");
    const std::vector<std::string> numbers = {"0111111111", "0122222222", "0133333333"};
    // Three numbers, three pieces each: killed after the first piece, in the middle of
    // the second number, and before the last piece.
    for (const int killedAfter : {1, 4, 8}) {
        std::string text;
        for (int i = 0; i < 400; ++i) text += static_cast<char>('a' + (i + killedAfter) % 26);
        servers.pop3().deliver(Message("k" + std::to_string(killedAfter) + "@example.com", "Killed",
                                       "(" + numbers[0] + "," + numbers[1] + "," + numbers[2] + ")\r\n" + text));
        ReleaseModem();  // the port is the child's now
        const std::string marker = rig.folder().string() + "/stopped";
        std::filesystem::remove(marker);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::setenv("PARLIX_GATEWAY_CHILD_FOLDER", rig.folder().c_str(), 1);
            ::setenv("PARLIX_GATEWAY_CHILD_STOP", std::to_string(killedAfter + 1).c_str(), 1);
            ::execl("/proc/self/exe", "gateway-child", "--gtest_also_run_disabled_tests",
                    "--gtest_filter=GatewayKilled.DISABLED_ChildPass", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(std::filesystem::exists(marker)) << "the child never reached send " << killedAfter + 1;
        ASSERT_EQ(sim.sent().size() % 9, static_cast<std::size_t>(killedAfter));
        // What was sent is on the disk, for the owner's eyes only.
        EXPECT_EQ(std::filesystem::status(SendProgress::Path()).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        // The program starts again.
        EmailtoSMS::Reset();
        EmailtoSMS::ConnectMailServer();
        const auto received = Received();
        for (const auto& number : numbers) {
            std::vector<std::string> last(received.at(number).end() - 3, received.at(number).end());
            EXPECT_EQ(last, (std::vector<std::string>{text.substr(0, 157) + "1/3", text.substr(157, 157) + "2/3",
                                                      text.substr(314) + "\n3/3"}))
                << "killed after " << killedAfter << ", " << number;
        }
        EXPECT_EQ(sim.sent().size() % 9, 0u) << "killed after " << killedAfter;
        ASSERT_TRUE(servers.smtp().waitForMessages(3 * (1 + (killedAfter == 1 ? 0 : killedAfter == 4 ? 1 : 2))));
        std::multiset<std::string> expected;
        for (const auto& number : numbers) expected.insert("SMS was sent to " + number + " (Killed)");
        EXPECT_EQ(StatusMails()["k" + std::to_string(killedAfter) + "@example.com"], expected);
    }
    EXPECT_EQ(sim.sent().size(), 27u);
}

TEST_F(GatewayEndToEnd, MailWithoutAUsableBodyIsReadAsOtherMailProgramsReadIt) {
    const auto fixture = [](const std::string& name) {
        return ReadFile(std::filesystem::path(PARLIX_MAIL_MESSAGES) / name);
    };
    Set("Recipient", "0111111111");
    // One at a time: the handset's texts then come in a known order.
    for (const char* name : {"mail-no-header.eml", "mail-missing-separator.eml", "mail-no-subtype.eml"}) {
        servers.pop3().deliver(fixture(name));
        EmailtoSMS::ConnectMailServer();
    }
    // Only blank lines: no SMS, and the sender learns why.
    servers.pop3().deliver(Message("blank@example.com", "Blank", "\r\n \r\n\r\n"));
    EmailtoSMS::ConnectMailServer();
    const std::string plain = "Plain email.\n\nHope it works well!\n\nMikel\n";
    EXPECT_EQ(Received().at("0111111111"), (std::vector<std::string>{plain, plain, "foo bar\n"}));
    ASSERT_TRUE(servers.smtp().waitForMessages(2));
    EXPECT_EQ(StatusMails().at("blank@example.com"), std::multiset<std::string>{"SMS was NOT sent to 0111111111 (Blank)"});
    EXPECT_EQ(StatusMails().at("test@lindsaar.net"),
              std::multiset<std::string>{"SMS was sent to 0111111111 (Testing 123)"});
}

TEST_F(GatewayEndToEnd, PiecesAreSizedBySeptetsSoTheModemTakesEveryOne) {
    // Extension characters take two septets each: every piece boundary falls inside a
    // run of them, on both sides of a pair, and one sits just past a full piece.
    Set("Recipient", "0111111111");
    const std::string ext = "\xE2\x82\xAC[]{}~|^\\";
    std::string all;
    for (int i = 0; i < 40; ++i) all += ext;
    const std::vector<std::string> texts = {all, "a" + all, std::string(156, 'a') + "\xE2\x82\xAC" + std::string(20, 'b')};
    for (std::size_t i = 0; i < texts.size(); ++i)
        servers.pop3().deliver(Message("s" + std::to_string(i) + "@example.com", "Ext " + std::to_string(i),
                                       texts[i] + "\r\n", "Content-Type: text/plain; charset=utf-8\r\n"));
    EmailtoSMS::ConnectMailServer();
    ASSERT_TRUE(servers.smtp().waitForMessages(3));
    const auto status = StatusMails();
    const auto got = sim.sent();
    std::size_t at = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(status.at("s" + std::to_string(i) + "@example.com"),
                  std::multiset<std::string>{"SMS was sent to 0111111111 (Ext " + std::to_string(i) + ")"});
        // The pieces, their "i/N" taken off, join up to the whole text.
        std::string joined;
        for (; at < got.size(); ++at) {
            const std::string& piece = got[at].text;
            const auto slash = piece.rfind('/');
            ASSERT_NE(slash, std::string::npos) << piece;
            auto start = slash;
            while (start > 0 && std::isdigit(static_cast<unsigned char>(piece[start - 1]))) --start;
            joined += piece.substr(0, start);
            EXPECT_LE(got[at].length, 160);
            if (piece.substr(slash + 1) == piece.substr(start, slash - start)) {
                ++at;
                break;
            }
        }
        EXPECT_EQ(joined, texts[i] + "\n") << i;
    }
    EXPECT_EQ(at, got.size());
}
