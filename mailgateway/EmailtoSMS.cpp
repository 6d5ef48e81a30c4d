#include "mailgateway/Passes.h"

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/MailClient.h"
#include "mailgateway/Modem.h"
#include "mailgateway/SeenList.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusCore.h"
#include "mailgateway/StatusReport.h"
#include "platform/clock/Clock.h"
#include "platform/text/Text.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>

namespace parlix::gateway {

using StatusReport::DisplayActivity;

namespace {
constexpr const char* kSource = "Parlix-Email";

long PortOrDefault(const std::string& value, const char* what) {
    if (Trim(value).empty()) return 0;
    const auto port = SettingNumber(value);
    if (!port || *port < 0 || *port > 65535)
        throw std::invalid_argument(std::string(what) + " \"" + value + "\" in Setting.INI is not a port number");
    return *port;
}
long SslFlag(const std::string& value, const char* what) {
    if (value.empty()) return 0;
    const auto flag = SettingNumber(value);
    if (!flag) throw std::invalid_argument(std::string(what) + " \"" + value + "\" in Setting.INI is not a number");
    return *flag;
}
}  // namespace

void ConfigurePop(MailClient& mailman) {
    const EMailSettings& e = Setting::Loaded.EMail;
    mailman.PopHost = e.Server;
    mailman.PopPort = PortOrDefault(e.Port, "The POP3 port");
    mailman.PopUsername = e.UserName;
    mailman.PopPassword = e.Password;
    mailman.PopSsl = SslFlag(e.SSL, "The POP3 SSL setting");
}

void ConfigureSmtp(MailClient& mailman) {
    const SMTPSettings& m = Setting::Loaded.SMTP;
    mailman.SmtpHost = m.Server;
    mailman.SmtpPort = PortOrDefault(m.Port, "The SMTP port");
    mailman.SmtpSsl = SslFlag(m.SSL, "The SMTP SSL setting");
    mailman.SmtpUsername = m.UserName;
    mailman.SmtpPassword = m.Password;
}

namespace EmailtoSMS {

bool Busy = false;
std::string senderAddress;
std::string sSMSText;
std::string sEmailBody;
std::string sEmailSubject;
std::vector<std::string> arrayRecipientMN;
std::string sCurrentNumber;
std::string sSendTime;
std::string sReportNote;

namespace {
// New e-mails fetched from the server in one call.
constexpr std::size_t kFetchBatch = 50;

// The seen list of this run, the saved one merged in at each pass: a list that cannot
// be written does not make the same e-mails go out again at the next tick.
SeenList& SeenThisRun() {
    static SeenList seen;
    return seen;
}

bool SaveSeen(std::string& error) {
    if (Mail().SaveList(SeenListPath(), SeenThisRun().Entries(), error)) return true;
    WriteErrorLog("EmailtoSMS.CheckEmail() ", 75, "The seen list \"" + SeenListPath() + "\" cannot be written: " + error);
    return false;
}

std::string Joined(const std::vector<std::string>& numbers) {
    std::string all;
    for (const auto& n : numbers) all += (all.empty() ? "" : ",") + n;
    return all;
}

// The text of a modem bring-up result, as the user sees it.
const char* InitMessage(ModemStatus status) {
    switch (status) {
    case ModemStatus::OK: return "SMS Modem Connected!";
    case ModemStatus::PINRequired: return "PIN Required!";
    case ModemStatus::PINWrong:
        return "Incorrect PIN entered! Warning: after 3 tries of incorrect PIN entered, your SIM card will be "
               "blocked by TELCO!";
    case ModemStatus::SIMBlocked: return "Your SIM card is blocked by TELCO!";
    case ModemStatus::SIMError: return "Your SIM card has problem!";
    default: return "SMS Modem Not Connected!";
    }
}

bool SameAddress(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A status e-mail or SMS forward of this gateway that came back into its own mailbox
// (one account for POP3 and SMTP): sending it as SMS would start an endless round.
bool OwnReport(const FetchedEmail& email) {
    if (email.FromAddress.empty() || !SameAddress(email.FromAddress, Trim(Setting::Loaded.SMTP.UserName))) return false;
    for (const char* prefix : {"SMS was sent to ", "SMS was NOT sent to ", "Incoming SMS received. Sender: "})
        if (email.Subject.starts_with(prefix)) return true;
    return false;
}

// One e-mail: compose the text, find its numbers, send, report.
void HandleEmail(const FetchedEmail& email) {
    const EMailSettings& s = Setting::Loaded.EMail;
    if (OwnReport(email)) {
        DisplayActivity("This e-Mail is the gateway's own report (\"" + email.Subject + "\"); it is not sent as SMS.");
        return;
    }
    senderAddress = email.FromAddress;
    arrayRecipientMN.clear();
    sCurrentNumber.clear();
    sSendTime.clear();

    std::string text;
    if (s.Sender == "1") text += "\n" + email.From;
    if (s.Date == "1") text += "\n" + email.Date;
    if (s.Subject == "1") text += "\n" + email.Subject;
    if (s.Body == "1") text += (text.empty() ? "" : "\n") + email.Body;
    sSMSText = text;

    sEmailBody = email.Body;
    sEmailSubject = email.Subject;
    CheckRecipientSetting();
    SendSMS(sSMSText);
}

}  // namespace

std::string SeenListPath() { return ProgramPath(kSeenListFile); }

std::string MailboxKey(const MailClient& mailman) {
    const long port = mailman.PopPort != 0 ? mailman.PopPort : (mailman.PopSsl != 0 ? 995 : 110);
    return Trim(mailman.PopHost) + ":" + std::to_string(port) + ":" + mailman.PopUsername;
}

bool IsMobileNumber(const std::string& number) {
    std::size_t digits = 0;
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (!(c == '+' && i == 0))
            return false;
    }
    return digits > 0 && digits <= 20;
}

void ConnectMailServer() {
    StatusCore& form = StatusForm();
    form.SetTimerEnabled(false);
    Busy = true;
    // Every way out gives the timer back and clears the flag, so Stop and the next
    // tick work after any failure.
    struct Restore {
        StatusCore& form;
        ~Restore() {
            form.SetTimerEnabled(true);
            Busy = false;
        }
    } restore{form};

    std::unique_ptr<MailClient> mailman;
    try {
        mailman = Mail().NewMailMan();
        ConfigurePop(*mailman);
        DisplayActivity("Connecting to mail server ...");
        CheckEmail(*mailman);
        mailman.reset();
        DisplayActivity("Connection to mail server is closed.");
    } catch (...) {
        LogCurrentException(std::string("Module.EmailtoSMS.ConnectMailServer() ") + kSource);
        try {
            WriteLog(mailman ? mailman->LastErrorText() : std::string());
        } catch (...) {
        }
    }
}

void CheckEmail(MailClient& mailman) {
    try {
        WriteLog("Begin -- CheckEmail()");
        std::vector<std::string> seenFile;
        std::string error;
        if (!Mail().LoadList(SeenListPath(), seenFile, error)) {
            // Without the list every e-mail on the server would look new.
            WriteErrorLog("EmailtoSMS.CheckEmail() ", 75,
                          "The seen list \"" + SeenListPath() + "\" cannot be read (" + error +
                              "); no e-mail is sent until it can.");
            DisplayActivity("The list of e-mails already sent cannot be read; see the log.");
            return;
        }
        SeenList& seen = SeenThisRun();
        const std::string mailbox = MailboxKey(mailman);
        seen.Merge(seenFile, mailbox, SeenList::Today());
        seenFile.clear();
        WriteLog("Completed -- saAlreadySeen.LoadFromFile");
        clock::yield();

        const auto sa = mailman.GetUidls();
        if (!sa) {
            WriteLog("Notice -- IsNull(sa) = True");
            WriteLog(mailman.LastErrorText());
            // The reason is shown as well: a refused login or an untrusted certificate
            // would otherwise be seen in the log only.
            std::string reason = mailman.LastErrorText();
            std::replace_if(reason.begin(), reason.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
            DisplayActivity("The mailbox cannot be read: " + (reason.empty() ? std::string("no reason given") : reason));
            return;
        }
        WriteLog("Completed -- mailman.GetUidls()");
        const bool refreshed = seen.Listed(mailbox, *sa, SeenList::Today());
        std::vector<std::string> toDownload;
        for (const auto& uidl : *sa) {
            if (seen.Contains(mailbox, uidl)) continue;
            // Only new identifiers are traced: a large mailbox would fill the log each minute.
            WriteLog("Uidl = sa.GetString(i)");
            toDownload.push_back(uidl);
            WriteLog("saUidlsToDownload.Append Uidl");
        }

        if (toDownload.empty()) {
            // Days listed and identifiers forgotten reach the file once a day at most.
            if (refreshed) SaveSeen(error);
            DisplayActivity("There no new e-mails in the inbox.");
        } else {
            // Fetched and handled a batch at a time: a mailbox full of new mail is never
            // held in memory at once, and a transfer that breaks off late keeps the
            // e-mails handled before it.
            for (std::size_t from = 0; from < toDownload.size(); from += kFetchBatch) {
                const std::vector<std::string> batch(
                    toDownload.begin() + static_cast<std::ptrdiff_t>(from),
                    toDownload.begin() + static_cast<std::ptrdiff_t>(std::min(toDownload.size(), from + kFetchBatch)));
                auto bundle = mailman.FetchMultiple(batch);
                if (!bundle)
                    WriteErrorLog("EmailtoSMS.CheckEmail() ", 440,
                                  "The new e-mails could not be fetched: " + mailman.LastErrorText());
                // An e-mail deleted on the server meanwhile is left out of the bundle, and one
                // the server cannot deliver breaks the whole fetch: then fetch one by one, so
                // each e-mail is matched with its own identifier and one bad e-mail does not
                // hold up the others. Two failures in a row: the server is down.
                std::vector<std::pair<std::string, FetchedEmail>> emails;
                bool serverDown = false;
                if (bundle && bundle->size() == batch.size()) {
                    for (std::size_t i = 0; i < batch.size(); ++i) emails.emplace_back(batch[i], std::move((*bundle)[i]));
                } else {
                    int failedInRow = 0;
                    for (const auto& uidl : batch) {
                        auto one = mailman.FetchMultiple({uidl});
                        if (!one) {
                            WriteErrorLog("EmailtoSMS.CheckEmail() ", 440,
                                          "The e-mail \"" + uidl + "\" could not be fetched; it is tried again at the next "
                                          "pass: " + mailman.LastErrorText());
                            if (++failedInRow >= 2) {
                                serverDown = true;
                                break;
                            }
                            continue;
                        }
                        failedInRow = 0;
                        if (one->size() == 1) emails.emplace_back(uidl, std::move(one->front()));
                    }
                }
                bundle.reset();
                WriteLog("Number of e-mails: " + std::to_string(emails.size()));
                for (const auto& [uidl, email] : emails) {
                    WriteLog("Set email = bundle.GetEmail(i)");
                    try {
                        SendProgress::Begin(mailbox, uidl);
                        HandleEmail(email);
                    } catch (...) {
                        // Not handled: tried again at the next tick; the others go on.
                        LogCurrentException("EmailtoSMS.CheckEmail() ");
                        continue;
                    }
                    seen.Add(mailbox, uidl, SeenList::Today());
                    if (SaveSeen(error)) {
                        WriteLog("sa.SaveToFile");
                        SendProgress::End();
                    }
                }
                if (serverDown) return;
            }
        }
        senderAddress.clear();
        WriteLog("After EmailtoSMS.senderAddress() is cleared, the value now:" + senderAddress);
        WriteLog("CheckEmail() Completed.");
    } catch (...) {
        LogCurrentException("EmailtoSMS.CheckEmail() ");
    }
}

void CheckRecipientSetting() {
    const EMailSettings& s = Setting::Loaded.EMail;
    try {
        if (!s.Recipient.empty()) arrayRecipientMN = ExtractMobileNumber::ExtractHP(s.Recipient);
        if (s.Line1 == "1") {
            const std::string& body = sEmailBody;
            WriteLog("CheckRecipientSetting() - sEmailBody: " + body);
            std::string list;
            std::size_t cut = std::string::npos;
            // Brackets count only where they open in the first line with text: a
            // "(03) 5555 1234" further down is no list of recipients.
            const auto textStart = body.find_first_not_of(" \t\r\n");
            const auto firstTextBreak = body.find('\n', textStart == std::string::npos ? 0 : textStart);
            const auto open = body.find('(');
            if (open == std::string::npos || open > firstTextBreak) {
                cut = body.find('\n');
                if (cut == std::string::npos)
                    throw std::invalid_argument("the first line of the body is not followed by a line break");
                list = Trim(body.substr(0, cut));
                if (!list.empty() && list.back() == '\r') list = Trim(list.substr(0, list.size() - 1));
                WriteLog("CheckRecipientSetting() - sListofRecipient: " + list);
            } else {
                const auto close = body.find(')', open + 1);
                if (close == std::string::npos)
                    throw std::invalid_argument("the body has \"(\" without \")\"");
                list = Trim(body.substr(open + 1, close - open - 1));
                WriteLog("CheckRecipientSetting() - sListofRecipient inside the bracket: " + list);
                cut = body.find('\n', close);
            }
            // The text begins after the line break that ends the numbers.
            sSMSText = cut == std::string::npos ? std::string() : body.substr(cut + 1);
            WriteLog("CheckRecipientSetting() - sSMSText: " + sSMSText);
            arrayRecipientMN = ExtractMobileNumber::ExtractHP(list);
        }
        if (s.Subject_MN == "1") arrayRecipientMN = ExtractMobileNumber::ExtractHP(Trim(sEmailSubject));
    } catch (...) {
        LogCurrentException(std::string("Module.EmailtoSMS.CheckRecipientSetting() ") + kSource);
    }
    for (const auto& number : arrayRecipientMN) WriteLog("EmailtoSMS.arrayRecipientMN: " + number);
}

namespace {
// Why no SMS can be made of the text, or nothing.
std::string Unsendable(const LongSMS::ModemText& carried) {
    if (carried.text.find_first_not_of(" \t\r\n\f\v") == std::string::npos)
        return "The SMS was NOT sent: the e-mail holds no text to send.";
    if (carried.nothingCarried)
        return "The SMS was NOT sent: none of its characters can be sent as SMS (the modem sends the GSM alphabet "
               "only): " + carried.replaced;
    return {};
}

// Sends the text to one number, or the rest of it after a restart. True when all of it
// went out; a long text names the "i/N" of the pieces that did not.
bool SendToNumber(GatewayModem& modem, const std::string& text, const std::string& number, std::size_t index,
                  std::vector<std::string>& notSent) {
    LongSMS::Pieces pieces;
    pieces.sent = SendProgress::PiecesSent(index, number);
    pieces.onSent = [&](int sent) { SendProgress::SetPiecesSent(index, number, sent); };
    if (LongSMS::Septets(text) > 160) {
        const std::string& limitText = Setting::Loaded.EMail.Limit;
        auto limit = SettingNumber(limitText);
        if (!limit || *limit < 1) {
            WriteErrorLog(std::string("Module.EmailtoSMS.SendSMS() ") + kSource, 13,
                          "The limit of parts \"" + limitText + "\" in Setting.INI is not a number from 1 to 9; 1 is used");
            limit = 1;
        }
        LongSMS::SendLongSMS(static_cast<std::int16_t>(std::min(*limit, 99L)), text, number, &pieces);
        notSent = pieces.notSent;
        return notSent.empty();
    }
    if (pieces.sent >= 1) return true;
    if (!modem.SendSMS(number, LongSMS::ForModem(text).text)) return false;
    pieces.onSent(1);
    return true;
}

std::string Listed(const std::vector<std::string>& items) {
    std::string all;
    for (const auto& i : items) all += (all.empty() ? "" : ", ") + i;
    return all;
}
}  // namespace

bool SendSMS(const std::string& text) {
    bool anySent = false;
    try {
        sReportNote.clear();
        if (arrayRecipientMN.empty()) {
            DisplayActivity("This e-Mail -- " + std::string(vbCrLf) + text + vbCrLf +
                            "has NOT been send as SMS: no mobile number was found for it!");
            sCurrentNumber.clear();
            StatusReport::SendStatusReportByEmail(false);
            return false;
        }
        const LongSMS::ModemText carried = LongSMS::ForModem(text);
        if (const std::string why = Unsendable(carried); !why.empty()) {
            // Nothing the handset could read: no SMS, and the sender learns why.
            for (std::size_t i = 0; i < arrayRecipientMN.size(); ++i) {
                sCurrentNumber = Trim(arrayRecipientMN[i]);
                if (SendProgress::Reported(i, sCurrentNumber)) continue;
                DisplayActivity("This e-Mail -- " + std::string(vbCrLf) + text + vbCrLf + "has NOT been send to " +
                                sCurrentNumber + " as SMS! " + why);
                sReportNote = why;
                StatusReport::SendStatusReportByEmail(false);
                SendProgress::SetReported(i, sCurrentNumber);
            }
            sReportNote.clear();
            return false;
        }
        GatewayModem& modem = SMSObject();
        if (modem.ConnectToGSM()) {
            DisplayActivity("SMS Modem is connected to GSM Network.");
        } else {
            DisplayActivity("SMS Modem is disconnected from the GSM Network. Re-initialising SMS Modem ...");
            const GSMModemSettings& g = Setting::Loaded.GSM_Modem;
            ModemStatus result = ModemStatus::Fail;
            const auto port = SettingNumber(g.Port);
            if (!port || *port < 1 || *port > 32767)
                WriteErrorLog(std::string("Module.EmailtoSMS.SendSMS() ") + kSource, 13,
                              "The modem port \"" + g.Port + "\" in Setting.INI is not a port number");
            else
                result = modem.ModemInit(static_cast<int>(*port), g.PIN);
            DisplayActivity(InitMessage(result));
            if (result != ModemStatus::OK) {
                // The report names this e-mail's own numbers.
                sCurrentNumber = Joined(arrayRecipientMN);
                StatusReport::SendStatusReportByEmail(false);
                return false;
            }
        }

        for (std::size_t i = 0; i < arrayRecipientMN.size(); ++i) {
            const std::string number = Trim(arrayRecipientMN[i]);
            sCurrentNumber = number;
            sReportNote.clear();
            // Sent and reported before the program was ended: nothing goes twice.
            if (SendProgress::Reported(i, number)) continue;
            bool sent = false;
            if (!IsMobileNumber(number)) {
                WriteLog("SendSMS() - \"" + number + "\" is not a mobile number; nothing is sent to it.");
            } else {
                try {
                    std::vector<std::string> notSent;
                    sent = SendToNumber(modem, text, number, i, notSent);
                    if (!notSent.empty()) sReportNote = "These parts of the SMS were NOT sent: " + Listed(notSent);
                } catch (...) {
                    LogCurrentException(std::string("Module.EmailtoSMS.SendSMS() ") + kSource);
                }
                if (!carried.replaced.empty())
                    sReportNote += std::string(sReportNote.empty() ? "" : "\n") +
                                   "These characters cannot be sent as SMS and reach the handset as \"?\": " +
                                   carried.replaced;
            }
            sSendTime = NowText();
            if (sent) {
                DisplayActivity("This e-Mail -- " + std::string(vbCrLf) + text + vbCrLf + "has been successfully send to " +
                                number + " as SMS!");
                anySent = true;
            } else {
                DisplayActivity("This e-Mail -- " + std::string(vbCrLf) + text + vbCrLf + "has NOT been send to " +
                                number + " as SMS!" + (sReportNote.empty() ? "" : " " + sReportNote));
            }
            StatusReport::SendStatusReportByEmail(sent);
            SendProgress::SetReported(i, number);
        }
        sReportNote.clear();
    } catch (...) {
        LogCurrentException(std::string("Module.EmailtoSMS.SendSMS() ") + kSource);
    }
    return anySent;
}

void Reset() {
    Busy = false;
    senderAddress.clear();
    sSMSText.clear();
    sEmailBody.clear();
    sEmailSubject.clear();
    arrayRecipientMN.clear();
    sCurrentNumber.clear();
    sSendTime.clear();
    sReportNote.clear();
    SeenThisRun().Clear();
}

}  // namespace EmailtoSMS

namespace ExtractMobileNumber {

std::string CleanMobileNumbers(const std::string& list) {
    std::string clean;
    for (char c : list)
        if (c != '\r' && c != '\n') clean += c;
    clean = parlix::text::cleanNumber(clean);
    try {
        WriteLog("CleanMobileNumbers: " + clean);
    } catch (...) {
        LogCurrentException("Module.ExtractMobileNumber.CleanMobileNumbers() ");
    }
    return clean;
}

std::vector<std::string> ExtractHP(const std::string& list) {
    std::vector<std::string> numbers;
    const std::string clean = CleanMobileNumbers(list);
    if (clean.empty()) return numbers;
    std::size_t start = 0;
    for (;;) {
        const auto comma = clean.find(',', start);
        numbers.push_back(clean.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return numbers;
}

}  // namespace ExtractMobileNumber

}  // namespace parlix::gateway
