#include "mailgateway/Passes.h"

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/MailClient.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusReport.h"
#include "platform/clock/Clock.h"
#include "platform/files/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace parlix::gateway::SMStoEmail {

using StatusReport::DisplayActivity;

bool Busy = false;

namespace {
constexpr const char* kLocation = "Module.SMStoEmail.PollIncomingSMS() ";

// Each waiting SMS is one file in the pending folder: sender, time text, then the
// text itself; file names sort in the order the messages arrived.
struct PendingState {
    bool loaded = false;
    std::vector<std::pair<std::string, ReceivedSMS>> list;  // file name, message
    unsigned long next = 0;
};
PendingState& State() {
    static PendingState state;
    return state;
}

std::string Encode(const ReceivedSMS& sms) { return sms.sender + "\n" + sms.timeText + "\n" + sms.text; }

std::optional<ReceivedSMS> Decode(const std::string& content) {
    const auto first = content.find('\n');
    const auto second = first == std::string::npos ? first : content.find('\n', first + 1);
    if (second == std::string::npos) return std::nullopt;
    return ReceivedSMS{content.substr(0, first), content.substr(second + 1), content.substr(first + 1, second - first - 1)};
}

// Loads the folder once per run; what it held stays waiting.
std::vector<std::pair<std::string, ReceivedSMS>>& Waiting() {
    PendingState& state = State();
    if (state.loaded) return state.list;
    state.loaded = true;
    std::error_code ec;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(PendingPath(), ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && it->path().extension() == ".sms") names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        std::ifstream in(std::filesystem::path(PendingPath()) / name, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        if (auto sms = Decode(content.str()))
            state.list.emplace_back(name, std::move(*sms));
        else
            WriteErrorLog(kLocation, 440, "\"" + name + "\" in \"" + PendingPath() + "\" is not a received SMS; left there");
    }
    return state.list;
}

// Keeps one SMS in its own file (written beside it, renamed into place, owner only):
// the modem has already deleted it from the SIM.
std::string Keep(const ReceivedSMS& sms) {
    PendingState& state = State();
    const auto stamp = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now().time_since_epoch()).count();
    char name[64];
    std::snprintf(name, sizeof name, "%015lld-%06lu.sms", static_cast<long long>(stamp), state.next++ % 1000000);
    const std::filesystem::path folder(PendingPath());
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
    if (files::ReplaceDurably((folder / name).string(), Encode(sms)) != 0)
        WriteErrorLog(kLocation, 75, "The received SMS cannot be kept in \"" + PendingPath() +
                                         "\"; it stays in memory until it has been forwarded");
    return name;
}
}  // namespace

std::string PendingPath() { return ProgramPath(kPendingFolder); }

std::vector<ReceivedSMS> Pending() {
    std::vector<ReceivedSMS> list;
    for (const auto& [name, sms] : Waiting()) list.push_back(sms);
    return list;
}

void PollIncomingSMS() {
    Busy = true;
    struct Clear {
        ~Clear() { Busy = false; }
    } clear;
    try {
        GatewayModem& modem = SMSObject();
        DisplayActivity("Initializing the modem ...");
        if (modem.ConnectToGSM()) {
            DisplayActivity("SMS Modem is connected.");
            ReadIncomingSMS();
        } else if (modem.ConnectToGSM()) {
            ReadIncomingSMS();
        } else {
            DisplayActivity("SMS Modem is dis-connected from GSM Network. Will begin reconnection ...");
            const GSMModemSettings& g = Setting::Loaded.GSM_Modem;
            const auto port = SettingNumber(g.Port);
            ModemStatus result = ModemStatus::Fail;
            if (!port || *port < 1 || *port > 32767)
                WriteErrorLog(kLocation, 13, "The modem port \"" + g.Port + "\" in Setting.INI is not a port number");
            else
                result = modem.ModemInit(static_cast<int>(*port), g.PIN);
            if (result != ModemStatus::OK) {
                DisplayActivity("SMS Modem Not Connected!");
            } else {
                DisplayActivity("SMS Modem Connected.");
                ReadIncomingSMS();
            }
        }
    } catch (...) {
        LogCurrentException(kLocation);
    }
    try {
        ForwardPendingSMS();
    } catch (...) {
        LogCurrentException(kLocation);
    }
}

void ReadIncomingSMS() {
    GatewayModem& modem = SMSObject();
    if (!modem.ReadSMS()) {
        DisplayActivity("No incoming SMS.");
        return;
    }
    DisplayActivity("New incoming SMS.");
    // The modem has deleted it from the SIM: it is kept here until its forward is accepted.
    auto& waiting = Waiting();  // read the folder before this SMS joins it
    ReceivedSMS sms{modem.MN(), modem.MSG(), "Date & Time: " + modem.SCTS()};
    std::string name = Keep(sms);
    waiting.emplace_back(std::move(name), std::move(sms));
}

void ForwardPendingSMS() {
    auto& waiting = Waiting();
    // One forward the server refuses holds up no other; two failures in a row mean the
    // server is down, and later passes try again.
    int failedInRow = 0;
    for (auto it = waiting.begin(); it != waiting.end() && failedInRow < 2;) {
        if (!ForwardSMSByEmail(it->second)) {
            ++failedInRow;
            ++it;
            continue;
        }
        failedInRow = 0;
        std::error_code ec;
        if (!std::filesystem::remove(std::filesystem::path(PendingPath()) / it->first, ec) && ec)
            WriteErrorLog(kLocation, 75, "\"" + it->first + "\" cannot be removed from \"" + PendingPath() +
                                             "\"; its SMS may be forwarded again after a restart");
        it = waiting.erase(it);
    }
}

bool ForwardSMSByEmail(const ReceivedSMS& sms) {
    DisplayActivity("Connecting to mail server..." + std::string(vbCrLf));
    std::unique_ptr<MailClient> mailman = Mail().NewMailMan();
    long result = 0;
    try {
        ConfigureSmtp(*mailman);
        const SMTPSettings& m = Setting::Loaded.SMTP;
        OutgoingEmail email;
        email.Subject = "Incoming SMS received. Sender: " + sms.sender;
        email.Body = "Date and time received: " + sms.timeText + "\n" + "Content of SMS:- " + "\n" + sms.text;
        email.From = m.UserName;
        email.AddTo(m.EmailADD);
        email.Date = IsoDateTime(clock::now());
        result = mailman->SendEmail(email);
        if (result != 1)
            WriteErrorLog(kLocation, 440, "The forward of an incoming SMS was not accepted: " + mailman->LastErrorText());
    } catch (...) {
        LogCurrentException(kLocation);
    }
    DisplayActivity(result == 1 ? "Mail sent!" : "E-mail sending error!");
    return result == 1;
}

void Reset() {
    Busy = false;
    State() = PendingState{};
}

}  // namespace parlix::gateway::SMStoEmail
