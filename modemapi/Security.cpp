#include "modemapi/Security.h"

#include "modemapi/Replies.h"
#include "platform/serial/SerialPort.h"

#include <string>

namespace modemapi {

int CheckPIN(Transport& t)
{
    try {
        for (int attempt = 0; attempt < 12; ++attempt) {
            std::string reply;
            if (!SendATWaitColon(t, "AT+CPIN?", reply, 7))
                continue;
            if (reply.find("READY") != std::string::npos)
                return 0;
            if (reply.find("SIM PIN") != std::string::npos)
                return 1;
            if (reply.find("SIM PUK") != std::string::npos)
                return 2;
            if (reply.find("ERROR") != std::string::npos)
                return 3;
        }
    } catch (const std::exception&) {
    }
    return 3;
}

int EnterPIN(Transport& t, std::string_view pin)
{
    // A line break would end the command and start another, Ctrl-Z or ESC would end or
    // cancel it: such a PIN is wrong before anything is written.
    if (pin.find_first_of("\r\n\x1A\x1B") != std::string_view::npos)
        return 0;
    try {
        std::string reply;
        return SendATCommand(t, "AT+CPIN=" + std::string(pin), reply, 7) ? 1 : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

int PINAttempts(Transport& t)
{
    // 27.007 names the count +CPINR; older modems have a vendor command of their own
    // and answer ERROR to the others.
    static const char* const queries[] = {"AT+CPINR=\"SIM PIN\"", "AT^CPIN?", "AT+QPINC=\"SC\"", "AT+XPINCNT",
                                          "AT+CPINC"};
    try {
        for (const char* query : queries) {
            std::string reply;
            if (!SendATCommand(t, query, reply, 3))
                continue;
            if (const auto left = Replies::PINAttemptsLeft(reply))
                return *left;
        }
    } catch (const std::exception&) {
    }
    return -1;
}

bool CloseModem(Transport& t)
{
    try {
        t.port().setPortOpen(false);
        return true;
    } catch (const parlix::serial::SerialError& e) {
        if (e.number() != parlix::serial::PortAlreadyOpen)
            return false;
        // The control reports a port that is already closed this way: closed is closed.
        try {
            t.port().setPortOpen(false);
        } catch (const std::exception&) {
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace modemapi
