#include "mailgateway/Log.h"

#include "mailgateway/Gateway.h"
#include "platform/clock/Clock.h"
#include "platform/logfile/LogFile.h"
#include "platform/serial/SerialPort.h"

#include <ctime>
#include <new>
#include <stdexcept>

namespace parlix::gateway {

std::string LogFileName(std::chrono::system_clock::time_point t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    return "Log_" + std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
           std::to_string(local.tm_mday) + ".txt";
}

namespace {
void Append(const std::string& text) {
    const auto now = clock::now();
    const std::string date = DateTimeText(now);
    std::string entry = "Parlix E-Mail Edition version " + GatewayVersion + "(beta)";
    entry += vbCrLf;
    entry += "*** Log dated on " + date + " ***";
    entry += vbCrLf;
    entry += text;
    entry += vbCrLf;
    entry += vbCrLf;  // the line end that closes every written line
    // Opened and closed per entry, so the user can read the log while the service runs;
    // it holds addresses and texts, so it is the owner's alone. A repeat of the last entry
    // within a minute is counted, not written again.
    logfile::Append(ProgramPath(LogFileName(now)), {entry, text, date}, vbCrLf);
}
}  // namespace

void WriteLog(const std::string& text) { Append(text); }

void WriteErrorLog(const std::string& location, long number, const std::string& description) {
    try {
        std::string text = "Error Location: " + (location.empty() ? std::string("N/A") : location) + vbCrLf;
        text += "Error Number: " + std::to_string(number) + vbCrLf;
        text += "Error Description: " + description + vbCrLf;
        Append(text);
    } catch (...) {
        // The log is the last resort; nothing more can be done here.
    }
}

long ErrorNumber(const std::exception& e) {
    if (auto* port = dynamic_cast<const serial::SerialError*>(&e)) return port->number();
    if (dynamic_cast<const std::invalid_argument*>(&e)) return 13;
    if (dynamic_cast<const std::out_of_range*>(&e)) return 9;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return 7;
    return 440;
}

void LogCurrentException(const std::string& location) {
    try {
        throw;
    } catch (const std::exception& e) {
        WriteErrorLog(location, ErrorNumber(e), e.what());
    } catch (...) {
        WriteErrorLog(location, 440, "unknown error");
    }
}

}  // namespace parlix::gateway
