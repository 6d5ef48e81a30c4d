// Reading the engine's settings file.
#pragma once

#include <string>

namespace parlix::engine {

inline constexpr const char* kSettingFile = "Setting.INI";

// The value of `key` in `section` of `file` (names without regard to case), or the
// empty text when the file, section or key is missing. Errors are logged, not thrown.
std::string ReadIniValue(const std::string& section, const std::string& key, const std::string& file);

// The engine number from Setting.INI, key "EngineModemID" of section "Engine_Setting":
// 1 when the key is missing or empty; a value that is not a whole number from 1 up is
// logged and also gives 1.
int ReadEngineModemID(const std::string& file);

}  // namespace parlix::engine
