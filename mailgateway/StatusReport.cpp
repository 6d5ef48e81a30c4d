#include "mailgateway/StatusReport.h"

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/MailClient.h"
#include "mailgateway/Passes.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusCore.h"
#include "platform/clock/Clock.h"
#include "platform/text/Text.h"

#include <memory>

namespace parlix::gateway::StatusReport {

namespace {
constexpr std::size_t kCutAbove = 1000;
constexpr std::size_t kKeep = 500;

// The kept mail and e-mail objects of the status e-mails.
std::unique_ptr<MailClient>& KeptMailMan() {
    static std::unique_ptr<MailClient> mailman;
    return mailman;
}
OutgoingEmail& KeptEmail() {
    static OutgoingEmail email;
    return email;
}

// An address the status e-mail may be sent to: one address, nothing that could
// start another recipient or a new protocol line.
bool IsMailAddress(const std::string& address) {
    const auto at = address.find('@');
    if (address.empty() || at == 0 || at == std::string::npos || at + 1 == address.size()) return false;
    if (address.find('@', at + 1) != std::string::npos) return false;
    for (unsigned char c : address)
        if (c <= ' ' || c == 0x7f || c == ',' || c == ';' || c == '<' || c == '>' || c == '"') return false;
    return true;
}
}  // namespace

void DisplayActivity(const std::string& text) {
    try {
        const std::string line = NowText() + " > " + text;
        StatusCore& form = StatusForm();
        std::string box = form.txtLog();
        if (box.empty()) {
            box = line;
        } else {
            // Characters count as the text box counts them (UTF-16 units).
            std::u16string units = parlix::text::toUtf16(box);
            if (units.size() > kCutAbove) {
                std::size_t from = units.size() - kKeep;
                if (from < units.size() && units[from] >= 0xDC00 && units[from] <= 0xDFFF) ++from;
                box = "..." + parlix::text::toUtf8(std::u16string_view(units).substr(from));
            }
            box += vbCrLf + line;
        }
        form.SetLog(std::move(box));
        WriteLog("Activity Log: " + line);
    } catch (...) {
        LogCurrentException("Module.StatusReport.DisplayActivity() ");
    }
}

void AppendToActivityBox(const std::string& text) {
    StatusCore& form = StatusForm();
    form.SetLog(form.txtLog() + text);
}

void SendStatusReportByEmail(bool sent) {
    auto& mailman = KeptMailMan();
    OutgoingEmail& email = KeptEmail();
    try {
        AppendToActivityBox(vbCrLf + NowText() + ": connecting to mail server..." + vbCrLf);
        if (!mailman) mailman = Mail().NewMailMan();
        ConfigureSmtp(*mailman);
        WriteLog("SendStatusReportByEmail() - EmailtoSMS.senderAddress:" + EmailtoSMS::senderAddress);

        const Settings& s = Setting::Loaded;
        email.From = s.SMTP.UserName;
        if (IsMailAddress(EmailtoSMS::senderAddress))
            email.AddTo(EmailtoSMS::senderAddress);
        else
            WriteLog("SendStatusReportByEmail() - the sender's address \"" + EmailtoSMS::senderAddress +
                     "\" is not an e-mail address; no status e-mail goes to it.");
        email.Date = IsoDateTime(clock::now());
        if (!s.Notification.CC.empty()) email.AddCC(s.Notification.CC);

        const std::string& number = EmailtoSMS::sCurrentNumber;
        if (sent) {
            email.Subject = "SMS was sent to " + number + " (" + EmailtoSMS::sEmailSubject + ")";
            email.Body = "SMS was sent on: " + EmailtoSMS::sSendTime + "\n" + "Content of SMS: " + "\n" +
                         EmailtoSMS::sSMSText;
        } else {
            email.Subject = "SMS was NOT sent to " + number + " (" + EmailtoSMS::sEmailSubject + ")";
            email.Body = std::string("Content of SMS: ") + "\n" + EmailtoSMS::sSMSText;
        }
        if (!EmailtoSMS::sReportNote.empty()) email.Body += "\n\n" + EmailtoSMS::sReportNote;

        long result = 0;
        if (!email.To.empty() || !email.CC.empty()) {
            result = mailman->SendEmail(email);
            if (result != 1)
                WriteErrorLog("SendStatusReportByEmail", 440,
                              "The status e-mail was not accepted: " + mailman->LastErrorText());
        }
        AppendToActivityBox(vbCrLf + NowText() +
                            (result == 1 ? ": Success -- send status of SMS has been reported via e-mail."
                                         : ": Failure -- send status of SMS HAS NOT been reported by e-mail!"));
    } catch (...) {
        LogCurrentException("SendStatusReportByEmail");
        try {
            WriteLog(mailman ? mailman->LastErrorText() : std::string());
        } catch (...) {
        }
    }
    email.ClearTo();
    email.ClearCC();
}

void Release() {
    KeptMailMan().reset();
    KeptEmail() = OutgoingEmail{};
}

}  // namespace parlix::gateway::StatusReport
