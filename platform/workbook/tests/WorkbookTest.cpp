#include <gtest/gtest.h>

#include <tuple>

#include "platform/workbook/Internal.h"

using namespace parlix::workbook;
using namespace parlix::workbook::detail;

TEST(WorkbookText, Numbers) {
    struct Case {
        double v;
        const char* text;
    } cases[] = {{60123456789.0, "60123456789"}, {-0.0, "0"}, {0.5, "0.5"}, {-12.25, "-12.25"},
                 {9007199254740993.0, "9007199254740992"}, {1e21, "1e+21"}, {0.1, "0.1"}};
    for (const auto& c : cases) EXPECT_EQ(numberText(c.v), c.text) << c.v;
}

TEST(WorkbookText, SerialDates) {
    struct Case {
        double serial;
        bool date1904;
        DateKind kind;
        const char* text;
    } cases[] = {
        {1, false, DateKind::Date, "1900-01-01"},
        {59, false, DateKind::Date, "1900-02-28"},
        {60, false, DateKind::Date, "1900-02-29"},  // Excel's day that the calendar has not
        {60.25, false, DateKind::DateTime, "1900-02-29 06:00:00"},
        {61, false, DateKind::Date, "1900-03-01"},
        {60, true, DateKind::Date, "1904-03-01"},
        {45292, false, DateKind::Date, "2024-01-01"},
        {73110, false, DateKind::Date, "2100-03-01"},        // 2100 is no leap year
        {0, true, DateKind::Date, "1904-01-01"},
        {45292.5, false, DateKind::DateTime, "2024-01-01 12:00:00"},
        {45292.999999999, false, DateKind::DateTime, "2024-01-02 00:00:00"},  // rolls over, never 24:00:00
        {0.75, false, DateKind::Time, "18:00:00"},
        {-1, false, DateKind::Date, "-1"},
    };
    for (const auto& c : cases) EXPECT_EQ(serialText(c.serial, c.date1904, c.kind), c.text) << c.serial;
}

TEST(WorkbookText, FormatKinds) {
    struct Case {
        const char* code;
        DateKind kind;
    } cases[] = {
        {"General", DateKind::None}, {"0.00", DateKind::None}, {"#,##0;[Red]-#,##0", DateKind::None},
        {"yyyy-mm-dd", DateKind::Date}, {"dd/mm/yyyy hh:mm", DateKind::DateTime}, {"h:mm AM/PM", DateKind::Time},
        {"[h]:mm:ss", DateKind::Time}, {"mmm", DateKind::Date}, {"\"day\" 0", DateKind::None},
        {"[$-409]d-mmm-yy;@", DateKind::Date}, {"0_);[Red](0)", DateKind::None},
    };
    for (const auto& c : cases) EXPECT_EQ(classifyFormat(c.code), c.kind) << c.code;
    EXPECT_EQ(builtinFormatKind(14), DateKind::Date);
    EXPECT_EQ(builtinFormatKind(22), DateKind::DateTime);
    EXPECT_EQ(builtinFormatKind(21), DateKind::Time);
    EXPECT_EQ(builtinFormatKind(49), DateKind::None);
}

// What the writer escapes, the reader turns back into the same text.
TEST(WorkbookText, EscapesRoundTrip) {
    EXPECT_EQ(decodeEscapes("a_x000D_b"), "a\rb");
    EXPECT_EQ(decodeEscapes("_x005F_x0041_"), "_x0041_");
    EXPECT_EQ(decodeEscapes("_xD83D__xDE00_"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(decodeEscapes("_x12G4_ _x123_"), "_x12G4_ _x123_");
    for (const std::string s : {"_x0041_", "__x0041__", "_x005F_", "plain", "x_x00", "\xE2\x9C\x93 _xABCD_"})
        EXPECT_EQ(decodeEscapes(cellTextForXlsx(s)), s) << s;
    EXPECT_EQ(cellTextForXlsx("bad \xFF byte"), "bad \xEF\xBF\xBD byte");
}

// The compound file that FreeXL gets for a two-stream workbook: our own reader finds the
// stream again, at every size (several allocation sectors, and beyond the 109 that the
// header lists, where the chained ones take over).
TEST(WorkbookText, CompoundFileOfOneStream) {
    for (const std::size_t size : {std::size_t{100}, std::size_t{4096}, std::size_t{70000}, std::size_t{8u << 20}}) {
        std::string stream(size, '\0');
        for (std::size_t i = 0; i < size; ++i) stream[i] = static_cast<char>(i * 7 + i / 511);
        const std::string file = compoundFileOf(stream);
        const CompoundFile cf(file);
        std::string back = cf.stream("Workbook");
        ASSERT_GE(back.size(), size) << size;
        EXPECT_GE(back.size(), 4096u) << size;
        EXPECT_TRUE(back.compare(0, size, stream) == 0) << size;
        EXPECT_EQ(back.find_first_not_of('\0', size), std::string::npos) << size;
        EXPECT_FALSE(cf.has("Book"));
    }
}

// Cells come row by row from an .xlsx, but an .xls gives FreeXL's cells first and our
// own walk's after them: rows out of order meet again, in order, each cell in its place.
TEST(WorkbookText, RowsInAnyOrder) {
    Limits limits;
    SheetBuilder b(limits);
    const std::tuple<std::uint32_t, std::uint32_t, const char*> sets[] = {
        {3, 0, "d"}, {5, 1, "f"}, {1, 2, "b"}, {3, 2, "D"}, {0, 0, "a"}, {4, 0, "e"}, {1, 0, "B"}, {5, 0, "F"}};
    for (const auto& [row, col, text] : sets) b.set(row, col, text);
    const Sheet s = b.finish();
    std::vector<std::pair<std::uint32_t, std::vector<std::string>>> got;
    for (const auto& r : s.rows) got.emplace_back(r.number, r.cells);
    EXPECT_EQ(got, (std::vector<std::pair<std::uint32_t, std::vector<std::string>>>{
                       {1, {"a"}}, {2, {"B", "", "b"}}, {4, {"d", "", "D"}}, {5, {"e"}}, {6, {"F", "f"}}}));
    EXPECT_EQ(s.columns, 3);
    Limits two;
    two.maxRows = 2;
    SheetBuilder small(two);
    small.set(4, 0, "x");
    small.set(1, 0, "y");
    small.set(4, 1, "x again");  // a row it holds already
    EXPECT_THROW(small.set(2, 0, "z"), WorkbookError);
}

// A record too short for what it names (a sheet's name that the record cuts off before
// its length byte) is a damaged workbook, refused as such; never any other error.
TEST(WorkbookText, RecordsCutShortAreDamage) {
    auto record = [](std::uint16_t type, std::string data) {
        std::string r{static_cast<char>(type & 0xFF), static_cast<char>(type >> 8),
                      static_cast<char>(data.size() & 0xFF), static_cast<char>(data.size() >> 8)};
        return r + data;
    };
    const std::string biff8Bof = record(0x0809, std::string("\x00\x06\x10\x00", 4) + std::string(12, '\0'));
    const std::string biff5Bof = record(0x0809, std::string("\x00\x05\x10\x00", 4) + std::string(4, '\0'));
    const std::string cases[] = {
        biff8Bof + record(0x0085, std::string(6, '\0')) + record(0x000A, ""),  // BOUNDSHEET without its name
        biff5Bof + record(0x0085, std::string(6, '\0')) + record(0x000A, ""),
        biff8Bof + record(0x041E, std::string(2, '\0')) + record(0x000A, ""),  // FORMAT without its code
        biff5Bof + record(0x041E, std::string(2, '\0')) + record(0x000A, ""),
    };
    for (const auto& stream : cases) {
        const std::string file = compoundFileOf(stream);
        try {
            readSheetFromMemory(file.data(), file.size());
            ADD_FAILURE() << "read";
        } catch (const WorkbookError& e) {
            EXPECT_EQ(e.problem(), Problem::Damaged) << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a WorkbookError: " << e.what();
        }
    }
}
