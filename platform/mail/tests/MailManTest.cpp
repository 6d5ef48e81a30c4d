// The mail object against real servers: dovecot (POP3) and aiosmtpd (SMTP) on loopback
// ports, plain and with implicit TLS under a test CA.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/clock/Clock.h"
#include "platform/mail/Mail.h"
#include "platform/mail/testing/MailServers.h"

using namespace parlix::mail;
using namespace parlix::mail::testing;

namespace {

// Mail as it arrives in a mailbox: plain, quoted-printable, base64, alternative, Latin-1.
const char* const kMailbox[] = {
    "From: Alice <alice@example.com>\nTo: gateway@example.com\nSubject: plain\n"
    "Date: Mon, 07 Dec 2026 09:00:00 +0000\n\n0123456\n.line with a leading dot\n",
    "From: =?UTF-8?Q?Bj=C3=B6rn?= <bjorn@example.se>\nSubject: =?UTF-8?B?R3LDvMOfZQ==?=\nMIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\nK=C3=A4se =E2=82=AC 5\n",
    "From: carol@example.com\nSubject: base64\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
    "Content-Transfer-Encoding: base64\n\nQmFzZSBzaXh0eS1mb3Vy\n",
    "From: dave@example.com\nSubject: alternative\nMIME-Version: 1.0\n"
    "Content-Type: multipart/alternative; boundary=zz\n\n--zz\nContent-Type: text/html\n\n<b>html</b>\n"
    "--zz\nContent-Type: text/plain\n\nplain part\n--zz--\n",
    "From: =?ISO-8859-1?Q?Ren=E9?= <rene@example.fr>\nSubject: =?ISO-8859-1?Q?d=E9j=E0_vu?=\nMIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=iso-8859-1\nContent-Transfer-Encoding: 8bit\n\nd\xE9j\xE0 vu\n",
};
const char* const kSubjects[] = {"plain", "Grüße", "base64", "alternative", "déjà vu"};
const char* const kBodies[] = {"0123456\n.line with a leading dot\n", "Käse € 5\n", "Base sixty-four", "plain part",
                               "déjà vu\n"};

// Where two long texts part (gtest's own diff of megabytes would take gigabytes).
std::string firstDifference(const std::string& a, const std::string& b) {
    if (a == b) return "equal";
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at " +
           std::to_string(i) + ": \"" + a.substr(i, 20) + "\" vs \"" + b.substr(i, 20) + "\"";
}

MailMessage statusMail(const std::string& body) {
    MailMessage m;
    m.SetFrom("gateway@example.com");
    m.SetSubject("SMS was sent to 0123 (Grüße)");
    m.SetBody(body);
    m.AddTo("", "sender@example.org");
    m.AddCC("", "boss@example.org");
    return m;
}

class MailManServers : public ::testing::TestWithParam<bool> {
protected:
    MailServers servers{{.tls = GetParam()}};
    MailMan mailman;
    void SetUp() override { servers.configure(mailman); }
};

}  // namespace

TEST_P(MailManServers, ListsAndFetchesByIdentifier) {
    auto none = mailman.GetUidls();
    ASSERT_TRUE(none) << mailman.LastErrorText() << servers.pop3().log();
    EXPECT_EQ(none->Count(), 0);
    for (const char* mail : kMailbox) servers.pop3().deliver(mail);
    auto uidls = mailman.GetUidls();
    ASSERT_TRUE(uidls) << mailman.LastErrorText();
    ASSERT_EQ(uidls->Count(), 5);
    for (long i = 0; i < 5; ++i)
        for (long j = i + 1; j < 5; ++j) EXPECT_NE(uidls->GetString(i), uidls->GetString(j));

    MailStringList wanted;
    for (long i : {4, 1, 0, 3, 2}) wanted.Append(uidls->GetString(i));
    wanted.Append("not-on-the-server");
    auto bundle = mailman.FetchMultiple(wanted);
    ASSERT_TRUE(bundle) << mailman.LastErrorText();
    ASSERT_EQ(bundle->Count(), 5);
    int order[] = {4, 1, 0, 3, 2};
    for (long i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bundle->GetEmail(i).Subject(), kSubjects[order[i]]);
        EXPECT_EQ(bundle->GetEmail(i).Body(), kBodies[order[i]]);
    }
    EXPECT_EQ(bundle->GetEmail(1).From(), "Björn <bjorn@example.se>");
    EXPECT_EQ(bundle->GetEmail(0).FromAddress(), "rene@example.fr");
    EXPECT_THROW(bundle->GetEmail(5), std::out_of_range);
    // One session: the identifiers were mapped once and all five retrieved on it.
    for (int i = 0; i < 100 && servers.pop3().log().find("retr=5/") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(servers.pop3().log().find("retr=5/"), std::string::npos) << servers.pop3().log();

    // The seen list as the gateway keeps it.
    TempFolder dir;
    ASSERT_TRUE(uidls->SaveToFile(dir.path() + "/alreadySeenUidls.txt"));
    MailStringList seen;
    ASSERT_TRUE(seen.LoadFromFile(dir.path() + "/alreadySeenUidls.txt"));
    for (long i = 0; i < 5; ++i) EXPECT_TRUE(seen.Contains(uidls->GetString(i)));
}

TEST_P(MailManServers, SendsWithAuthToEveryRecipient) {
    ASSERT_EQ(mailman.SendEmail(statusMail("Content of SMS: \nhello\n.dot line\n")), 1) << mailman.LastErrorText();
    ASSERT_TRUE(servers.smtp().waitForMessages(1)) << servers.smtp().log();
    auto got = servers.smtp().received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].login, "gateway");
    EXPECT_EQ(got[0].mailFrom, "gateway@example.com");
    EXPECT_EQ(got[0].rcptTo, (std::vector<std::string>{"sender@example.org", "boss@example.org"}));
    MailMessage back = MailMessage::parse(got[0].data);
    EXPECT_EQ(back.Subject(), "SMS was sent to 0123 (Grüße)");
    EXPECT_EQ(back.Body(), "Content of SMS: \nhello\n.dot line\n");
    EXPECT_EQ(mailman.LastErrorText(), "");

    MailMessage nobody;
    nobody.SetFrom("gateway@example.com");
    nobody.AddCC("", "");
    EXPECT_EQ(mailman.SendEmail(nobody), 0);
    EXPECT_EQ(mailman.LastErrorText(), "the e-mail has no recipient");
}

TEST_P(MailManServers, WrongPasswordIsRefused) {
    mailman.PopPassword = "wrong";
    mailman.SmtpPassword = "wrong";
    EXPECT_EQ(mailman.GetUidls(), nullptr);
    EXPECT_NE(mailman.LastErrorText().find("password was refused"), std::string::npos) << mailman.LastErrorText();
    EXPECT_EQ(mailman.FetchMultiple(MailStringList()) ? 1 : 0, 1);  // nothing asked, nothing to fetch
    MailStringList one;
    one.Append("x");
    EXPECT_EQ(mailman.FetchMultiple(one), nullptr);
    EXPECT_EQ(mailman.SendEmail(statusMail("x")), 0);
    EXPECT_NE(mailman.LastErrorText().find("SMTP server 127.0.0.1:"), std::string::npos) << mailman.LastErrorText();
    EXPECT_NE(mailman.LastErrorText().find("535"), std::string::npos) << mailman.LastErrorText();
    EXPECT_TRUE(servers.smtp().received().empty());
}

TEST_P(MailManServers, CarriesTenMegabyteMail) {
    std::string big(10 * 1024 * 1024, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = (i % 77 == 76) ? '\n' : static_cast<char>('a' + i % 26);
    big.back() = '\n';  // mail travels as whole lines
    servers.pop3().deliver("From: big@example.com\nSubject: big\n\n" + big);
    auto uidls = mailman.GetUidls();
    ASSERT_TRUE(uidls) << mailman.LastErrorText();
    // The program's window keeps being served while a long mail comes in.
    int yields = 0;
    parlix::clock::setYieldHook([&] { ++yields; });
    auto bundle = mailman.FetchMultiple(*uidls);
    parlix::clock::setYieldHook(nullptr);
    EXPECT_GT(yields, 0);
    ASSERT_TRUE(bundle) << mailman.LastErrorText();
    ASSERT_EQ(bundle->Count(), 1);
    EXPECT_EQ(firstDifference(bundle->GetEmail(0).Body(), big), "equal");

    ASSERT_EQ(mailman.SendEmail(statusMail(big)), 1) << mailman.LastErrorText();
    ASSERT_TRUE(servers.smtp().waitForMessages(1, std::chrono::seconds(60)));
    EXPECT_EQ(firstDifference(MailMessage::parse(servers.smtp().received()[0].data).Body(), big), "equal");
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, MailManServers, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Tls" : "Plain"; });

TEST(MailManCertificates, UntrustedOrWrongHostCertificateIsRefused) {
    MailServers servers({.tls = true});
    servers.pop3().deliver(kMailbox[0]);
    MailMan mailman;
    servers.configure(mailman);
    mailman.CaFile.clear();  // the system's store does not know the test CA
    EXPECT_EQ(mailman.GetUidls(), nullptr);
    EXPECT_NE(mailman.LastErrorText().find("certificate"), std::string::npos) << mailman.LastErrorText();
    EXPECT_EQ(mailman.SendEmail(statusMail("x")), 0);
    EXPECT_NE(mailman.LastErrorText().find("certificate"), std::string::npos) << mailman.LastErrorText();

    // Signed by the trusted CA, but for another host.
    Pop3Server otherPop({.tls = true, .otherHostCertificate = true}, servers.ca());
    SmtpServer otherSmtp({.tls = true, .otherHostCertificate = true}, servers.ca());
    servers.configure(mailman);
    mailman.PopPort = otherPop.port();
    mailman.SmtpPort = otherSmtp.port();
    EXPECT_EQ(mailman.GetUidls(), nullptr);
    EXPECT_NE(mailman.LastErrorText().find("127.0.0.1"), std::string::npos) << mailman.LastErrorText();
    EXPECT_EQ(mailman.SendEmail(statusMail("x")), 0);
    EXPECT_TRUE(otherSmtp.received().empty());
}

TEST(MailManFailures, UnreachableOrUnusableServer) {
    MailMan mailman;
    mailman.PopHost = mailman.SmtpHost = "127.0.0.1";
    mailman.PopPort = mailman.SmtpPort = unusedPort();
    EXPECT_EQ(mailman.GetUidls(), nullptr);
    EXPECT_NE(mailman.LastErrorText().find("POP3 server 127.0.0.1:" + std::to_string(mailman.PopPort)),
              std::string::npos)
        << mailman.LastErrorText();
    EXPECT_EQ(mailman.SendEmail(statusMail("x")), 0);
    EXPECT_NE(mailman.LastErrorText().find("Couldn't connect"), std::string::npos) << mailman.LastErrorText();

    struct {
        std::string host;
        long port;
        const char* error;
    } settings[] = {{"", 0, "no POP3 server is set"},
                    {"127.0.0.1", 70000, "not a port number"},
                    {"mail.example.com/x", 0, "not a usable POP3 server name"}};
    for (const auto& s : settings) {
        mailman.PopHost = s.host;
        mailman.PopPort = s.port;
        EXPECT_EQ(mailman.GetUidls(), nullptr);
        EXPECT_NE(mailman.LastErrorText().find(s.error), std::string::npos) << mailman.LastErrorText();
    }
}

// A mail cut off in the middle must not be taken for the whole mail.
TEST(MailManFailures, ServerClosingMidTransfer) {
    CutOffServer pop(CutOffServer::Protocol::Pop3);
    CutOffServer smtp(CutOffServer::Protocol::Smtp);
    MailMan mailman;
    mailman.PopHost = mailman.SmtpHost = "127.0.0.1";
    mailman.PopPort = pop.port();
    mailman.SmtpPort = smtp.port();
    mailman.PopUsername = mailman.SmtpUsername = "gateway";
    mailman.PopPassword = mailman.SmtpPassword = "secret";
    auto uidls = mailman.GetUidls();
    ASSERT_TRUE(uidls) << mailman.LastErrorText();
    EXPECT_EQ(uidls->Count(), 2);
    EXPECT_EQ(mailman.FetchMultiple(*uidls), nullptr);
    EXPECT_FALSE(mailman.LastErrorText().empty());
    EXPECT_EQ(mailman.SendEmail(statusMail("cut")), 0);
    EXPECT_FALSE(mailman.LastErrorText().empty());
}

TEST(MailManLoad, ThousandsOfIdentifiers) {
    MailServers servers;
    for (int i = 0; i < 3000; ++i)
        servers.pop3().deliver("From: a@example.com\nSubject: mail " + std::to_string(i) + "\n\nbody\n");
    MailMan mailman;
    servers.configure(mailman);
    auto uidls = mailman.GetUidls();
    ASSERT_TRUE(uidls) << mailman.LastErrorText();
    ASSERT_EQ(uidls->Count(), 3000);
    MailStringList seen;
    for (long i = 0; i < 2998; ++i) seen.Append(uidls->GetString(i));
    MailStringList fresh;
    for (long i = 0; i < uidls->Count(); ++i)
        if (!seen.Contains(uidls->GetString(i))) fresh.Append(uidls->GetString(i));
    auto bundle = mailman.FetchMultiple(fresh);
    ASSERT_TRUE(bundle) << mailman.LastErrorText();
    ASSERT_EQ(bundle->Count(), 2);
    // Maildir order is the order of arrival here; the two last ones are new.
    std::set<std::string> subjects{bundle->GetEmail(0).Subject(), bundle->GetEmail(1).Subject()};
    EXPECT_EQ(subjects.size(), 2u);
    for (const auto& s : subjects) EXPECT_EQ(s.rfind("mail ", 0), 0u);
}
