#include "engine/GeneralDate.h"

#include <ctime>

namespace parlix::engine {

std::string GeneralDate(std::chrono::system_clock::time_point t) {
    std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    char buf[128];
    std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}

}  // namespace parlix::engine
