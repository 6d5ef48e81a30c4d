#include "console/shell/core/KeyValue.h"

#include <cstdint>

namespace parlix::console {

bool GetKeyValue(registry::HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal) {
    using namespace registry;
    constexpr std::size_t kBufferSize = 1024;
    RegValue v;
    // Read rights are all a look-up needs; asking for more fails for ordinary users.
    if (registry::registry().queryValue(KeyRoot, KeyName, KEY_READ, SubKeyRef, kBufferSize, v) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    std::string data = v.data;
    if (!data.empty() && data.back() == '\0') data.pop_back();
    if (v.type == REG_SZ) {
        KeyVal = data;
    } else if (v.type == REG_DWORD) {
        std::uint32_t n = 0;
        for (std::size_t i = 0; i < data.size() && i < 4; ++i)
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
        KeyVal = std::to_string(n);
    }
    return true;
}

}  // namespace parlix::console
