// The two passes of a timer tick: e-mail to SMS (modules EmailtoSMS, LongSMS,
// ExtractMobileNumber) and SMS to e-mail (module SMStoEmail).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parlix::gateway {

class MailClient;

namespace EmailtoSMS {

// True while the e-mail-to-SMS pass runs.
extern bool Busy;
// The e-mail being handled, read by the status e-mails.
extern std::string senderAddress;
extern std::string sSMSText;
extern std::string sEmailBody;
extern std::string sEmailSubject;
extern std::vector<std::string> arrayRecipientMN;
// The number being sent to and the date and time of its send.
extern std::string sCurrentNumber;
extern std::string sSendTime;

inline constexpr const char* kSeenListFile = "alreadySeenUidls.txt";
// The seen list in the program folder.
std::string SeenListPath();

// The pass: timer off while it runs, the mailbox scanned, timer back on.
void ConnectMailServer();
// Sends every new e-mail of the mailbox as SMS; each e-mail joins the seen list once
// it has been handled.
void CheckEmail(MailClient& mailman);
// Numbers (and, with Line1, the SMS text) of the current e-mail from the rules.
void CheckRecipientSetting();
// Sends the text to every recipient number; true when one send succeeded.
bool SendSMS(const std::string& text);

// A number the modem may be given: digits, with one "+" in front at most.
bool IsMobileNumber(const std::string& number);

// Forgets the module's state, the identifiers seen in this run included (tests).
void Reset();

}  // namespace EmailtoSMS

namespace LongSMS {

// The texts sent for a long message: pieces each followed by "i/N", none over 160
// characters, at most `limit` of them.
struct Plan {
    std::vector<std::string> texts;
    int total = 0;  // N
};
Plan PlanPieces(const std::string& text, int limit);

// Sends a text of more than 160 characters to one number in pieces; true when at
// least one piece went out.
bool SendLongSMS(std::int16_t intLimit, const std::string& text, const std::string& number);

}  // namespace LongSMS

namespace ExtractMobileNumber {
// The list without "-", blanks, carriage returns and line feeds.
std::string CleanMobileNumbers(const std::string& list);
// The cleaned list split at ","; the empty text gives no numbers.
std::vector<std::string> ExtractHP(const std::string& list);
}  // namespace ExtractMobileNumber

namespace SMStoEmail {

// True while the SMS-to-e-mail pass runs.
extern bool Busy;

// The folder in the program folder where received SMS wait for their forward.
inline constexpr const char* kPendingFolder = "PendingSMS";
std::string PendingPath();

// A received SMS waiting for the SMTP server to accept its forward.
struct ReceivedSMS {
    std::string sender, text, timeText;
};

// The pass: reads at most one SMS from the modem and forwards every waiting SMS.
void PollIncomingSMS();
// Reads one SMS and keeps it until its forward has been accepted.
void ReadIncomingSMS();
// Forwards the waiting SMS, oldest first; a refused one stays waiting, two failures in
// a row end the attempt (the server is down).
void ForwardPendingSMS();
// Sends one forward; true when the SMTP server accepted it.
bool ForwardSMSByEmail(const ReceivedSMS& sms);

// The waiting SMS, oldest first (read from the pending folder on first use).
std::vector<ReceivedSMS> Pending();

void Reset();

}  // namespace SMStoEmail

// Both passes' SMTP and POP3 settings given to a mail object. Empty ports mean the
// protocol's default; a port or SSL flag that is not a number throws
// std::invalid_argument with a text that names the setting.
void ConfigurePop(MailClient& mailman);
void ConfigureSmtp(MailClient& mailman);

}  // namespace parlix::gateway
