#include <gtest/gtest.h>

#include "platform/db/Value.h"

namespace parlix::db::test {

TEST(DateTimeTest, FormatParseRoundTripAndRejectsImpossibleDates) {
    auto t = parseDateTime("2026-03-05 07:08:09");
    ASSERT_TRUE(t);
    EXPECT_EQ(formatDateTime(*t), "2026-03-05 07:08:09");
    EXPECT_EQ(dayStart(*t), "2026-03-05 00:00:00");
    EXPECT_EQ(dayEnd(*t), "2026-03-05 23:59:59");
    EXPECT_EQ(formatDateTime(*parseDateTime("2026-12-31")), "2026-12-31 00:00:00");
    for (const char* bad : {"2026-02-30 10:00:00", "2026-13-01", "2026-1-01", "26-01-01 10:00:00",
                            "2026-01-01T10:00:00", "2026-01-01 24:00:00", ""})
        EXPECT_FALSE(parseDateTime(bad)) << bad;
}

TEST(ValueTest, NullAndConversions) {
    Value n;
    EXPECT_TRUE(n.isNull());
    EXPECT_EQ(n.asInt(), 0);
    EXPECT_EQ(n.asText(), "");
    EXPECT_FALSE(n.asBool());
    EXPECT_TRUE(Value(true).asBool());
    EXPECT_EQ(Value(true).asInt(), 1);
    EXPECT_EQ(Value("42abc").asInt(), 42);
    EXPECT_EQ(Value(2.5).asText(), "2.5");
    EXPECT_EQ(Value(static_cast<long long>(5000000000)).asInt(), 5000000000LL);
    EXPECT_TRUE(Value("True").asBool());
    EXPECT_FALSE(Value(std::optional<int>()).type() != Value::Type::Null);
}

}  // namespace parlix::db::test
