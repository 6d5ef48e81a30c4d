#include "platform/registry/Registry.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace parlix::registry {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string keyOf(HKEY root, const std::string& keyPath, const std::string& valueName) {
    return std::to_string(root) + "\n" + lower(keyPath) + "\n" + lower(valueName);
}

Registry* current = nullptr;

// Shared by the stand-in and the double: write rights are refused, long values do
// not fit the caller's buffer.
long deliver(const RegValue* found, std::uint32_t access, std::size_t bufferSize, RegValue& out) {
    if (access & KEY_WRITE_RIGHTS) return ERROR_ACCESS_DENIED;
    if (!found) return ERROR_FILE_NOT_FOUND;
    if (found->data.size() > bufferSize) return ERROR_MORE_DATA;
    out = *found;
    return ERROR_SUCCESS;
}

}  // namespace

Registry& registry() {
    static SystemRegistry system;
    return current ? *current : system;
}

Registry* setRegistry(Registry* r) {
    Registry* old = current;
    current = r;
    return old;
}

const std::vector<std::string>& systemInfoPrograms() {
    static const std::vector<std::string> list = {"hardinfo", "hardinfo2", "kinfocenter", "gnome-system-monitor",
                                                  "mate-system-monitor", "xfce4-taskmanager", "lxtask"};
    return list;
}

std::string findOnPath(const std::vector<std::string>& programs, const std::string& pathVariable) {
    std::vector<std::string> dirs;
    std::stringstream ss(pathVariable);
    for (std::string d; std::getline(ss, d, ':');)
        if (!d.empty()) dirs.push_back(d);
    for (const auto& p : programs)
        for (const auto& d : dirs) {
            const std::string full = (std::filesystem::path(d) / p).string();
            std::error_code ec;
            if (std::filesystem::is_regular_file(full, ec) && ::access(full.c_str(), X_OK) == 0) return full;
        }
    return "";
}

long SystemRegistry::queryValue(HKEY root, const std::string& keyPath, std::uint32_t access,
                                const std::string& valueName, std::size_t bufferSize, RegValue& out) {
    RegValue v;
    const RegValue* found = nullptr;
    if (root == HKEY_LOCAL_MACHINE && lower(keyPath) == lower("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") &&
        lower(valueName) == "path") {
        const char* path = std::getenv("PATH");
        const std::string program = findOnPath(systemInfoPrograms(), path ? path : "");
        if (!program.empty()) {
            v.type = REG_SZ;
            v.data = program + std::string(1, '\0');
            found = &v;
        }
    }
    return deliver(found, access, bufferSize, out);
}

FakeRegistry::FakeRegistry() : previous_(setRegistry(this)) {}
FakeRegistry::~FakeRegistry() { setRegistry(previous_); }

void FakeRegistry::setText(HKEY root, const std::string& keyPath, const std::string& valueName,
                           const std::string& text) {
    setRaw(root, keyPath, valueName, {REG_SZ, text + std::string(1, '\0')});
}

void FakeRegistry::setDword(HKEY root, const std::string& keyPath, const std::string& valueName,
                            std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    setRaw(root, keyPath, valueName, {REG_DWORD, bytes});
}

void FakeRegistry::setRaw(HKEY root, const std::string& keyPath, const std::string& valueName, RegValue value) {
    values_[keyOf(root, keyPath, valueName)] = std::move(value);
}

long FakeRegistry::queryValue(HKEY root, const std::string& keyPath, std::uint32_t access,
                              const std::string& valueName, std::size_t bufferSize, RegValue& out) {
    accessAsked.push_back(access);
    auto it = values_.find(keyOf(root, keyPath, valueName));
    return deliver(it == values_.end() ? nullptr : &it->second, access, bufferSize, out);
}

}  // namespace parlix::registry
