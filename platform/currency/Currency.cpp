#include "platform/currency/Currency.h"

#include <algorithm>
#include <stdexcept>

namespace parlix {

namespace {

void check(bool overflow) {
    if (overflow) throw std::overflow_error("currency value out of range");
}

}  // namespace

Currency Currency::whole(std::int64_t n) {
    std::int64_t v = 0;
    check(__builtin_mul_overflow(n, kScale, &v));
    return Currency(v);
}

std::optional<Currency> Currency::parse(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Digits are gathered as an unsigned magnitude in ten-thousandths; a fifth decimal
    // and beyond only decide the rounding.
    unsigned __int128 units = 0;
    int decimals = 0, digits = 0;
    bool point = false, roundUp = false, anyBeyond = false;
    int firstBeyond = -1;
    for (char c : s) {
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        ++digits;
        const int d = c - '0';
        if (point && decimals >= 4) {
            if (firstBeyond < 0) firstBeyond = d;
            else if (d) anyBeyond = true;
            continue;
        }
        units = units * 10 + static_cast<unsigned>(d);
        if (point) ++decimals;
        if (units > (static_cast<unsigned __int128>(1) << 64)) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    for (; decimals < 4; ++decimals) units *= 10;
    // Half to even: above half rounds up, exactly half rounds to the even neighbour.
    if (firstBeyond > 5 || (firstBeyond == 5 && (anyBeyond || (units & 1)))) roundUp = true;
    if (roundUp) ++units;
    const unsigned __int128 limit = negative ? (static_cast<unsigned __int128>(1) << 63)
                                             : (static_cast<unsigned __int128>(1) << 63) - 1;
    if (units > limit) return std::nullopt;
    if (negative) return Currency(static_cast<std::int64_t>(-static_cast<__int128>(units)));
    return Currency(static_cast<std::int64_t>(units));
}

std::optional<Currency> Currency::fromNumber(std::string_view s) {
    const std::size_t e = s.find_first_of("eE");
    if (e == std::string_view::npos) return parse(s);
    // Mantissa as parse() reads it; the exponent moves its decimal point.
    std::string_view mantissa = s.substr(0, e), exponent = s.substr(e + 1);
    while (!mantissa.empty() && (mantissa.front() == ' ' || mantissa.front() == '\t')) mantissa.remove_prefix(1);
    while (!exponent.empty() && (exponent.back() == ' ' || exponent.back() == '\t')) exponent.remove_suffix(1);
    std::string sign;
    if (!mantissa.empty() && (mantissa.front() == '-' || mantissa.front() == '+')) {
        sign = mantissa.front() == '-' ? "-" : "";
        mantissa.remove_prefix(1);
    }
    bool expNegative = false;
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) {
        expNegative = exponent.front() == '-';
        exponent.remove_prefix(1);
    }
    if (exponent.empty()) return std::nullopt;
    long long shift = 0;
    for (char c : exponent) {
        if (c < '0' || c > '9') return std::nullopt;
        shift = std::min<long long>(shift * 10 + (c - '0'), 100000);  // beyond any value that fits
    }
    if (expNegative) shift = -shift;
    std::string digits;
    long long point = -1;
    for (char c : mantissa) {
        if (c == '.' && point < 0) point = static_cast<long long>(digits.size());
        else if (c >= '0' && c <= '9') digits += c;
        else return std::nullopt;
    }
    if (digits.empty()) return std::nullopt;
    if (point < 0) point = static_cast<long long>(digits.size());
    if (digits.find_first_not_of('0') == std::string::npos) return Currency();
    point += shift;
    const long long size = static_cast<long long>(digits.size());
    if (point > size + 40) return std::nullopt;  // far more than 64 bits hold
    if (point < -40) return Currency();          // far below half a ten-thousandth
    std::string plain;
    if (point <= 0) plain = "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
    else if (point >= size) plain = digits + std::string(static_cast<std::size_t>(point - size), '0');
    else plain = digits.substr(0, static_cast<std::size_t>(point)) + "." + digits.substr(static_cast<std::size_t>(point));
    return parse(sign + plain);
}

std::string Currency::text() const {
    const bool negative = v_ < 0;
    // Magnitude as unsigned: the smallest value has no positive counterpart.
    const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(v_) : static_cast<std::uint64_t>(v_);
    std::string out = negative ? "-" : "";
    out += std::to_string(m / kScale);
    std::uint64_t frac = m % kScale;
    if (frac) {
        std::string f = std::to_string(frac);
        f.insert(0, 4 - f.size(), '0');
        while (!f.empty() && f.back() == '0') f.pop_back();
        out += "." + f;
    }
    return out;
}

Currency Currency::operator+(Currency o) const {
    std::int64_t v = 0;
    check(__builtin_add_overflow(v_, o.v_, &v));
    return Currency(v);
}

Currency Currency::operator-(Currency o) const {
    std::int64_t v = 0;
    check(__builtin_sub_overflow(v_, o.v_, &v));
    return Currency(v);
}

Currency Currency::operator*(std::int64_t n) const {
    std::int64_t v = 0;
    check(__builtin_mul_overflow(v_, n, &v));
    return Currency(v);
}

}  // namespace parlix
