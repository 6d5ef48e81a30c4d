// The about window's registry read: one value as text.
#pragma once

#include <string>

#include "platform/registry/Registry.h"

namespace parlix::console {

// Reads value `SubKeyRef` of key `KeyName` under `KeyRoot` into `KeyVal`. Text values
// lose their trailing zero character; 32-bit values become their decimal number;
// other types leave `KeyVal` as it was. A missing key or value gives "" and false.
// The key is opened with read rights only.
bool GetKeyValue(registry::HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                 std::string& KeyVal);

}  // namespace parlix::console
