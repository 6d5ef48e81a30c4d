#include "engine/EngineText.h"
#include "engine/GeneralDate.h"

#include <gtest/gtest.h>

using namespace parlix::engine;

TEST(EngineText, OperatorBySimPrefix) {
    struct Case {
        const char* sim;
        const char* label;
        Operator logo;
    } cases[] = {
        {"0123456789", "Maxis", Operator::Maxis},   {"0193456789", "Celcom", Operator::Celcom},
        {"0133456789", "TMTouch", Operator::TMTouch}, {"0163456789", "Digi", Operator::Digi},
        {"0143456789", "Digi", Operator::Digi},     {"0173456789", "Hotlink", Operator::Hotlink},
        {"0103456789", "", Operator::None},         {"60123456789", "", Operator::None},
        {"", "", Operator::None},                   {"01", "", Operator::None},
    };
    for (const auto& c : cases) {
        const OperatorDisplay d = OperatorOf(c.sim);
        EXPECT_EQ(d.label, c.label) << c.sim;
        EXPECT_EQ(d.logo, c.logo) << c.sim;
    }
}

TEST(EngineText, RoutingInNumericOrderOrAll) {
    // Slots: 012, 016, 019, 013, 017, 014.
    EXPECT_EQ(RoutingText({true, true, false, false, false, false}), "012,016");
    EXPECT_EQ(RoutingText({true, true, true, true, true, true}), "012,013,014,016,017,019");
    EXPECT_EQ(RoutingText({false, false, true, false, false, true}), "014,019");
    EXPECT_EQ(RoutingText({}), "All");
}

TEST(EngineText, DirectionPanel) {
    EXPECT_EQ(DirectionText(0), "Direction: 2 ways - read and send");
    EXPECT_EQ(DirectionText(1), "Direction: 1 way - read only");
    EXPECT_EQ(DirectionText(2), "Direction: 1 way - send only");
    EXPECT_EQ(DirectionText(3), "");
}

TEST(EngineText, StatusEntryLayout) {
    const auto t = std::chrono::system_clock::now();
    const std::string date = GeneralDate(t);
    ASSERT_FALSE(date.empty());
    EXPECT_EQ(StatusEntry(t, "Send success!", {"Send to : 0123", "Message : Hi"}),
              date + " Status : Send success!\r\nSend to : 0123\r\nMessage : Hi\r\n\r\n");
    EXPECT_EQ(StatusEntry(t, "Moving on.", {}, true), date + " Status : Moving on.\r\n\r\n\r\n");
}

TEST(EngineText, LengthCountsCharactersNotBytes) {
    EXPECT_EQ(TextLength("abc"), 3u);
    EXPECT_EQ(TextLength("\xC3\xA9t\xC3\xA9"), 3u);           // "été"
    EXPECT_EQ(TextLength("\xE4\xBD\xA0\xF0\x9F\x98\x80"), 2u);  // CJK + emoji
}

TEST(EngineText, CountersStopAtTheirLargestValue) {
    std::int16_t n = 32766;
    Increment(n);
    EXPECT_EQ(n, 32767);
    Increment(n);
    EXPECT_EQ(n, 32767);
    EXPECT_EQ(SentLabel(n), "Sent: 32767");
    EXPECT_EQ(InLabel(0), "In: 0");
    EXPECT_EQ(FailLabel(3), "Fail: 3");
}

TEST(EngineText, ActivityBoxDropsItsOldestEntriesNotItsNewest) {
    const std::string a = "A Status : newest\r\n\r\n";             // 21 characters
    const std::string b = "B Status : older\r\nSend to : 0123\r\n\r\n";  // 36
    const std::string c = "C Status : oldest\r\n\r\n\r\n";         // 23, with an extra break
    const std::string wide = "W Status : \xC3\xA9\xC3\xA9\r\n\r\n";  // 17 characters, 19 bytes
    struct Case {
        const char* name;
        std::string text;
        std::size_t limit;
        std::string kept;
    } cases[] = {
        {"within the limit", a + b + c, 80, a + b + c},
        {"oldest entry goes whole", a + b + c, 79, a + b},
        {"a cut line never stays", a + b + "C Status : half", 60, a + b},
        {"several go at once", a + b + c, 21, a},
        {"the newest entry stays even alone over the limit", b + a, 10, b},
        {"text without entry ends stays", std::string(301, 'x'), 300, std::string(301, 'x')},
        {"characters, not bytes", wide + a, 38, wide + a},
        {"characters, not bytes, one over", wide + a, 37, wide},
    };
    for (const auto& c : cases) EXPECT_EQ(KeepNewestEntries(c.text, c.limit), c.kept) << c.name;
}
