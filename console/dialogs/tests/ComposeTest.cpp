// The composer's counting, limits, subject, quarter hours and entry parsing.
#include "console/dialogs/core/Compose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "platform/db/Value.h"

namespace parlix::console {
namespace {

TEST(Compose, CountsAndWarningsFollowTheLanguage) {
    struct Case {
        std::int64_t length;
        bool unicode;
        int max;
        std::int64_t remained;
        std::string warning;
    };
    const Case cases[] = {
        {0, false, 1560, 1560, ""},
        {1559, false, 1560, 1, ""},
        {1560, false, 1560, 0, kTextWarning},
        {1561, false, 1560, -1, ""},  // only landing on the limit warns while typing
        {70, true, 70, 0, ""},
        {71, true, 70, -1, kUnicodeWarning},
        {300, true, 70, -230, kUnicodeWarning},
    };
    for (const auto& c : cases) {
        auto m = CountMessage(c.length, c.unicode);
        EXPECT_EQ(m.maxLength, c.max) << c.length;
        EXPECT_EQ(m.remained, c.remained) << c.length;
        EXPECT_EQ(m.typed, c.length);
        EXPECT_EQ(m.warning, c.warning) << c.length;
    }
}

TEST(Compose, SendRefusesWhatTheEngineCannotSend) {
    EXPECT_EQ(LengthRefusal(70, true), "");
    EXPECT_EQ(LengthRefusal(71, true), kUnicodeWarning);
    EXPECT_EQ(LengthRefusal(1560, false), "");
    EXPECT_EQ(LengthRefusal(1561, false), kTextWarning);
    EXPECT_EQ(LengthRefusal(1561, true), kUnicodeWarning);
    // Lengths are UTF-16 units: a Chinese character is one, an emoji two.
    EXPECT_EQ(MessageLength("\xe4\xbd\xa0\xe5\xa5\xbd"), 2);
    EXPECT_EQ(MessageLength("\xf0\x9f\x98\x80"), 2);
}

TEST(Compose, SubjectIsTheMomentAsTwelveDigits) {
    auto t = LocalMoment(2026, 12, 7, 22 * 60 + 5) + std::chrono::seconds(9);
    EXPECT_EQ(GenerateSubject(t), "071226220509");
}

TEST(Compose, SubjectsOfOneComposerNeverMeet) {
    const TimePoint t = LocalMoment(2026, 12, 7, 22 * 60 + 5) + std::chrono::seconds(9);
    SubjectClock subjects;
    EXPECT_EQ(subjects.next(t + std::chrono::milliseconds(900)), "071226220509");
    EXPECT_EQ(subjects.next(t), "071226220510") << "same second: the next one";
    EXPECT_EQ(subjects.next(t - std::chrono::hours(1)), "071226220511") << "a clock set back";
    EXPECT_EQ(subjects.next(t + std::chrono::minutes(1)), "071226220609");
}

TEST(Compose, QuarterHoursRunFromEightRoundTheClock) {
    const auto& t = QuarterHourTimes();
    ASSERT_EQ(t.size(), 96u);
    EXPECT_EQ(t.front(), "08:00 AM");
    EXPECT_EQ(t.back(), "07:45 AM");
    const std::pair<const char*, int> marks[] = {{"12:00 PM", 12 * 60}, {"11:45 PM", 23 * 60 + 45},
                                                 {"12:00 AM", 0}, {"08:15 PM", 20 * 60 + 15}};
    for (auto [text, minutes] : marks) {
        auto it = std::find(t.begin(), t.end(), text);
        ASSERT_NE(it, t.end()) << text;
        EXPECT_EQ(QuarterHourMinutes(static_cast<std::size_t>(it - t.begin())), minutes) << text;
    }
    EXPECT_EQ(QuarterHourMinutes(96), -1);
    // "12:00 AM" starts the day it is chosen on.
    EXPECT_EQ(db::formatDateTime(LocalMoment(2026, 12, 7, 0)), "2026-12-07 00:00:00");
    EXPECT_EQ(db::formatDateTime(LocalMoment(2026, 12, 7, 12 * 60)), "2026-12-07 12:00:00");
}

TEST(Compose, EntriesTellContactsFromNumbers) {
    const std::tuple<std::string, bool, std::int64_t> cases[] = {
        {"12:Ali:0123", true, 12},   {"0 OR 1=1:x", false, 0}, {":Ali:0123", false, 0},
        {"0123456789", false, 0},    {"1a:b", false, 0},       {"99999999999999999999:x", false, 0},
    };
    for (const auto& [entry, isContact, id] : cases) {
        std::int64_t got = -1;
        EXPECT_EQ(ContactIdOf(entry, got), isContact) << entry;
        if (isContact) {
            EXPECT_EQ(got, id);
        }
    }
    EXPECT_EQ(CleanNumber("012-345 6789"), "0123456789");
    EXPECT_TRUE(IsBlankEntry(" - "));
    EXPECT_FALSE(IsBlankEntry("0"));
}

}  // namespace
}  // namespace parlix::console
