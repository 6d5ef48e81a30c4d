#include <glib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/mail/Mail.h"

using parlix::mail::MailMessage;

namespace {

std::string readMessage(const std::string& name) {
    std::ifstream in(std::string(PARLIX_MAIL_MESSAGES) + "/" + name, std::ios::binary);
    if (!in) throw std::runtime_error("missing test message " + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool validUtf8(const std::string& s) { return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr); }

// Dates are compared in UTC.
struct Utc : ::testing::Environment {
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};
const auto* const utc = ::testing::AddGlobalTestEnvironment(new Utc);

// Real mail from the test suites of other mail libraries (see messages/README.md).
struct Case {
    const char* file;
    const char* subject;
    const char* from;
    const char* fromAddress;
    const char* date;
    const char* body;
};

const Case kCases[] = {
    // Two folded ISO-2022-JP B words, ISO-2022-JP body.
    {"mimekit-japanese.eml", "日本語メールテスト (testing Japanese emails)", "Atsushi Eno <x@x.com>", "x@x.com",
     "2015-07-21 16:02:29",
     "Let's see if both subject and body works fine...\n\n日本語が\n正常に\n送れているか\nテスト.\n"},
    {"mail-japanese-shift-jis.eml", "test", "xxxxxxx@docomo.ne.jp", "xxxxxxx@docomo.ne.jp", "2014-05-28 08:18:19",
     "あいうえお\n\nこのメールはテスト用のメールです。\n\n今後ともよろしくお願い申し上げます！\n"},
    {"mail-japanese-iso-2022.eml", "まみむめも", "Mikel Lindsaar <raasdnil@gmail.com>", "raasdnil@gmail.com", "",
     "すみません。\n\n"},
    // GB2312 label on text that needs GBK; a GB2312 B-encoded name and subject.
    {"gmime-chinese-gb2312.eml", "基換続年大田", "张三 <zhang@example.cn>", "zhang@example.cn", "",
     "基換続年大田胞中強活学味。意愛需免室要身代打邸政開。立歓載業去肢身改暑康越川新約像用朝。\n"},
    {"gmime-chinese-big5.eml", "Big5", "Test <big5@example.tw>", "big5@example.tw", "", nullptr},
    // "&Zi8-" is IMAP's variant, plain text in real UTF-7: it must come through unchanged.
    {"mail-utf7.eml", "", "", "", "", "Valid: &Zi8- Invalid: &5g-\n"},
    {"mail-qp-bad-utf8.eml", "", "", "", "", "Valid: 是 Invalid: \xEF\xBF\xBD\n"},
    // A raw Windows-1252 byte in the subject, a date with a broken zone.
    {"mail-trademark-subject.eml", "GA.com™ has a lead for you", "j@yahoo-example.com", "j@yahoo-example.com",
     "2010-10-12 16:21:05", "Body Text - not important"},
    // No charset, a raw 8-bit Reply-To.
    {"mail-encoding-madness.eml",
     "eBay Bid - 2008 Ford Super Duty F-350 DRW King Ranch Crew Cab 4x4 (156) - Stock# XXXX",
     "no-reply@crm.el-example.org", "no-reply@crm.el-example.org", "2010-09-22 07:30:53", "Body Text"},
    // Outlook Express: an unquoted boundary holding "="; plain text preferred to HTML.
    {"mail-illegal-boundary.eml", "Testing outlook", "Mikel Lindsaar <email_test@me.nowhere>",
     "email_test@me.nowhere", "2007-10-21 09:38:13", "Hello\nThis is an outlook test\n\nSo there.\n\nMe.\n"},
    {"mail-missing-body.eml", "REDACTED", "SCS_2 <redacted@attglobal.net>", "redacted@attglobal.net",
     "2001-11-27 23:02:35", ""},
    // HTML only, with a made-up transfer encoding.
    {"mail-html-only.eml", "Re: We will help you refinance your home.",
     "chianfong cuthbert <abhijit.862153drinnan@datavalet.com>", "abhijit.862153drinnan@datavalet.com",
     "2005-05-06 11:55:01",
     "Hello,\nYou have qualified for the lowest rate in years.\nYou could get over $400,000 for as little as $500 a "
     "month.\nLow rates are fixed no matter what.\nPlease visit the link below to verify your information:\nApproval "
     "Form\nBest Regards,\nchianfong cuthbert, Account Manager\nReynolds Associates, LLC\n--------------------\nif "
     "you received this in error: re-m0-ve"},
    // multipart/signed around multipart/mixed: text, inline image, signature.
    {"mail-nested-signed.eml", "Testing attachments", "Jamis Buck <jamis@37signals.com>", "jamis@37signals.com",
     "2007-02-22 18:20:31", "Here is a test of an attachment via email.\n\n- Jamis\n\n"},
    // No blank line after the header: the first line that is no header field begins the body.
    {"cpython-missing-separator.eml", "test", "", "", "", "not a header\nTo: abc\n\nb\n"},
    {"mail-missing-separator.eml", "Testing 123", "Mikel Lindsaar <test@lindsaar.net>", "test@lindsaar.net",
     "2008-11-22 04:04:59", "Plain email.\n\nHope it works well!\n\nMikel\n"},
    // No header at all: all of it is the body.
    {"mail-no-header.eml", "", "", "", "", "Plain email.\n\nHope it works well!\n\nMikel\n"},
    // "Content-Type: Text" without a subtype is text/plain.
    {"mail-no-subtype.eml", "undef method parameter bug", "Big Bug bb@bug.com", "", "2010-02-19 07:08:29", "foo bar\n"},
    // The same mail cut off inside the image.
    {"mail-nested-signed-truncated.eml", "Testing attachments", "Jamis Buck <jamis@37signals.com>",
     "jamis@37signals.com", "2007-02-22 18:20:31", "Here is a test of an attachment via email.\n\n- Jamis\n\n"},
};

}  // namespace

TEST(MailMessageParse, RealWorldMessages) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        MailMessage m = MailMessage::parse(readMessage(c.file));
        EXPECT_EQ(m.Subject(), c.subject);
        EXPECT_EQ(m.From(), c.from);
        EXPECT_EQ(m.FromAddress(), c.fromAddress);
        EXPECT_EQ(m.Date(), c.date);
        std::string body = c.body ? c.body : readMessage("gmime-chinese-big5.expected");
        EXPECT_EQ(m.Body(), body);
        for (const auto& text : {m.Subject(), m.From(), m.FromAddress(), m.Date(), m.Body()})
            EXPECT_TRUE(validUtf8(text)) << text;
    }
}

// Cases where GMime 3.2 alone decodes wrongly, and charset labels that lie.
TEST(MailMessageParse, DecoderFaultsAndMislabelledText) {
    struct {
        const char* raw;
        const char* subject;
        const char* from;
        const char* body;
    } cases[] = {
        // A B word after one that ends in "=" padding (GMime drops it); a character split
        // across two B words.
        {"Subject: =?UTF-8?B?SGk=?= =?UTF-8?B?V29ybGQ=?= end\nFrom: =?UTF-8?B?ww==?=\n =?UTF-8?B?qQ==?= <e@x.org>\n\nb",
         "HiWorld end", "é <e@x.org>", "b"},
        // A "=?" that starts no word does not stop the decoding of the words after it.
        {"Subject: Re: =?UTF-m: =?UTF-8?q?Mikel?= =? x\n\n", "Re: =?UTF-m: Mikel =? x", "", ""},
        // Q words with folding; ISO-8859-1 words holding Windows-1252 characters.
        {"Subject: =?ISO-8859-1?Q?caf=E9?=\n =?ISO-8859-1?Q?_=80_5?=\n\n", "café € 5", "", ""},
        // No charset on 8-bit text: GMime hands out the raw bytes.
        {"Content-Type: text/plain\n\ncaf\xE9 \x80 5\n", "", "", "café € 5\n"},
        {"Content-Type: text/plain\n\ncaf\xC3\xA9\n", "", "", "café\n"},
        // ISO-2022-JP text without a charset label.
        {"Content-Type: text/plain\n\n\x1B$BF|K\\\x1B(B\n", "", "", "日本\n"},
        // An ASCII label on 8-bit text, an unknown label.
        {"Content-Type: text/plain; charset=us-ascii\n\nna\xC3\xAFve\n", "", "", "naïve\n"},
        {"Content-Type: text/plain; charset=x-unknown\n\nna\xEFve\n", "", "", "naïve\n"},
        // Real UTF-7 (RFC 2152).
        {"Content-Type: text/plain; charset=utf-7\n\nHi Mom -+Jjo--!\n", "", "", "Hi Mom -☺-!\n"},
        // Raw UTF-8 and raw Latin-1 in headers.
        {"Subject: Gr\xC3\xBC\xC3\x9F" "e\nFrom: J\xF6rg <j@x.de>\n\n", "Grüße", "Jörg <j@x.de>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        MailMessage m = MailMessage::parse(c.raw);
        EXPECT_EQ(m.Subject(), c.subject);
        EXPECT_EQ(m.From(), c.from);
        EXPECT_EQ(m.Body(), c.body);
    }
}

TEST(MailMessageParse, ChoosesTheTextOfTheMailItself) {
    // HTML first, plain second: plain wins. Text attachments and attached mails are not the body.
    const std::string alternative =
        "Content-Type: multipart/mixed; boundary=out\n\n--out\n"
        "Content-Type: text/plain; name=notes.txt\nContent-Disposition: attachment; filename=notes.txt\n\nnot this\n"
        "--out\nContent-Type: multipart/alternative; boundary=in\n\n--in\n"
        "Content-Type: text/html; charset=utf-8\n\n<p>html</p>\n--in\n"
        "Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\ndGhlIHRleHQ=\n--in--\n--out--\n";
    EXPECT_EQ(MailMessage::parse(alternative).Body(), "the text");

    const std::string forwarded =
        "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: message/rfc822\n\n"
        "Subject: inner\nContent-Type: text/plain\n\ninner text\n--b\n"
        "Content-Type: text/html\n\n<html><head><title>t</title><style>p{}</style></head><body>"
        "<script>var x;</script><p>One&nbsp;&amp; two</p><p>three<br>four</p><ul><li>five</li></ul></body></html>\n"
        "--b--\n";
    EXPECT_EQ(MailMessage::parse(forwarded).Body(), "One & two\nthree\nfour\nfive");

    // An HTML part without a MIME charset: its <meta> names the charset.
    EXPECT_EQ(MailMessage::parse("Content-Type: text/html\n\n<html><head><meta charset=\"windows-1251\"></head>"
                                 "<body>\xCF\xF0\xE8\xE2\xE5\xF2</body></html>\n")
                  .Body(),
              "Привет");
}

// Nesting deeper than GMime builds (1024 levels) still gives the text at the bottom.
TEST(MailMessageParse, DeeplyNestedTextIsFound) {
    for (int depth : {100, 1100, 3000}) {
        std::string raw = "From: a@example.com\nSubject: deep\n";
        for (int i = 0; i < depth; ++i)
            raw += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" + std::to_string(i) + "\n";
        raw += "Content-Type: text/plain\n\ninnermost\n";
        for (int i = depth - 1; i >= 0; --i) raw += "--b" + std::to_string(i) + "--\n";
        EXPECT_EQ(MailMessage::parse(raw).Body(), "innermost") << depth;
    }
}

TEST(MailMessageParse, GarbageNeverThrowsAndStaysUtf8) {
    for (std::string raw : {std::string(), std::string("\0\0\xFF\xFE", 4), std::string("Subject: =?x?B?@@@?=\n\n\xC3"),
                            std::string("Content-Type: multipart/mixed; boundary=\"\"\n\n--\n--\n"),
                            std::string("From: <<<@@>>>, \"unclosed\n\n")}) {
        MailMessage m = MailMessage::parse(raw);
        for (const auto& text : {m.Subject(), m.From(), m.FromAddress(), m.Date(), m.Body()})
            EXPECT_TRUE(validUtf8(text));
    }
}

TEST(MailMessageBuild, RoundTripsThroughMimeWithEncodedHeaders) {
    MailMessage m;
    m.SetFrom("Pärlix Gateway <gateway@example.com>");
    m.SetSubject("SMS was sent to 0123 (Grüße 日本)");
    std::string longLine(1200, 'x');
    m.SetBody("Content of SMS: \nZeile één\n.starts with a dot\n" + longLine + "\n");
    m.SetDate("2026-12-08 10:20:30");
    m.AddTo("", "sender@example.org");
    m.AddCC("", "");  // an unset CC setting
    m.AddCC("", "boss@example.org; Ann <ann@example.org>");
    ASSERT_EQ(m.ToList().size(), 1u);
    ASSERT_EQ(m.CCList().size(), 2u);
    EXPECT_EQ(m.CCList()[1].name, "Ann");
    EXPECT_EQ(m.FromAddress(), "gateway@example.com");

    std::string mime = m.toMime();
    size_t lineStart = 0;
    for (size_t i = 0; i < mime.size(); ++i) {
        ASSERT_LT(static_cast<unsigned char>(mime[i]), 0x80) << "8-bit byte at " << i;
        if (mime[i] == '\n') {
            ASSERT_TRUE(i > 0 && mime[i - 1] == '\r') << "bare LF at " << i;
            ASSERT_LE(i - lineStart, 999u);
            lineStart = i + 1;
        }
    }
    for (const char* header : {"\r\nTo: sender@example.org\r\n", "\r\nDate: Tue, 08 Dec 2026 10:20:30 +0000\r\n",
                               "\r\nMessage-Id: <", "@example.com>\r\n"})
        EXPECT_NE(("\r\n" + mime).find(header), std::string::npos) << header << "\n" << mime;
    EXPECT_NE(mime.find("boss@example.org"), std::string::npos);

    MailMessage back = MailMessage::parse(mime);
    EXPECT_EQ(back.Subject(), m.Subject());
    EXPECT_EQ(back.From(), "Pärlix Gateway <gateway@example.com>");
    EXPECT_EQ(back.Body(), m.Body());
    EXPECT_EQ(back.Date(), "2026-12-08 10:20:30");
}

// Texts that GMime alone would write so that they do not read back.
TEST(MailMessageBuild, SubjectsHoldingEncodedWordMarkers) {
    for (std::string subject : {"=?UTF-m: Mikel", "Re: =?gb2312?B?1cXI/Q==\x01 <zhang@example.cn> =?x?B?a=b=?= end"}) {
        MailMessage m;
        m.SetSubject(subject);
        m.AddTo("", "a@example.com");
        std::string back = MailMessage::parse(m.toMime()).Subject();
        for (size_t at; (at = back.find("\u2060")) != std::string::npos;) back.erase(at, 3);
        EXPECT_EQ(back, subject);
    }
}

TEST(MailMessageBuild, HeadersCannotBeSmuggledIn) {
    MailMessage m;
    m.SetFrom("a@example.com\r\nBcc: evil@example.net");
    m.SetSubject("Hello\r\nBcc: evil@example.net");
    m.AddTo("Name\r\nBcc: evil@example.net", "to@example.com");
    std::string mime = m.toMime();
    EXPECT_EQ(mime.find("\nBcc:"), std::string::npos) << mime;
    EXPECT_EQ(MailMessage::parse(mime).Subject(), "Hello  Bcc: evil@example.net");
}

TEST(MailMessageBuild, DatesRecipientsAndClearing) {
    MailMessage m;
    m.SetDate("Tue, 08 Dec 2026 12:20:30 +0200");
    EXPECT_EQ(m.Date(), "2026-12-08 10:20:30");
    EXPECT_THROW(m.SetDate("yesterday"), std::invalid_argument);
    EXPECT_EQ(m.Date(), "2026-12-08 10:20:30");
    m.SetDate("");
    EXPECT_EQ(m.Date(), "");
    EXPECT_EQ(m.toMime().rfind("Date: ", 0), 0u);

    m.AddTo("", "one@example.com");
    m.AddTo("Two", "two@example.com");
    m.AddCC("", "cc@example.com");
    m.ClearTo();
    EXPECT_TRUE(m.ToList().empty());
    EXPECT_EQ(m.CCList().size(), 1u);
    m.ClearCC();
    EXPECT_TRUE(m.CCList().empty());

    // A bare account name as From (what some SMTP settings hold).
    m.SetFrom("gateway");
    EXPECT_EQ(m.FromAddress(), "gateway");
}
