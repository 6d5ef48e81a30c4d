#include "engine/ErrorLog.h"

#include "engine/EngineGlobals.h"
#include "platform/errorlog/ErrorLog.h"

#include <filesystem>

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
    errorlog::Append(EnginePath(kErrorLogName), "Parlix-SMS Engine version " + EngineVersion, location, number,
                     description);
}

long ErrorNumber(const std::exception& e) { return errorlog::ErrorNumber(e); }

void LogCurrentException(const std::string& location) {
    long number = 0;
    std::string description;
    errorlog::CurrentException(number, description);
    WriteErrorLog(location, number, description);
}

}  // namespace parlix::engine
