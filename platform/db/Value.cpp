#include "platform/db/Value.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace parlix::db {

std::int64_t Value::asInt() const {
    switch (type()) {
    case Type::Null: return 0;
    case Type::Integer: return std::get<std::int64_t>(v_);
    case Type::Real: {
        double d = std::get<double>(v_);
        if (!std::isfinite(d)) return 0;
        if (d >= 9.2e18) return INT64_MAX;
        if (d <= -9.2e18) return INT64_MIN;
        return static_cast<std::int64_t>(d);
    }
    case Type::Text: {
        const std::string& s = std::get<std::string>(v_);
        errno = 0;
        long long r = std::strtoll(s.c_str(), nullptr, 10);
        return errno ? 0 : r;
    }
    }
    return 0;
}

double Value::asDouble() const {
    switch (type()) {
    case Type::Null: return 0.0;
    case Type::Integer: return static_cast<double>(std::get<std::int64_t>(v_));
    case Type::Real: return std::get<double>(v_);
    case Type::Text: return std::strtod(std::get<std::string>(v_).c_str(), nullptr);
    }
    return 0.0;
}

std::string Value::asText() const {
    switch (type()) {
    case Type::Null: return {};
    case Type::Integer: return std::to_string(std::get<std::int64_t>(v_));
    case Type::Real: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", std::get<double>(v_));
        return buf;
    }
    case Type::Text: return std::get<std::string>(v_);
    }
    return {};
}

bool Value::asBool() const {
    switch (type()) {
    case Type::Null: return false;
    case Type::Integer: return std::get<std::int64_t>(v_) != 0;
    case Type::Real: return std::get<double>(v_) != 0.0;
    case Type::Text: {
        std::string s;
        for (char c : std::get<std::string>(v_)) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (s == "true" || s == "yes" || s == "on") return true;
        return asInt() != 0;
    }
    }
    return false;
}

namespace {

std::tm localTm(TimePoint t) {
    std::time_t tt = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

std::string fmt(const std::tm& tm, int h, int m, int s) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, h, m, s);
    return buf;
}

bool digits(std::string_view s, size_t pos, size_t n, int& out) {
    if (pos + n > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

std::string formatDateTime(TimePoint t) {
    std::tm tm = localTm(t);
    return fmt(tm, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string dayStart(TimePoint t) { return fmt(localTm(t), 0, 0, 0); }
std::string dayEnd(TimePoint t) { return fmt(localTm(t), 23, 59, 59); }

std::optional<TimePoint> parseDateTime(std::string_view s) {
    int y, mo, d, h = 0, mi = 0, sec = 0;
    if (!(s.size() == 10 || s.size() == 19)) return std::nullopt;
    if (!digits(s, 0, 4, y) || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' || !digits(s, 8, 2, d))
        return std::nullopt;
    if (s.size() == 19) {
        if (s[10] != ' ' || !digits(s, 11, 2, h) || s[13] != ':' || !digits(s, 14, 2, mi) || s[16] != ':' ||
            !digits(s, 17, 2, sec))
            return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    std::tm probe = tm;
    std::time_t tt = std::mktime(&probe);
    if (tt == static_cast<std::time_t>(-1)) return std::nullopt;
    // mktime normalises 31 April into 1 May: refuse dates that do not exist.
    if (probe.tm_mday != d || probe.tm_mon != mo - 1 || probe.tm_year != y - 1900) return std::nullopt;
    return std::chrono::system_clock::from_time_t(tt);
}

}  // namespace parlix::db
