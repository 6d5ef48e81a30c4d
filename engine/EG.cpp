#include "engine/EG.h"

namespace parlix::engine {

void ReportSendResult(const std::string&, const std::string&, std::int16_t) {}

}  // namespace parlix::engine
