#include "mailgateway/Gateway.h"

#include "platform/clock/Clock.h"

#include <charconv>
#include <ctime>
#include <filesystem>

#ifndef PARLIX_GATEWAY_VERSION
#define PARLIX_GATEWAY_VERSION "1.0.0"
#endif

namespace parlix::gateway {

std::string ProgramFolder = ".";
std::string GatewayVersion = PARLIX_GATEWAY_VERSION;

std::string ProgramPath(const std::string& fileName) {
    return (std::filesystem::path(ProgramFolder) / fileName).string();
}

namespace {
std::string Format(std::chrono::system_clock::time_point t, const char* format) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&secs, &local);
    char buf[128];
    const std::size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}
}  // namespace

std::string DateTimeText(std::chrono::system_clock::time_point t) { return Format(t, "%x %X"); }
std::string NowText() { return DateTimeText(clock::now()); }
std::string IsoDateTime(std::chrono::system_clock::time_point t) { return Format(t, "%Y-%m-%d %H:%M:%S"); }

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::optional<long> SettingNumber(const std::string& text) {
    std::string s = Trim(text);
    if (!s.empty() && s.front() == '+') s.erase(0, 1);
    long value = 0;
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (s.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace parlix::gateway
