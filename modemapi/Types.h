// Enums that both modem libraries share (namespace modemapi). Each library's class
// SMS returns these values; their numbers are part of the libraries' interface.
#pragma once

#include <cstdint>

namespace modemapi {

// Result of modem initialisation.
enum class ModemStatus : std::int32_t {
    Fail = 0,
    OK = 1,
    PINRequired = 2,
    PINWrong = 3,
    SIMBlocked = 4,
    SIMError = 5,
};

// Status of a delivery report.
enum class DeliveryStatus : std::int32_t {
    Undelivered = 0,
    Delivered = 1,
    Unknown = 2,
};

}  // namespace modemapi
