// parlix::Currency - money as the database's currency columns hold it: a 64-bit count
// of ten-thousandths, so prices and amounts never go through floating point.
//
//   Currency rate = Currency::parse("0.05").value();   // nullopt for "abc", "1e3"
//   Currency sum = rate * 2 + Currency::parse("0.10").value() * 3;
//   sum.text();                                        // "0.4" (no trailing zeros)
//
// More than four decimals round half to even, as the currency type does. Results that
// do not fit in 64 bits throw std::overflow_error rather than wrap.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlix {

class Currency {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromUnits(std::int64_t tenThousandths) { return Currency(tenThousandths); }
    static Currency whole(std::int64_t n);  // n currency units

    // Plain decimal text: optional blanks and sign, digits, optional "." and digits.
    // No exponent, no thousands separator. nullopt when it is not such a number or
    // does not fit.
    static std::optional<Currency> parse(std::string_view text);

    // A number in any text form a database gives back: what parse() takes, or the same
    // with an exponent ("1e-05", "2.5E+3", as a REAL column prints values). Read exactly,
    // then rounded to four places like parse().
    static std::optional<Currency> fromNumber(std::string_view text);

    std::int64_t units() const { return v_; }
    bool isZero() const { return v_ == 0; }

    // "12.5", "0.4", "3", "-0.0001": no thousands separator, no trailing zeros.
    std::string text() const;

    Currency operator+(Currency o) const;
    Currency operator-(Currency o) const;
    Currency operator*(std::int64_t n) const;
    bool operator==(const Currency&) const = default;
    auto operator<=>(const Currency&) const = default;

private:
    constexpr explicit Currency(std::int64_t v) : v_(v) {}
    std::int64_t v_ = 0;
};

}  // namespace parlix
