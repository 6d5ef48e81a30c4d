// Settings file, settings windows' values, daily log and activity box.
#include "mailgateway/tests/Fakes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>

using namespace gatewaytest;
namespace fs = std::filesystem;

namespace {

// Keys of a section in the order they stand in the file.
std::vector<std::string> KeysOf(const std::string& file, const std::string& section) {
    std::vector<std::string> keys;
    std::istringstream in(file);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        if (inside && line.find('=') != std::string::npos) keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

parlix::clock::TimePoint Local(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

}  // namespace

TEST(GatewaySetting, KeysWrittenUpperReadLowerAndFileIsOwnerOnly) {
    Rig rig;
    const std::string path = SettingFilePath();
    WriteINI("SMTP_Setting", "User Name", "gw@example.com", path);
    EXPECT_NE(ReadFile(path).find("USER NAME=gw@example.com"), std::string::npos);
    // The module reader spells the file "Setting.ini"; both names are one file.
    EXPECT_EQ(ReadINI("SMTP_Setting", "user name", ProgramPath("Setting.ini")), "gw@example.com");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A file made readable by others by hand is made private again at the next write.
    ::chmod(path.c_str(), 0644);
    WriteINI("SMTP_Setting", "Password", "secret", path);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_THROW(WriteINI("SMTP_Setting", "Password", "two\nlines", path), std::exception);
}

TEST(GatewaySetting, GetSettingFromIniFileLoadsEveryKeyAndReplacesTheWhole) {
    Rig rig;
    std::ofstream(ProgramPath("Setting.INI"))
        << "[EMail_Setting]\r\nSENDER=1\r\nDATE=0\r\nSUBJECT=1\r\nBODY=1\r\nRECIPIENT=0123,0456\r\nLINE1=1\r\n"
           "SUBJECT_MN=0\r\nLIMIT=3\r\nSERVER=pop.x\r\nPORT=995\r\nUSER NAME=u\r\nPASSWORD=p\r\nSSL=1\r\n"
           "[GSM_Modem_Setting]\r\nPORT=2\r\nPIN=1234\r\n"
           "[SMTP_Setting]\r\nSERVER=smtp.x\r\nPORT=465\r\nUSER NAME=su\r\nPASSWORD=sp\r\nE-MAIL ADD=fw@x\r\nSSL=1\r\n"
           "[Notification_Setting]\r\nCC=boss@x\r\n";
    Setting::GetSettingFromIniFile();
    const Settings& s = Setting::Loaded;
    EXPECT_EQ(s.EMail.Sender + s.EMail.Date + s.EMail.Subject + s.EMail.Body + s.EMail.Line1 + s.EMail.Subject_MN,
              "101110");
    EXPECT_EQ(s.EMail.Recipient, "0123,0456");
    EXPECT_EQ(s.EMail.Limit, "3");
    EXPECT_EQ(s.EMail.Server + "|" + s.EMail.Port + "|" + s.EMail.UserName + "|" + s.EMail.Password + "|" + s.EMail.SSL,
              "pop.x|995|u|p|1");
    EXPECT_EQ(s.GSM_Modem.Port + "|" + s.GSM_Modem.PIN, "2|1234");
    EXPECT_EQ(s.SMTP.Server + "|" + s.SMTP.Port + "|" + s.SMTP.UserName + "|" + s.SMTP.Password + "|" +
                  s.SMTP.EmailADD + "|" + s.SMTP.SSL,
              "smtp.x|465|su|sp|fw@x|1");
    EXPECT_EQ(s.Notification.CC, "boss@x");

    // A hand-broken file: what can be read is read, the rest is empty, nothing is kept
    // from the previous Start.
    std::ofstream(ProgramPath("Setting.INI"), std::ios::trunc) << "garbage\r\n[SMTP_Setting\r\nSERVER\r\n[EMail_Setting]\r\nLIMIT=2\r\n";
    Setting::GetSettingFromIniFile();
    EXPECT_EQ(Setting::Loaded.EMail.Limit, "2");
    EXPECT_EQ(Setting::Loaded.EMail.Server, "");
    EXPECT_EQ(Setting::Loaded.Notification.CC, "");
}

TEST(GatewaySetting, EMailWindowWritesLimitOnFirstLoadAndSavesInItsOrder) {
    Rig rig;
    const std::string path = SettingFilePath();
    EMailForm f = LoadEMailForm(path);  // a new installation: no file yet
    EXPECT_EQ(f.Limit, "1");
    EXPECT_EQ(ReadINI("EMail_Setting", "Limit", path), "1");
    EXPECT_FALSE(f.From || f.Body || f.SSL);

    fs::remove(path);
    f.Server = "pop.x";
    f.Recipient = "012-345 678";
    f.Limit = " ";
    f.Body = f.SSL = f.SMN = true;
    SaveEMailForm(path, f);
    EXPECT_EQ(KeysOf(ReadFile(path), "EMail_Setting"),
              (std::vector<std::string>{"SERVER", "USER NAME", "PASSWORD", "PORT", "RECIPIENT", "SENDER", "DATE",
                                        "SUBJECT", "BODY", "SSL", "LIMIT", "LINE1", "SUBJECT_MN"}));
    const EMailForm back = LoadEMailForm(path);
    EXPECT_EQ(back.Recipient, "012-345 678");  // stored as typed
    EXPECT_EQ(back.Limit, "1");                // a single blank saves as "1"
    EXPECT_TRUE(back.Body && back.SSL && back.SMN);
    EXPECT_FALSE(back.From || back.Date || back.Subject || back.Line1);

    // No list choice stores the empty text; the next opening shows and writes "1".
    f.Limit = "";
    SaveEMailForm(path, f);
    EXPECT_EQ(ReadINI("EMail_Setting", "Limit", path), "");
    EXPECT_EQ(LoadEMailForm(path).Limit, "1");
}

TEST(GatewaySetting, SmtpAndModemWindowsOrderSslAndLineBreaks) {
    Rig rig;
    const std::string path = SettingFilePath();
    SaveSMTPForm(path, {"smtp.x", "587", "u", "p", "fw@x", true});
    EXPECT_EQ(KeysOf(ReadFile(path), "SMTP_Setting"),
              (std::vector<std::string>{"SERVER", "PORT", "USER NAME", "PASSWORD", "E-MAIL ADD", "SSL"}));
    EXPECT_TRUE(LoadSMTPForm(path).SSL);
    for (const char* ssl : {"", "0", "yes", " 1 "}) {
        WriteINI("SMTP_Setting", "SSL", ssl, path);
        EXPECT_EQ(LoadSMTPForm(path).SSL, std::string(ssl) == " 1 ") << '"' << ssl << '"';
    }
    SaveGSMModemForm(path, {"3", "0000"});
    EXPECT_EQ(KeysOf(ReadFile(path), "GSM_Modem_Setting"), (std::vector<std::string>{"PORT", "PIN"}));

    EXPECT_EQ(FieldWithLineBreak(SMTPForm{"smtp.x", "25", "u", "pa\nss", "", false}), "Password");
    EXPECT_EQ(FieldWithLineBreak(GSMModemForm{"1\r", ""}), "Port Number");
    EXPECT_FALSE(FieldWithLineBreak(EMailForm{}).has_value());
}

TEST(GatewayLog, FileNamesFollowTheLocalDateAcrossAMonthEnd) {
    parlix::clock::FakeClock clock(Local(2016, 3, 31, 23, 59, 59));
    parlix::clock::ScopedClock use(clock);
    Rig rig;  // its own clock is installed after ours; put ours back
    parlix::clock::ScopedClock again(clock);
    EXPECT_EQ(LogFileName(clock.now()), "Log_2016-3-31.txt");
    WriteLog("last of March");
    clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(LogFileName(clock.now()), "Log_2016-4-1.txt");
    WriteErrorLog("", 13, "type mismatch");

    const std::string march = ReadFile(rig.folder() / "Log_2016-3-31.txt");
    EXPECT_EQ(march, "Parlix E-Mail Edition version " + GatewayVersion + "(beta)\r\n*** Log dated on " +
                         DateTimeText(Local(2016, 3, 31, 23, 59, 59)) + " ***\r\nlast of March\r\n\r\n");
    const std::string april = ReadFile(rig.folder() / "Log_2016-4-1.txt");
    EXPECT_NE(april.find("\r\nError Location: N/A\r\nError Number: 13\r\nError Description: type mismatch\r\n\r\n"),
              std::string::npos);
}

TEST(GatewayLog, ActivityBoxIsCutAbove1000Characters) {
    Rig rig;
    const std::string prefix = NowText() + " > ";
    rig.form.SetLog(std::string(1000, 'a'));
    StatusReport::DisplayActivity("next");
    EXPECT_EQ(rig.form.txtLog(), std::string(1000, 'a') + "\r\n" + prefix + "next");  // exactly 1000: kept

    rig.form.SetLog(std::string(501, 'a') + std::string(500, 'b'));
    StatusReport::DisplayActivity("next");
    EXPECT_EQ(rig.form.txtLog(), "..." + std::string(500, 'b') + "\r\n" + prefix + "next");
    // Characters count as the text box counts them, not as bytes.
    std::string accented;
    for (int i = 0; i < 600; ++i) accented += "\xC3\xA9";  // é, 1200 bytes
    rig.form.SetLog(accented);
    StatusReport::DisplayActivity("x");
    EXPECT_EQ(rig.form.txtLog().substr(0, 3), accented.substr(0, 3));  // 600 characters: not cut
    EXPECT_NE(rig.Log().find("Activity Log: " + prefix + "x\r\n"), std::string::npos);

    // A log that cannot be written does not stop the activity box.
    fs::remove_all(rig.folder());
    StatusReport::DisplayActivity("still shown");
    EXPECT_NE(rig.form.txtLog().find("still shown"), std::string::npos);
}
