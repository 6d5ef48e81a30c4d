// Any file text: looking up never fails, and a key written is read back as written.
#include "platform/settings/Settings.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace parlix::settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    (void)lookup(content, "Product Name", "productname");
    (void)lookup(content, "", "");
    const std::string value = "v 1";
    std::string updated;
    try {
        updated = update(content, "Fuzz_Setting", "KEY", value);
    } catch (const SettingsError&) {
        std::abort();  // valid names and value must always be writable
    }
    if (lookup(updated, "fuzz_setting", "key") != value) std::abort();
    // A key written into an existing section must leave the others readable as before.
    if (lookup(updated, "Product Name", "ProductName") != lookup(content, "Product Name", "ProductName"))
        std::abort();
    return 0;
}
