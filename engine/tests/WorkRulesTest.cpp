// The pure rules of the work steps: how a row is sent, the due-row query, message
// references, report and time-stamp dates, and the file of held messages.
#include "engine/DateTime.h"
#include "engine/GeneralDate.h"
#include "engine/InboxSpool.h"
#include "engine/WorkRules.h"
#include "platform/db/Value.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace parlix;
using namespace parlix::engine;

TEST(WorkRules, KindFollowsTypeAndLengthInSeptets) {
    EXPECT_EQ(KindOf(0, std::string(300, 'u')), SendKind::Unicode);  // whatever its length
    EXPECT_EQ(KindOf(1, std::string(160, 'a')), SendKind::Single);
    EXPECT_EQ(KindOf(1, std::string(161, 'a')), SendKind::Long);
    EXPECT_EQ(KindOf(7, std::string(161, 'a')), SendKind::Long);  // any type but 0 is text
    // 160 characters of two bytes each are still 160 characters.
    std::string accented;
    for (int i = 0; i < 160; ++i) accented += "é";
    EXPECT_EQ(KindOf(1, accented), SendKind::Single);
    EXPECT_EQ(KindOf(1, accented + "é"), SendKind::Long);
    // "€" and the other extension characters take two septets each.
    EXPECT_EQ(KindOf(1, std::string(156, 'a') + "€{"), SendKind::Single);
    EXPECT_EQ(KindOf(1, std::string(157, 'a') + "€{"), SendKind::Long);
}

TEST(WorkRules, DueRowsQueryBindsMomentAndRoutes) {
    std::array<std::string, 7> prefixes{"012", "", "019", "", "", "", ""};
    db::Params params;
    std::string sql = DueRowsSql(prefixes, true, "2026-12-08 10:00:00", params);
    EXPECT_NE(sql.find("AND (Mobile LIKE ? OR Mobile LIKE ?)"), std::string::npos);
    EXPECT_NE(sql.find("ORDER BY DateTimeQueue"), std::string::npos);
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].asText(), "2026-12-08 10:00:00");
    EXPECT_EQ(params[1].asText(), "012%");
    EXPECT_EQ(params[2].asText(), "019%");

    // "All", and a routing without any prefix, take every number.
    EXPECT_EQ(DueRowsSql(prefixes, false, "x", params).find("LIKE"), std::string::npos);
    EXPECT_EQ(params.size(), 1u);
    EXPECT_EQ(DueRowsSql({}, true, "x", params).find("LIKE"), std::string::npos);
}

TEST(WorkRules, ReferenceIsTheLeadingNumber) {
    EXPECT_EQ(ReferenceValue("12\r\n\r\n"), 12);
    EXPECT_EQ(ReferenceValue(" 255"), 255);
    EXPECT_EQ(ReferenceValue("0"), 0);
    EXPECT_EQ(ReferenceValue(""), 0);
    EXPECT_EQ(ReferenceValue("x7"), 0);
    EXPECT_EQ(ReferenceValue("99999999999999999999"), 0);
}

TEST(WorkRules, LastCharactersCountCharactersNotBytes) {
    EXPECT_EQ(LastChars("60123456789", 7), "3456789");
    EXPECT_EQ(LastChars("60123456789", 10), "0123456789");
    EXPECT_EQ(LastChars("12345", 7), "12345");
    EXPECT_EQ(LastChars("", 7), "");
    EXPECT_EQ(LastChars("a你好", 2), "你好");
}

TEST(WorkRules, ConcatenationReferenceStaysIn0To254) {
    for (int i = 0; i < 200; ++i) {
        const int r = ConcatReference();
        EXPECT_GE(r, 0);
        EXPECT_LE(r, 254);
    }
}

TEST(ReportDates, DischargeTimeIsYearMonthDay) {
    const auto moment = ReportMoment("15/07/21 14:05:09");
    ASSERT_TRUE(moment);
    EXPECT_EQ(db::formatDateTime(*moment), "2015-07-21 14:05:09");
    EXPECT_EQ(FormatReportDateTime("15/07/21 14:05:09"), GeneralDate(*moment));
    for (const char* bad : {"", "15/13/21 14:05:09", "15/02/30 10:00:00", "15/07/21", "aa/07/21 14:05:09",
                            "15/07/21 25:00:00"}) {
        EXPECT_FALSE(ReportMoment(bad)) << bad;
        EXPECT_EQ(FormatReportDateTime(bad), "") << bad;
    }
}

TEST(ReportDates, ModemTimeStampBecomesDatabaseDate) {
    EXPECT_EQ(TimeStampToDb("2015-Jul-21 14:05:09"), "2015-07-21 14:05:09");
    EXPECT_EQ(TimeStampToDb("2026-Dec-08 23:59:59"), "2026-12-08 23:59:59");
    EXPECT_EQ(TimeStampToDb("2026-Jan-01 00:00:00"), "2026-01-01 00:00:00");
    // What the decoder leaves of an unknown month, and impossible dates.
    EXPECT_FALSE(TimeStampToDb("2015-21 14:05:09"));
    EXPECT_FALSE(TimeStampToDb("2015-Feb-30 10:00:00"));
    EXPECT_FALSE(TimeStampToDb(""));
}

class HeldMessages : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("parlix-held-" + std::to_string(::getpid()) + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string path() const { return (dir / kInboxPendingName).string(); }
    std::filesystem::path dir;
};

TEST_F(HeldMessages, AnyTextSurvivesTheFile) {
    const HeldMessage tricky{"+60123456789", "2015-Jul-21 14:05:09", "tab\there\r\nnew line \\n not a break\\"};
    const HeldMessage plain{"0161234567", "", "你好"};
    EXPECT_EQ(DecodeHeld(EncodeHeld(tricky)), tricky);
    EXPECT_EQ(EncodeHeld(tricky).find('\n'), std::string::npos);

    InboxSpool spool(path());
    EXPECT_TRUE(spool.Empty());
    EXPECT_TRUE(spool.Load().empty());
    spool.Save({tricky, plain});
    EXPECT_FALSE(spool.Empty());
    EXPECT_EQ(InboxSpool(path()).Load(), (std::vector<HeldMessage>{tricky, plain}));
    spool.Save({});
    EXPECT_TRUE(spool.Empty());
}

TEST_F(HeldMessages, UnreadableLinesAreSetAsideNotDropped) {
    {
        std::ofstream out(path(), std::ios::binary);
        out << EncodeHeld({"1", "t", "good"}) << "\nno tabs at all\nbad\\q\tescape\tx\n";
    }
    InboxSpool spool(path());
    const auto held = spool.Load();
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].text, "good");
    spool.Save({});
    std::ifstream aside(path() + ".bad");
    std::string all((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "no tabs at all\nbad\\q\tescape\tx\n");
    EXPECT_FALSE(DecodeHeld("a\tb"));
    EXPECT_FALSE(DecodeHeld("a\tb\tc\td"));
}

TEST_F(HeldMessages, SaveFailsLoudlyWhenTheFolderIsGone) {
    InboxSpool spool((dir / "missing" / kInboxPendingName).string());
    EXPECT_THROW(spool.Save({{"1", "t", "x"}}), std::runtime_error);
}
