// Window-less shell pieces: the error log, the quote test, captions, view layouts, sorting.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QLocale>

#include "console/shell/core/Captions.h"
#include "console/shell/core/DateText.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Validate.h"
#include "console/shell/core/Views.h"

namespace parlix::console {
namespace {

TEST(ErrorLog, RecordsGoToTheProgramFolderWithTheConsoleVersionNAAndSignedNumbers) {
    const auto dir = std::filesystem::temp_directory_path() / ("parlix-errlog-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    SetAppPath(dir.string());
    WriteErrorLog("", -2147467259, "Unspecified error");
    WriteErrorLog("General-Status", 3021, "No current record.");
    std::ifstream in(dir / kErrorLogName, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    EXPECT_EQ(text.rfind("*** Parlix version 4.0.1 ***\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\nError Location: N/A\r\nError Number: -2147467259\r\nError Description: Unspecified error\r\n\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\nError Location: General-Status\r\nError Number: 3021\r\n"), std::string::npos);
    EXPECT_EQ(text.find("*** Parlix version", 1), text.find("\r\n\r\n") + 4) << "second record right after the first";
    // A log that cannot be written (the folder is gone) is given up silently.
    std::filesystem::remove_all(dir);
    SetAppPath((dir / "missing").string());
    EXPECT_NO_THROW(WriteErrorLog("x", 1, "y"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// One text for every date-time the console shows: the user's short date and the time
// with its seconds, without a time zone.
TEST(DateText, StoredDateTimesShowWholeInTheUsersLocale) {
    const struct {
        const char* locale;
        const char* stored;
        const char* shown;
    } cases[] = {
        {"en_US", "2026-12-09 06:08:33", "12/9/26 6:08:33\u202fAM"},
        {"en_US", "2026-12-28 22:58:07", "12/28/26 10:58:07\u202fPM"},
        {"en_GB", "2026-12-09 06:08:33", "09/12/2026 06:08:33"},
        {"de_DE", "2026-12-09 23:59:59", "09.12.26 23:59:59"},
        {"en_US", "2026-12-09", "2026-12-09"},                    // no time: as stored
        {"en_US", "2026-02-30 10:00:00", "2026-02-30 10:00:00"},  // no such day
        {"en_US", "Now", "Now"},
        {"en_US", "", ""},
    };
    const QLocale before;
    for (const auto& c : cases) {
        QLocale::setDefault(QLocale(c.locale));
        const std::string shown = DateTimeText(c.stored);
        // Some Qt versions write a plain blank before AM/PM.
        std::string expected = c.shown;
        if (shown.find("\u202f") == std::string::npos)
            if (auto at = expected.find("\u202f"); at != std::string::npos) expected.replace(at, 3, " ");
        EXPECT_EQ(shown, expected) << c.locale << " " << c.stored;
    }
    // A moment (the composer's "Now") shows in the same form as its stored local text.
    QLocale::setDefault(QLocale("de_DE"));
    const std::time_t t = 1781000000;
    std::tm local{};
    localtime_r(&t, &local);
    char stored[32];
    std::strftime(stored, sizeof stored, "%Y-%m-%d %H:%M:%S", &local);
    EXPECT_EQ(DateTimeText(std::chrono::system_clock::from_time_t(t)), DateTimeText(stored));
    QLocale::setDefault(before);
}

TEST(Validate, HasApostropheAnywhere) {
    const std::pair<const char*, bool> cases[] = {{"", false}, {"'", true}, {"'abc", true}, {"abc'", true},
                                                  {"a'b", true}, {"abc", false}, {"O\xe2\x80\x99Neil", false}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(HasApostrophe(text), expected) << text;
}

TEST(Captions, PlainAndFilteredCaptionsUse64BitCounts) {
    EXPECT_EQ(FolderCaption(Folder::Inbox, 40000), "Inbox (40000 records)");
    EXPECT_EQ(FolderCaption(Folder::Sent, 3000000000LL), "Sent Items (3000000000 records)");
    EXPECT_EQ(AddressBookCaption(0), "Address Book (0 records)");
    EXPECT_EQ(GroupCaption("Staff", 40000), "Address Book (40000 contacts in group Staff)");

    FilterState s;
    s.FilterMessage = "50% off";
    s.FilterStatus = "p";
    s.FilterStartDate = "2026-03-01";
    s.FilterEndDate = "2026-03-06";  // the 1st to the 5th
    s.FilterSubject = "sale";
    s.SentItemsFilterCaption = "Failed";
    struct Case {
        Folder folder;
        std::vector<FilterKind> ticked;
        std::string caption;
    } cases[] = {
        {Folder::Outbox, {FilterKind::Status}, "Filtered Outbox by Status = Pending (35000 of 40000 records)"},
        {Folder::Inbox, {FilterKind::DateTime},
         "Filtered Inbox by Date Time from 2026-03-01 to 2026-03-05 (35000 of 40000 records)"},
        // Several ticked: the captions' own order decides.
        {Folder::Sent, {FilterKind::Subject, FilterKind::Message},
         "Filtered Sent Items by Message = 50% off (35000 of 40000 records)"},
        {Folder::Sent, {FilterKind::Status}, "Filtered Sent Items by Sent Status = Failed (35000 of 40000 records)"},
        {Folder::Sent, {}, "Filtered Sent Items (35000 of 40000 records)"},
        {Folder::Inbox, {}, ""},
        {Folder::Inbox, {FilterKind::Subject}, ""},  // the Inbox has no subject filter
    };
    for (const auto& c : cases) EXPECT_EQ(FilteredFolderCaption(c.folder, c.ticked, s, 35000, 40000), c.caption);
    // The window shows the days in the user's locale; the end is still the last day included.
    EXPECT_EQ(FilteredFolderCaption(Folder::Sent, {FilterKind::DateTime}, s, 1, 2,
                                    [](const std::string& d) { return d.substr(8, 2) + "/" + d.substr(5, 2); }),
              "Filtered Sent Items by Date Time from 01/03 to 05/03 (1 of 2 records)");
    s.FilterStatus = "R";
    EXPECT_EQ(FilteredFolderCaption(Folder::Outbox, {FilterKind::Status}, s, 1, 2),
              "Filtered Outbox by Status = Resent (1 of 2 records)");
    s.SearchName = "Ann";
    EXPECT_EQ(SearchedAddressBookCaption({SearchKind::Name}, s, 3, 50000),
              "Searched Address Book by Name = Ann (3 of 50000 records)");
}

TEST(Captions, LastIncludedDayCrossesMonthsAndYears) {
    EXPECT_EQ(LastIncludedDay("2026-03-01"), "2026-02-28");
    EXPECT_EQ(LastIncludedDay("2024-03-01"), "2024-02-29");
    EXPECT_EQ(LastIncludedDay("2027-01-01"), "2026-12-31");
    EXPECT_EQ(LastIncludedDay("not a date"), "not a date");
}

TEST(Views, LayoutsFollowTheColumnOrderOfEachFolder) {
    const ViewLayout outbox = LayoutOf(View::Outbox, 15);
    EXPECT_EQ(outbox.hidden, (std::set<int>{0, 1, 3, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(outbox.captions.at(7), "Queue On");
    EXPECT_EQ(outbox.widthsTwips.at(4), 3500);
    EXPECT_EQ(outbox.widthsTwips.at(14), 1600);
    EXPECT_EQ(outbox.rowHeightTwips, 650);
    const ViewLayout sent = LayoutOf(View::Sent, 15);
    EXPECT_EQ(sent.captions.at(11), "Delivery Status");
    EXPECT_EQ(sent.wordWrap, std::set<int>{4});
    EXPECT_EQ(sent.dateColumns, (std::set<int>{7, 8, 10}));
    const ViewLayout inbox = LayoutOf(View::Inbox, 9);
    EXPECT_TRUE(inbox.captions.empty()) << "field names until a header click";
    EXPECT_EQ(inbox.widthsTwips.at(1), 7000);
    EXPECT_EQ(inbox.hidden, (std::set<int>{0, 5}));
    EXPECT_EQ(LayoutOf(View::Group, 5).hidden, (std::set<int>{0, 4}));
    EXPECT_EQ(LayoutOf(View::AddressBook, 4).widthsTwips.at(0), 1800);
    EXPECT_EQ(TwipsToPixels(1800), 120);
}

TEST(Views, HeaderClicksGoAscendingThenDescendingAndRefuseUnknownCaptions) {
    auto first = NextSort(View::Outbox, 7, "Queue On", "DateTimeQueue", "");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->sort, "DateTimeQueue ASC");
    EXPECT_EQ(first->caption, "Queue On (A->Z)");
    auto second = NextSort(View::Outbox, 7, first->caption, "DateTimeQueue", first->sort);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->sort, "DateTimeQueue DESC");
    EXPECT_EQ(second->caption, "Queue On (Z->A)");
    auto third = NextSort(View::Outbox, 7, second->caption, "DateTimeQueue", second->sort);
    EXPECT_EQ(third->sort, "DateTimeQueue ASC");
    // Another column starts again at ascending.
    EXPECT_EQ(NextSort(View::Outbox, 5, "Mobile", "Mobile", second->sort)->sort, "Mobile ASC");
    EXPECT_FALSE(NextSort(View::Outbox, 12, "ModemID", "ModemID", ""));
    EXPECT_EQ(NextSort(View::Inbox, 6, "DateTime", "DateTime", "")->caption, "DateTime (A->Z)");
}

}  // namespace
}  // namespace parlix::console
