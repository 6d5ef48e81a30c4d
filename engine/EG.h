// Module EG: hooks of the engine's work steps.
#pragma once

#include <cstdint>
#include <string>

namespace parlix::engine {

// Called after every send attempt with the number, "S" or "F" and the message
// reference (0 on failure). Nothing listens yet.
void ReportSendResult(const std::string& mobile, const std::string& status, std::int16_t reference);

}  // namespace parlix::engine
