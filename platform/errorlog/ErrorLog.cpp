#include "platform/errorlog/ErrorLog.h"

#include "platform/clock/Clock.h"
#include "platform/db/Value.h"
#include "platform/logfile/LogFile.h"
#include "platform/serial/SerialPort.h"
#include "platform/settings/Settings.h"

#include <ctime>
#include <new>
#include <stdexcept>

namespace parlix::errorlog {

std::string GeneralDate(std::chrono::system_clock::time_point t) {
    std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    char buf[128];
    std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}

std::string Record(const std::string& title, const std::string& date, const std::string& location,
                   long number, const std::string& description) {
    std::string record;
    record += "*** " + title + " ***\r\n";
    record += date + "\r\n";
    record += "Error Location: " + (location.empty() ? std::string("N/A") : location) + "\r\n";
    record += "Error Number: " + std::to_string(number) + "\r\n";
    record += "Error Description: " + description + "\r\n";
    record += "\r\n";
    return record;
}

bool Append(const std::string& path, const std::string& title, const std::string& location,
            long number, const std::string& description) {
    try {
        const std::string date = GeneralDate(clock::now());
        // Opened and closed per record, so other programs can read the log in between.
        // A record that only repeats the last one is counted (the date is no part of it).
        logfile::Append(path,
                        {Record(title, date, location, number, description), Record(title, "", location, number, description),
                         date},
                        "\r\n");
        return true;
    } catch (...) {
        return false;  // the log is the last resort; nothing more can be done here
    }
}

long ErrorNumber(const std::exception& e) {
    if (auto* db = dynamic_cast<const db::DbError*>(&e); db && db->number() != 0) return db->number();
    if (auto* port = dynamic_cast<const serial::SerialError*>(&e)) return port->number();
    if (dynamic_cast<const settings::SettingsError*>(&e)) return 75;  // path/file access error
    if (dynamic_cast<const std::invalid_argument*>(&e) || dynamic_cast<const std::out_of_range*>(&e)) return 13;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return 7;
    return 440;
}

void CurrentException(long& number, std::string& description) {
    try {
        throw;
    } catch (const std::exception& e) {
        number = ErrorNumber(e);
        description = e.what();
    } catch (...) {
        number = 440;
        description = "unknown error";
    }
}

}  // namespace parlix::errorlog
