// Module-level values of the engine program: its folder, its engine number and the
// version that the error log names. Set once at start-up (and by tests).
#pragma once

#include <string>

namespace parlix::engine {

// Folder that holds the program, its Setting.INI, its error log and ports/.
extern std::string EngineFolder;
// The engine number: selects this engine's Modem row and is written into every row
// it handles. From Setting.INI ([Engine_Setting] EngineModemID), 1 when not set.
extern int EngineModemID;
// "Major.Minor.Revision" of the program.
extern std::string EngineVersion;

// EngineFolder joined with a file name.
std::string EnginePath(const std::string& fileName);

}  // namespace parlix::engine
