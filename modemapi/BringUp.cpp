#include "modemapi/BringUp.h"

#include <string>

#include "modemapi/Replies.h"

namespace modemapi {

namespace {

constexpr const char* kFirstSettings = "115200,N,8,1";
constexpr const char* kLaterSettings = "9600,N,8,1";
constexpr int kProbes = 3;
constexpr int kMaxCsmsSends = 14;
constexpr int kSettleMs = 500;

bool has(const std::string& s, std::string_view what)
{
    return s.find(what) != std::string::npos;
}

ModemStatus closed(Transport& t, ModemStatus result)
{
    CloseModem(t);
    return result;
}

// A program killed half-way through a command, or at the ">" prompt of a send, leaves
// the modem waiting for the rest: every "AT" would then go into that message. ESC
// abandons a message; in command mode it is a stray character before "AT", which
// modems skip. Whatever the modem answers to it is dropped.
void leaveHalfWrittenCommand(Transport& t)
{
    t.port().output("\x1B");
    Discard(t, kSettleMs);
}

// Finds the baud rate at which the modem answers "AT"; leaves the port open on success.
bool probe(Transport& t)
{
    auto& port = t.port();
    for (int attempt = 0; attempt < kProbes; ++attempt) {
        if (port.portOpen())
            port.setPortOpen(false);
        port.setPortOpen(true);
        leaveHalfWrittenCommand(t);
        std::string answer;
        if (WaitForOK(t, "AT", answer, 7))
            return true;
        CloseModem(t);
        port.setSettings(kLaterSettings);
    }
    return false;
}

// With `attemptsLeft`, the SIM's count of PIN attempts is read before the PIN goes and
// again after a refusal, and the last attempt is never used: a wrong PIN then would
// lock the SIM until its PUK is entered.
ModemStatus pin(Transport& t, std::string_view PIN, int* attemptsLeft)
{
    switch (CheckPIN(t)) {
    case 0:
        return ModemStatus::OK;
    case 1:
        if (PIN.empty())
            return ModemStatus::PINRequired;
        if (attemptsLeft) {
            *attemptsLeft = PINAttempts(t);
            if (*attemptsLeft >= 0 && *attemptsLeft <= 1)
                return ModemStatus::PINRequired;
        }
        if (EnterPIN(t, PIN) == 1)
            return ModemStatus::OK;
        if (attemptsLeft)
            *attemptsLeft = PINAttempts(t);
        return ModemStatus::PINWrong;
    case 2:
        return ModemStatus::SIMBlocked;
    default:
        return ModemStatus::SIMError;
    }
}

// The modem answers +CMS ERROR: 515 while it is still starting up.
bool smsService(Transport& t)
{
    for (int sends = 1;; ++sends) {
        std::string reply;
        if (SendATCommand(t, "AT+CSMS=0", reply, 7))
            return true;
        if (!has(reply, "+CMS ERROR: 515") || sends >= kMaxCsmsSends)
            return false;
        PauseSeconds(t, 7);
    }
}

}  // namespace

ModemStatus OpenAndUnlock(Transport& t, int intPort, std::string_view PIN, int* attemptsLeft)
{
    auto& port = t.port();
    // The port number cannot change while open, and a new bring-up starts closed.
    if (port.portOpen())
        port.setPortOpen(false);
    port.setCommPort(intPort);
    port.setSettings(kFirstSettings);
    if (!probe(t))
        return closed(t, ModemStatus::Fail);
    const ModemStatus sim = pin(t, PIN, attemptsLeft);
    return sim == ModemStatus::OK ? sim : closed(t, sim);
}

bool SignalAndHeaders(Transport& t)
{
    std::string answer;
    if (!WaitForOK(t, "AT+CSQ", answer, 7) || has(answer, "+CSQ: 0"))
        return false;
    answer.clear();
    return WaitForOK(t, "AT+CSDH=1", answer, 7);
}

ModemStatus InitModem(Transport& t, int intPort, std::string_view PIN, int* attemptsLeft)
{
    int attempts = -1;
    if (!attemptsLeft)
        attemptsLeft = &attempts;
    *attemptsLeft = -1;
    try {
        const ModemStatus opened = OpenAndUnlock(t, intPort, PIN, attemptsLeft);
        if (opened != ModemStatus::OK)
            return opened;
        if (!smsService(t) || !SignalAndHeaders(t))
            return closed(t, ModemStatus::Fail);

        std::string reply;
        if (!SendATCommand(t, "AT+CMGF=0", reply, 7))
            return closed(t, ModemStatus::Fail);
        return ModemStatus::OK;
    } catch (const std::exception&) {
        return closed(t, ModemStatus::Fail);
    }
}

bool ConnectToGSM(Transport& t)
{
    try {
        std::string reply;
        if (!SendATCommand(t, "AT+CREG?", reply, 7)) {
            CloseModem(t);
            return false;
        }
        return Replies::IsRegistered(reply);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace modemapi
