#include "engine/RWini.h"

#include "engine/EngineGlobals.h"
#include "engine/ErrorLog.h"
#include "platform/settings/Settings.h"

#include <cctype>

namespace parlix::engine {

std::string ReadIniValue(const std::string& section, const std::string& key, const std::string& file) {
    try {
        std::string lower = key;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return settings::readKey(file, section, lower, "");
    } catch (...) {
        LogCurrentException("RWini Main: " + std::to_string(EngineModemID));
        return "";
    }
}

int ReadEngineModemID(const std::string& file) {
    const std::string text = ReadIniValue("Engine_Setting", "EngineModemID", file);
    if (text.empty()) return 1;
    bool digits = text.size() <= 9;
    for (char c : text) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    const int value = digits ? std::stoi(text) : 0;
    if (value < 1) {
        WriteErrorLog("RWini Main: EngineModemID", 13,
                      "EngineModemID \"" + text + "\" in " + file + " is not an engine number; using 1");
        return 1;
    }
    return value;
}

}  // namespace parlix::engine
