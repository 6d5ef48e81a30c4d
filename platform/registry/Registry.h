// Read-only stand-in for the two registry look-ups that find the system-information
// program. Values come back as the registry stores them: a type number and the raw
// bytes (text values end with their zero character, 32-bit values are four bytes,
// lowest first).
//
// On Linux the store holds one key: "SOFTWARE\Microsoft\Shared Tools\MSINFO" with the
// text value "PATH", the first system-information program found on PATH (hardinfo,
// kinfocenter, gnome-system-monitor, ...); without one the key is absent. Every other
// key is absent. Key and value names match without regard to case, as in the registry.
// The store refuses keys opened with write rights (ERROR_ACCESS_DENIED): nothing here
// can be written, and callers must ask for read rights only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace parlix::registry {

using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// Access rights of RegOpenKeyEx.
inline constexpr std::uint32_t KEY_READ = 0x20019u;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003Fu;
inline constexpr std::uint32_t KEY_WRITE_RIGHTS = 0x0026u;  // set value, create subkey, link

// Value types.
inline constexpr std::uint32_t REG_NONE = 0, REG_SZ = 1, REG_EXPAND_SZ = 2, REG_BINARY = 3, REG_DWORD = 4;

// Results.
inline constexpr long ERROR_SUCCESS = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_ACCESS_DENIED = 5,
                      ERROR_MORE_DATA = 234;

struct RegValue {
    std::uint32_t type = REG_NONE;
    std::string data;  // raw bytes
};

class Registry {
public:
    virtual ~Registry() = default;
    // RegOpenKeyEx + RegQueryValueEx + RegCloseKey in one: reads `valueName` of key
    // `keyPath` under `root`, the key opened with `access`. At most `bufferSize` bytes
    // fit; a longer value gives ERROR_MORE_DATA.
    virtual long queryValue(HKEY root, const std::string& keyPath, std::uint32_t access,
                            const std::string& valueName, std::size_t bufferSize, RegValue& out) = 0;
};

// The store in use: the Linux stand-in unless a test installed another.
Registry& registry();
// Installs `r` (nullptr: the Linux stand-in again); returns the one it replaces.
Registry* setRegistry(Registry* r);

// Programs that show system information, in the order they are looked for on PATH.
const std::vector<std::string>& systemInfoPrograms();
// Full path of the first of systemInfoPrograms() found executable on `pathVariable`
// (a PATH-style list), or "" when none is.
std::string findOnPath(const std::vector<std::string>& programs, const std::string& pathVariable);

// The Linux stand-in: the key of the system-information program, read at each call.
class SystemRegistry : public Registry {
public:
    long queryValue(HKEY root, const std::string& keyPath, std::uint32_t access, const std::string& valueName,
                    std::size_t bufferSize, RegValue& out) override;
};

// Test double: values set by the test; records the access each query asked for.
// Installs itself while it lives.
class FakeRegistry : public Registry {
public:
    FakeRegistry();
    ~FakeRegistry() override;
    FakeRegistry(const FakeRegistry&) = delete;
    FakeRegistry& operator=(const FakeRegistry&) = delete;

    void setText(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& text);
    void setDword(HKEY root, const std::string& keyPath, const std::string& valueName, std::uint32_t value);
    void setRaw(HKEY root, const std::string& keyPath, const std::string& valueName, RegValue value);

    long queryValue(HKEY root, const std::string& keyPath, std::uint32_t access, const std::string& valueName,
                    std::size_t bufferSize, RegValue& out) override;

    std::vector<std::uint32_t> accessAsked;  // one entry per query

private:
    std::map<std::string, RegValue> values_;
    Registry* previous_;
};

}  // namespace parlix::registry
