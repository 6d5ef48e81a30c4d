#include "platform/currency/Currency.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace parlix {
namespace {

TEST(Currency, ParsesPlainDecimalsAndRoundsBeyondFourPlacesHalfToEven) {
    const struct {
        const char* in;
        std::optional<std::int64_t> units;
    } cases[] = {
        {"0.05", 500},        {"0.10", 1000},          {" 12.5 ", 125000},  {"3", 30000},
        {"-0.4", -4000},      {"+7.", 70000},          {".25", 2500},       {"0.00005", 0},
        {"0.00015", 2},       {"0.000051", 1},         {"0.00006", 1},      {"922337203685477.5807", INT64_MAX},
        {"-922337203685477.5808", INT64_MIN},          {"922337203685477.5808", std::nullopt},
        {"abc", std::nullopt}, {"1e3", std::nullopt},  {"1,000", std::nullopt}, {"", std::nullopt},
        {".", std::nullopt},  {"1.2.3", std::nullopt}, {"99999999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        auto v = Currency::parse(c.in);
        ASSERT_EQ(v.has_value(), c.units.has_value()) << c.in;
        if (v) {
            EXPECT_EQ(v->units(), *c.units) << c.in;
        }
    }
}

// Numbers as a database gives them back: a REAL column prints small and large values
// with an exponent. They are read exactly, then rounded to four places as above.
TEST(Currency, NumbersInExponentFormAreReadExactlyAndRounded) {
    const struct {
        const char* in;
        std::optional<std::int64_t> units;
    } cases[] = {
        {"1e-05", 0},          {"6e-05", 1},           {"1.5e-4", 2},        {"2.5E-04", 2},
        {"1.2345e+2", 1234500}, {"-7.5e-05", -1},      {" 1E3 ", 10000000},  {"0.05", 500},
        {"12", 120000},        {"0e999999", 0},        {"1e-999999", 0},     {"9.2e14", 9200000000000000000},
        {"1e15", std::nullopt}, {"1e99999", std::nullopt}, {"1e", std::nullopt}, {"e5", std::nullopt},
        {"1e+-2", std::nullopt}, {"abc", std::nullopt}, {"inf", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& c : cases) {
        auto v = Currency::fromNumber(c.in);
        ASSERT_EQ(v.has_value(), c.units.has_value()) << c.in;
        if (v) {
            EXPECT_EQ(v->units(), *c.units) << c.in;
        }
    }
}

TEST(Currency, TextHasNoTrailingZerosNorSeparators) {
    const struct {
        std::int64_t units;
        const char* text;
    } cases[] = {{4000, "0.4"},   {125000, "12.5"},         {30000, "3"}, {0, "0"}, {-1, "-0.0001"},
                 {12345678900000, "1234567890"}, {INT64_MIN, "-922337203685477.5808"}};
    for (const auto& c : cases) EXPECT_EQ(Currency::fromUnits(c.units).text(), c.text);
}

TEST(Currency, ArithmeticIsExactAndOverflowIsAnError) {
    const Currency r1 = *Currency::parse("0.05"), r2 = *Currency::parse("0.10");
    EXPECT_EQ((r1 * 2 + r2 * 3).text(), "0.4");
    // 0.1 added ten times is exactly 1 (in floating point it is not).
    Currency sum;
    for (int i = 0; i < 10; ++i) sum = sum + r2;
    EXPECT_EQ(sum, Currency::whole(1));
    EXPECT_EQ((r2 - r1).text(), "0.05");
    EXPECT_THROW(Currency::fromUnits(INT64_MAX) * 2, std::overflow_error);
    EXPECT_THROW(Currency::fromUnits(INT64_MAX) + Currency::fromUnits(1), std::overflow_error);
    EXPECT_THROW(Currency::whole(INT64_MAX / 1000), std::overflow_error);
}

}  // namespace
}  // namespace parlix
