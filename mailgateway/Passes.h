// The two passes of a timer tick: e-mail to SMS (modules EmailtoSMS, LongSMS,
// ExtractMobileNumber) and SMS to e-mail (module SMStoEmail).
#pragma once

#include <cstdint>
#include <functional>
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
// What the status e-mail adds about this number's SMS (why it was not sent, what did not
// reach the handset); empty when there is nothing to add.
extern std::string sReportNote;

inline constexpr const char* kSeenListFile = "alreadySeenUidls.txt";
// The seen list in the program folder.
std::string SeenListPath();
// The mailbox as the seen list and the send progress know it: server, port (the
// protocol's default when none is set) and user.
std::string MailboxKey(const MailClient& mailman);

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

// A text as the text-mode modem carries it: every character that the GSM alphabet (and
// the library's code page) lacks becomes "?".
struct ModemText {
    std::string text;
    std::string replaced;         // those characters, each once, separated by blanks
    bool nothingCarried = false;  // only "?", blanks and line breaks are left
};
ModemText ForModem(const std::string& text);
// Septets the modem sends for the text: each of [ ] { } ~ | ^ \ and the euro sign counts two.
std::size_t Septets(const std::string& text);

// The texts sent for a long message: pieces each followed by "i/N", none over 160
// septets, at most `limit` of them.
struct Plan {
    std::vector<std::string> texts;
    int total = 0;  // N
};
Plan PlanPieces(const std::string& text, int limit);

// How far a send to one number has come: pieces already sent before (they are not sent
// again), a call after each piece that goes out (given the count sent so far), and the
// "i/N" of the pieces that did not go out.
struct Pieces {
    int sent = 0;
    std::function<void(int)> onSent;
    std::vector<std::string> notSent;
};

// Sends a text of more than 160 septets to one number in pieces; true when at least
// one piece went out.
bool SendLongSMS(std::int16_t intLimit, const std::string& text, const std::string& number, Pieces* progress = nullptr);

}  // namespace LongSMS

// How far the current e-mail has come, kept in a small file in the program folder so
// that after a crash or a kill nothing already sent goes again and nothing is skipped.
// Each number of the e-mail's list (by its place in the list) has its pieces sent and
// whether its status e-mail went out.
namespace SendProgress {

inline constexpr const char* kFile = "SendProgress.txt";
std::string Path();

// Starts the record of an e-mail of a mailbox. The record of the same e-mail left by a run
// that ended in the middle is taken up; any other is dropped.
void Begin(const std::string& mailbox, const std::string& uidl);
int PiecesSent(std::size_t index, const std::string& number);
bool Reported(std::size_t index, const std::string& number);
// Each is on the disk before it returns.
void SetPiecesSent(std::size_t index, const std::string& number, int pieces);
void SetReported(std::size_t index, const std::string& number);
// The e-mail is on the seen list: its record goes.
void End();

}  // namespace SendProgress

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
