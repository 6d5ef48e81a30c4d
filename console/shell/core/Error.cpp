#include "console/shell/core/Error.h"

#include "console/shell/core/ConnectDB.h"
#include "platform/errorlog/ErrorLog.h"

#include <filesystem>

#ifndef PARLIX_CONSOLE_VERSION
#define PARLIX_CONSOLE_VERSION "4.0.1"
#endif

namespace parlix::console {

std::string ErrorLogTitle() { return std::string("Parlix version ") + PARLIX_CONSOLE_VERSION; }

void WriteErrorLog(const std::string& location, long number, const std::string& description) {
    errorlog::Append((std::filesystem::path(AppPath()) / kErrorLogName).string(), ErrorLogTitle(), location,
                     number, description);
}

void LogCurrentException(const std::string& location) {
    long number = 0;
    std::string description;
    errorlog::CurrentException(number, description);
    WriteErrorLog(location, number, description);
}

}  // namespace parlix::console
