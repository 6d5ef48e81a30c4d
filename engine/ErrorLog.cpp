#include "engine/ErrorLog.h"

#include "engine/EngineGlobals.h"
#include "engine/GeneralDate.h"
#include "platform/clock/Clock.h"
#include "platform/db/Value.h"
#include "platform/serial/SerialPort.h"
#include "platform/settings/Settings.h"

#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>

#ifndef PARLIX_ENGINE_VERSION
#define PARLIX_ENGINE_VERSION "1.0.0"
#endif

namespace parlix::engine {

std::string EngineFolder = ".";
int EngineModemID = 1;
std::string EngineVersion = PARLIX_ENGINE_VERSION;

std::string EnginePath(const std::string& fileName) {
    return (std::filesystem::path(EngineFolder) / fileName).string();
}

void WriteErrorLog(const std::string& location, long number, const std::string& description) {
    try {
        std::string record;
        record += "*** Parlix-SMS Engine version " + EngineVersion + " ***\r\n";
        record += GeneralDate(clock::now()) + "\r\n";
        record += "Error Location: " + (location.empty() ? std::string("N/A") : location) + "\r\n";
        record += "Error Number: " + std::to_string(number) + "\r\n";
        record += "Error Description: " + description + "\r\n";
        record += "\r\n";
        // Opened and closed per record, so other programs can read the log in between.
        std::ofstream out(EnginePath(kErrorLogName), std::ios::binary | std::ios::app);
        out << record;
    } catch (...) {
        // The log is the last resort; nothing more can be done here.
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

void LogCurrentException(const std::string& location) {
    try {
        throw;
    } catch (const std::exception& e) {
        WriteErrorLog(location, ErrorNumber(e), e.what());
    } catch (...) {
        WriteErrorLog(location, 440, "unknown error");
    }
}

}  // namespace parlix::engine
