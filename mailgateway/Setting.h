// The gateway's settings file "Setting.INI" in the program folder (module Setting):
// keys written upper case and read lower case through a 750-character buffer with the
// empty text as default, the values loaded at each Start, and what the three settings
// windows read and write.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlix::gateway {

inline constexpr const char* kSettingFile = "Setting.INI";

// The full path of the settings file in the program folder.
std::string SettingFilePath();

// Value of a key ("" when the file, section or key is missing or cannot be read).
std::string ReadINI(const std::string& strsection, const std::string& strkey, const std::string& strfullpath);
// Writes a key. The file is created, and rewritten, readable by its owner only: it
// holds passwords in plain text. Throws settings::SettingsError when it cannot be
// written or the value holds a line break.
void WriteINI(const std::string& strsection, const std::string& strkey, const std::string& strkeyvalue,
              const std::string& strfullpath);

// The loaded settings, one text per key; replaced as a whole at each Start.
struct EMailSettings {
    std::string Sender, Date, Subject, Body, Recipient, Line1, Subject_MN, Limit;
    std::string Server, Port, UserName, Password, SSL;
};
struct GSMModemSettings {
    std::string Port, PIN;
};
struct SMTPSettings {
    std::string Server, Port, UserName, Password, EmailADD, SSL;
};
struct NotificationSettings {
    std::string CC;
};
struct Settings {
    EMailSettings EMail;
    GSMModemSettings GSM_Modem;
    SMTPSettings SMTP;
    NotificationSettings Notification;
};

namespace Setting {
// What the passes read.
extern Settings Loaded;
// Loads every key from the file in the program folder. An error stops the loading
// where it happened (the keys after it stay empty) and is logged.
void GetSettingFromIniFile();
}  // namespace Setting

// What the settings windows show, as plain values (the windows map them to controls).
struct EMailForm {
    std::string Server, Port, UN, PW, Recipient, Limit;
    bool From = false, Date = false, Subject = false, Body = false, SSL = false, Line1 = false, SMN = false;
};
struct GSMModemForm {
    std::string Port, PIN;
};
struct SMTPForm {
    std::string Server, Port, UN, PW, sender;
    bool SSL = false;
};

// Loading a window's values from the file. The e-mail window writes "1" to an empty
// Limit and shows it.
EMailForm LoadEMailForm(const std::string& path);
GSMModemForm LoadGSMModemForm(const std::string& path);
SMTPForm LoadSMTPForm(const std::string& path);

// The caption of the first field holding a line break, which the file cannot keep;
// nothing when every value can be saved.
std::optional<std::string> FieldWithLineBreak(const EMailForm& form);
std::optional<std::string> FieldWithLineBreak(const GSMModemForm& form);
std::optional<std::string> FieldWithLineBreak(const SMTPForm& form);
// The message the windows show for such a field.
std::string LineBreakMessage(const std::string& field);

// Saving in the windows' order; values are stored as typed. Throw as WriteINI.
void SaveEMailForm(const std::string& path, const EMailForm& form);
void SaveGSMModemForm(const std::string& path, const GSMModemForm& form);
void SaveSMTPForm(const std::string& path, const SMTPForm& form);

}  // namespace parlix::gateway
