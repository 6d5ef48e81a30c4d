// Typed dates and the criteria of the folder filters (window-less).
#include <gtest/gtest.h>

#include "console/shell/core/FolderFilters.h"

namespace parlix::console {
namespace {

TEST(FolderFilters, TypedDatesInThePromptsFormsAndNothingElse) {
    const std::pair<const char*, const char*> cases[] = {
        {"01-02-25", "2025-02-01"},   {"1-2-25", "2025-02-01"},    {"01/02/2025", "2025-02-01"},
        {" 29-02-24 ", "2024-02-29"}, {"31-12-99", "2099-12-31"},  {"29-02-25", ""},
        {"31-02-25", ""},             {"2025-13-01", ""},          {"13-13-25", ""},
        {"00-01-25", ""},             {"01-02/25", ""},            {"01-02-025", ""},
        {"abc", ""},                  {"", ""},                    {"01-02", ""},
        {"1--2-25", ""},              {"01-02-25-", ""},           {"3l-01-25", ""},
    };
    for (const auto& [typed, expected] : cases) {
        auto d = ParseFilterDate(typed);
        EXPECT_EQ(d.value_or(""), expected) << typed;
    }
}

TEST(FolderFilters, DayAfterCrossesMonthsYearsAndLeapDays) {
    EXPECT_EQ(NextDay("2025-12-31"), "2026-01-01");
    EXPECT_EQ(NextDay("2024-02-28"), "2024-02-29");
    EXPECT_EQ(NextDay("2025-02-28"), "2025-03-01");
    EXPECT_EQ(NextDay("2025-04-30"), "2025-05-01");
}

TEST(FolderFilters, StatusAndModemAnswers) {
    EXPECT_EQ(InboxStatusWord("r").value_or(""), "Read");
    EXPECT_EQ(InboxStatusWord("N").value_or(""), "New");
    EXPECT_FALSE(InboxStatusWord("Read"));
    EXPECT_FALSE(InboxStatusWord("x"));
    for (const char* ok : {"p", "P", "r", "R"}) EXPECT_TRUE(IsOutboxStatusLetter(ok)) << ok;
    for (const char* bad : {"S", "pp", " p", ""}) EXPECT_FALSE(IsOutboxStatusLetter(bad)) << bad;
    // The folder stores capitals; "p" as typed must find them.
    EXPECT_EQ(OutboxStatusCriteria("p").value().asText(), "P");
    for (const char* ok : {"1", "2", "3"}) EXPECT_TRUE(IsModemNumber(ok)) << ok;
    for (const char* bad : {"0", "4", "01", "1 ", "a"}) EXPECT_FALSE(IsModemNumber(bad)) << bad;
}

TEST(FolderFilters, DateRangeRendersAsHalfOpenDayBounds) {
    db::Params p;
    const std::string sql = db::RenderCriteria(DateRangeCriteria(Folder::Sent, "2025-03-01", "2025-03-02"), p);
    EXPECT_EQ(sql, "(\"DateTimeSent\" >= ? AND \"DateTimeSent\" < ?)");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].asText(), "2025-03-01 00:00:00");
    EXPECT_EQ(p[1].asText(), "2025-03-02 00:00:00");
}

}  // namespace
}  // namespace parlix::console
