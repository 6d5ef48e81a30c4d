#include "mailgateway/Setting.h"

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "platform/settings/Settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <utility>

namespace parlix::gateway {

namespace {
std::string Cased(std::string text, int (*change)(int)) {
    for (char& c : text) c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return text;
}
const char* Flag(bool ticked) { return ticked ? "1" : "0"; }
bool Ticked(const std::string& value) { return value == "1"; }

// Owner-only for as long as it takes to write the file and its temporary copy.
class OwnerOnly {
public:
    OwnerOnly() : previous_(::umask(077)) {}
    ~OwnerOnly() { ::umask(previous_); }
    OwnerOnly(const OwnerOnly&) = delete;
    OwnerOnly& operator=(const OwnerOnly&) = delete;

private:
    mode_t previous_;
};

std::optional<std::string> FirstWithLineBreak(
    std::initializer_list<std::pair<const char*, const std::string*>> fields) {
    for (const auto& [caption, value] : fields)
        if (value->find_first_of("\r\n") != std::string::npos) return std::string(caption);
    return std::nullopt;
}
}  // namespace

std::string SettingFilePath() { return ProgramPath(kSettingFile); }

std::string ReadINI(const std::string& strsection, const std::string& strkey, const std::string& strfullpath) {
    return settings::readKey(strfullpath, strsection, Cased(strkey, std::tolower), "");
}

void WriteINI(const std::string& strsection, const std::string& strkey, const std::string& strkeyvalue,
              const std::string& strfullpath) {
    OwnerOnly mask;
    settings::writeKey(strfullpath, strsection, Cased(strkey, std::toupper), strkeyvalue);
    // A file made before by another program or by hand may be readable by others.
    ::chmod(settings::resolvePath(strfullpath).c_str(), S_IRUSR | S_IWUSR);
}

namespace Setting {

Settings Loaded;

void GetSettingFromIniFile() {
    Settings fresh;
    // The module spells the file "Setting.ini"; the settings layer finds either spelling.
    const std::string path = ProgramPath("Setting.ini");
    try {
        auto& e = fresh.EMail;
        const char* s = "EMail_Setting";
        e.Sender = ReadINI(s, "Sender", path);
        e.Date = ReadINI(s, "Date", path);
        e.Subject = ReadINI(s, "Subject", path);
        e.Body = ReadINI(s, "Body", path);
        e.Recipient = ReadINI(s, "Recipient", path);
        e.Line1 = ReadINI(s, "Line1", path);
        e.Subject_MN = ReadINI(s, "Subject_MN", path);
        e.Limit = ReadINI(s, "Limit", path);
        e.Server = ReadINI(s, "Server", path);
        e.Port = ReadINI(s, "Port", path);
        e.UserName = ReadINI(s, "User Name", path);
        e.Password = ReadINI(s, "Password", path);
        e.SSL = ReadINI(s, "SSL", path);
        fresh.GSM_Modem.Port = ReadINI("GSM_Modem_Setting", "Port", path);
        fresh.GSM_Modem.PIN = ReadINI("GSM_Modem_Setting", "PIN", path);
        auto& m = fresh.SMTP;
        s = "SMTP_Setting";
        m.Server = ReadINI(s, "Server", path);
        m.Port = ReadINI(s, "Port", path);
        m.UserName = ReadINI(s, "User Name", path);
        m.Password = ReadINI(s, "Password", path);
        m.EmailADD = ReadINI(s, "E-mail ADD", path);
        m.SSL = ReadINI(s, "SSL", path);
        fresh.Notification.CC = ReadINI("Notification_Setting", "CC", path);
    } catch (...) {
        LogCurrentException("Module.Setting.GetSettingFromIniFile() ");
    }
    Loaded = std::move(fresh);
}

}  // namespace Setting

EMailForm LoadEMailForm(const std::string& path) {
    const char* s = "EMail_Setting";
    EMailForm f;
    f.Server = ReadINI(s, "Server", path);
    f.UN = ReadINI(s, "User Name", path);
    f.PW = ReadINI(s, "Password", path);
    f.Port = ReadINI(s, "Port", path);
    f.Recipient = ReadINI(s, "Recipient", path);
    f.Limit = ReadINI(s, "Limit", path);
    if (f.Limit.empty()) {
        WriteINI(s, "Limit", "1", path);
        f.Limit = std::string(1, '1');
    }
    f.From = Ticked(ReadINI(s, "Sender", path));
    f.Date = Ticked(ReadINI(s, "Date", path));
    f.Subject = Ticked(ReadINI(s, "Subject", path));
    f.Body = Ticked(ReadINI(s, "Body", path));
    f.SSL = Ticked(ReadINI(s, "SSL", path));
    f.Line1 = Ticked(ReadINI(s, "Line1", path));
    f.SMN = Ticked(ReadINI(s, "Subject_MN", path));
    return f;
}

GSMModemForm LoadGSMModemForm(const std::string& path) {
    return {ReadINI("GSM_Modem_Setting", "Port", path), ReadINI("GSM_Modem_Setting", "PIN", path)};
}

SMTPForm LoadSMTPForm(const std::string& path) {
    const char* s = "SMTP_Setting";
    SMTPForm f;
    f.Server = ReadINI(s, "Server", path);
    f.UN = ReadINI(s, "User Name", path);
    f.PW = ReadINI(s, "Password", path);
    f.Port = ReadINI(s, "Port", path);
    f.sender = ReadINI(s, "E-mail ADD", path);
    f.SSL = SettingNumber(ReadINI(s, "SSL", path)) == 1L;
    return f;
}

std::optional<std::string> FieldWithLineBreak(const EMailForm& f) {
    return FirstWithLineBreak({{"Server", &f.Server},
                               {"User Name", &f.UN},
                               {"Password", &f.PW},
                               {"Port Number", &f.Port},
                               {"to this number", &f.Recipient},
                               {"maximum number/parts of SMS", &f.Limit}});
}
std::optional<std::string> FieldWithLineBreak(const GSMModemForm& f) {
    return FirstWithLineBreak({{"Port Number", &f.Port}, {"SIM PIN", &f.PIN}});
}
std::optional<std::string> FieldWithLineBreak(const SMTPForm& f) {
    return FirstWithLineBreak({{"Server", &f.Server},
                               {"Port Number", &f.Port},
                               {"User Name", &f.UN},
                               {"Password", &f.PW},
                               {"to e-mail address", &f.sender}});
}

std::string LineBreakMessage(const std::string& field) {
    std::string message = "\"";
    message += field;
    message += "\" holds a line break, which the settings file cannot keep. "
               "Please remove it and save again. Nothing has been saved.";
    return message;
}

void SaveEMailForm(const std::string& path, const EMailForm& f) {
    const char* s = "EMail_Setting";
    WriteINI(s, "Server", f.Server, path);
    WriteINI(s, "User Name", f.UN, path);
    WriteINI(s, "Password", f.PW, path);
    WriteINI(s, "Port", f.Port, path);
    WriteINI(s, "Recipient", f.Recipient, path);
    WriteINI(s, "Sender", Flag(f.From), path);
    WriteINI(s, "Date", Flag(f.Date), path);
    WriteINI(s, "Subject", Flag(f.Subject), path);
    WriteINI(s, "Body", Flag(f.Body), path);
    WriteINI(s, "SSL", Flag(f.SSL), path);
    WriteINI(s, "Limit", f.Limit == " " ? "1" : f.Limit, path);
    WriteINI(s, "Line1", Flag(f.Line1), path);
    WriteINI(s, "Subject_MN", Flag(f.SMN), path);
}

void SaveGSMModemForm(const std::string& path, const GSMModemForm& f) {
    WriteINI("GSM_Modem_Setting", "Port", f.Port, path);
    WriteINI("GSM_Modem_Setting", "PIN", f.PIN, path);
}

void SaveSMTPForm(const std::string& path, const SMTPForm& f) {
    const char* s = "SMTP_Setting";
    WriteINI(s, "Server", f.Server, path);
    WriteINI(s, "Port", f.Port, path);
    WriteINI(s, "User Name", f.UN, path);
    WriteINI(s, "Password", f.PW, path);
    WriteINI(s, "E-mail ADD", f.sender, path);
    WriteINI(s, "SSL", Flag(f.SSL), path);
}

}  // namespace parlix::gateway
