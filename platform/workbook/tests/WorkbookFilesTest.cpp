#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/workbook/Workbook.h"
#include "platform/workbook/tests/Fixtures.h"

using namespace parlix::workbook;
using parlix::workbook::testing::fixture;
using parlix::workbook::testing::publicWorkbook;
using parlix::workbook::testing::run;
using parlix::workbook::testing::toolsDir;

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows texts(const Sheet& s) {
    Rows out;
    for (const auto& r : s.rows) out.push_back(r.cells);
    return out;
}

const Rows kContacts = {
    {"Name", "Mobile", "Company"},
    {"Ali bin Abu", "60123456789", "Acme Sdn Bhd"},
    {"Bee Float", "60129876543", "O'Brien & Sons"},
    {"Chong Dashes", "012-345 6789", "100% \"Quoted\""},
    {"Dewi \xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 \xE6\x9D\x8E", "0123456789"},
    {"Blank Number", "", "Has Company"},
};

}  // namespace

// The same contacts, written by openpyxl, xlwt and LibreOffice (.xls and .xlsx), and
// an .xlsx named .xls: the same rows; the empty row left out, row numbers kept.
TEST(WorkbookFiles, ContactsFromEveryWriter) {
    for (const char* name : {"contacts.xlsx", "contacts.xls", "contacts-lo.xls", "contacts-lo.xlsx", "xlsx-named.xls"}) {
        const Sheet s = readSheet(fixture(name));
        EXPECT_EQ(texts(s), kContacts) << name;
        EXPECT_EQ(s.columns, 3) << name;
        ASSERT_EQ(s.rows.size(), 6u) << name;
        EXPECT_EQ(s.rows[4].number, 6u) << name;
    }
    EXPECT_EQ(detectFormat(fixture("xlsx-named.xls")), Format::Xlsx);
    EXPECT_EQ(detectFormat(fixture("contacts.xls")), Format::Xls);
    EXPECT_EQ(detectFormat(fixture("text.xls")), Format::Unknown);
}

// BIFF5 (Excel 5/95) as Gnumeric writes it: strings in the file's one code page, rich
// text in RSTRING records (which FreeXL loses: our own walk reads them), dates by format.
// A sheet whose cell area understates its cells is refused, never read with cells missing.
TEST(WorkbookFiles, Biff5FromGnumeric) {
    Rows contacts = kContacts;
    contacts[4][0] = "Dewi \xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 ?";  // no "李" in code page 1252
    const std::pair<const char*, Rows> cases[] = {
        {"contacts-biff5.xls", contacts},
        {"rich-biff5.xls", {{"Name", "Mobile", "Company"}, {"Rich Name", "012345", "Co"}}},
        {"kinds-biff5.xls", {{"60123456789"}, {"9007199254740992"}, {"0"}, {"0.5"}, {"2024-01-31"},
                             {"2024-01-31 13:45:30"}, {"18:30:00"}, {"2100-03-01"}, {"TRUE"}, {"FALSE"},
                             {"_x0041_ literal"}}},
    };
    for (const auto& [name, rows] : cases) {
        EXPECT_EQ(detectFormat(fixture(name)), Format::Xls) << name;
        EXPECT_EQ(texts(readSheet(fixture(name))), rows) << name;
    }
    try {
        readSheet(fixture("dims-biff5.xls"));
        ADD_FAILURE() << "a sheet with cells outside its area read";
    } catch (const WorkbookError& e) {
        EXPECT_EQ(e.problem(), Problem::Damaged) << e.what();
    }
}

// Workbooks saved by Excel and by another LibreOffice, from other projects' test suites:
// shared strings, sparse cells far from A1, decimals, sheets found by name, an empty
// sheet. The expected cells are what openpyxl and LibreOffice read from the same files.
TEST(WorkbookFiles, PublicWorkbooks) {
    struct Case {
        const char* file;
        const char* sheet;
        std::vector<std::pair<std::uint32_t, std::vector<std::string>>> rows;
        int columns;
    };
    const std::vector<std::string> r33(17, "");
    std::vector<std::string> refinery33 = r33;
    refinery33.push_back("Refinery.");
    const Case cases[] = {
        {"refinery-xlxtr.xlsx", "Binary", {{1, {"Binary"}}, {33, refinery33}}, 18},
        {"refinery-xlxtr.xlsx", "refinery", {{10, {"", "", "", "", "Binary Refinery."}}}, 5},
        {"xlsx-populate-blank.xlsx", "Sheet1", {}, 0},
        {"dashboardai-gapminder.xlsx", "gapminder",
         {{1, {"country", "region", "income", "income_level", "life_exp", "co2", "co2_change", "population"}},
          {2, {"Afghanistan", "Asia", "2.03", "Level 1", "62.7", "0.254", "increase", "37.2"}},
          {3, {"Albania", "Europe", "13.3", "Level 3", "78.4", "1.59", "increase", "2.88"}},
          {4, {"Algeria", "Africa", "11.6", "Level 3", "76", "3.69", "increase", "42.2"}},
          {5, {"Andorra", "Europe", "58.3", "Level 4", "82.1", "6.12", "decrease", "0.077"}},
          {6, {"Angola", "Africa", "6.93", "Level 2", "64.6", "1.12", "decrease", "30.8"}},
          {7, {"Antigua and Barbuda", "Americas", "21", "Level 3", "76.2", "5.88", "increase", "0.0963"}},
          {8, {"Argentina", "Americas", "22.7", "Level 3", "76.5", "4.41", "decrease", "44.4"}}},
         8},
        {"readxl-type-me.xls", "date_coercion",
         {{1, {"maybe a datetime?", "explanation"}},
          {2, {"", "empty"}},
          {3, {"2016-05-23", "date only format"}},
          {4, {"2016-04-28 11:30:00", "date and time format"}},
          {5, {"TRUE", "boolean true"}},
          {6, {"cabbage", "\"cabbage\""}},
          {7, {"4.3", "4.3 (numeric)"}},
          {8, {"39448", "another numeric"}}},
         2},
        {"readxl-type-me.xls", "logical_coercion",
         {{1, {"maybe boolean?", "description"}},
          {2, {"", "empty"}},
          {3, {"0", "0 (numeric)"}},
          {4, {"1", "1 (numeric)"}},
          {5, {"2016-01-01", "datetime"}},
          {6, {"TRUE", "boolean true"}},
          {7, {"FALSE", "boolean false"}},
          {8, {"cabbage", "\"cabbage\""}},
          {9, {"true", "the string \"true\""}},
          {10, {"F", "the letter \"F\""}},
          {11, {"False", "\"False\" preceded by single quote"}}},
         2},
        {"readxl-geometry.xls", "Sheet1",
         {{3, {"", "B3", "C3", "D3"}}, {4, {"", "B4", "C4", "D4"}}, {5, {"", "B5", "C5", "D5"}},
          {6, {"", "B6", "C6", "D6"}}},
         4},
        {"exceldatareader-mulcells-dual.xls", "Contents",
         {{3, {"", "Table Of Contents"}},
          {5, {"", "Code", "    Title"}},
          {7, {"", "201", "Table 2.1. Personal Income and Its Disposition"}},
          {9, {"", "202", "Table 2.2. Personal Consumption Expenditures by Major Type of Product"}},
          {11, {"", "203", "Table 2.3. Real Personal Consumption Expenditures by Major Type of Product"}},
          {13, {"", "204", "Table 2.4. Personal Consumption Expenditures by Type of Expenditure"}},
          {15, {"", "205", "Table 2.5. Real Personal Consumption Expenditures by Type of Expenditure"}},
          {17, {"", "206", "Table 2.6. Personal Consumption Expenditures by Type of Product"}},
          {19, {"", "207", "Table 2.7. Real Personal Consumption Expenditures by Type of Product"}}},
         3},
        {"openxlsx-inlineStr.xlsx", "Sheet1",
         {{1, {"this", "it"}},
          {2, {"is an xlsx file", "cannot be read"}},
          {3, {"written with writexl::write_xlsx", "with open.xlsx::read.xlsx"}}},
         2},
    };
    for (const auto& c : cases) {
        const Sheet s = readSheet(publicWorkbook(c.file), c.sheet);
        std::vector<std::pair<std::uint32_t, std::vector<std::string>>> got;
        for (const auto& r : s.rows) got.emplace_back(r.number, r.cells);
        EXPECT_EQ(got, c.rows) << c.file << " " << c.sheet;
        EXPECT_EQ(s.columns, c.columns) << c.file << " " << c.sheet;
    }
    // The same workbook saved by Excel for Mac as .xls and as .xlsx (this one with 1904
    // dates) reads the same, sheet for sheet.
    for (const auto& [name, sheet] : std::vector<std::pair<std::string, std::string>>{
             {"readxl-type-me", "logical_coercion"}, {"readxl-type-me", "numeric_coercion"},
             {"readxl-type-me", "date_coercion"}, {"readxl-type-me", "text_coercion"},
             {"readxl-deaths", "arts"}, {"readxl-deaths", "other"}}) {
        const Sheet xls = readSheet(publicWorkbook(name + ".xls"), sheet);
        const Sheet xlsx = readSheet(publicWorkbook(name + ".xlsx"), sheet);
        EXPECT_EQ(texts(xls), texts(xlsx)) << name << " " << sheet;
        EXPECT_GE(xls.rows.size(), 7u) << name << " " << sheet;
    }
    const Sheet arts = readSheet(publicWorkbook("readxl-deaths.xlsx"), "arts");
    EXPECT_EQ(arts.rows[5].cells,
              (std::vector<std::string>{"David Bowie", "musician", "69", "TRUE", "1947-01-08", "2016-01-10"}));
    EXPECT_EQ(arts.rows[13].cells,
              (std::vector<std::string>{"Zsa Zsa Gábor", "actor", "99", "TRUE", "1917-02-06", "2016-12-18"}));
    for (const char* file : {"refinery-xlxtr.xlsx", "dashboardai-gapminder.xlsx", "readxl-deaths.xls"}) {
        try {
            readSheet(publicWorkbook(file));
            ADD_FAILURE() << file << ": a workbook without Sheet1 read";
        } catch (const WorkbookError& e) {
            EXPECT_EQ(e.problem(), Problem::NoSheet) << file << ": " << e.what();
        }
    }
}

TEST(WorkbookFiles, CellKinds) {
    const Rows xlsx = {{"60123456789"}, {"9007199254740992"}, {"0"}, {"0.5"}, {"2024-01-31"},
                       {"2024-01-31 13:45:30"}, {"18:30:00"}, {"2100-03-01"}, {"TRUE"}, {"FALSE"},
                       {"A literal"}};  // openpyxl leaves "_x0041_" unescaped: it means "A"
    EXPECT_EQ(texts(readSheet(fixture("kinds.xlsx"))), xlsx);
    Rows lo = xlsx;
    lo[10] = {"_x0041_ literal"};  // LibreOffice escapes it
    lo[1] = {"9007199254740990"};  // and keeps 15 digits
    EXPECT_EQ(texts(readSheet(fixture("kinds-lo.xlsx"))), lo);
    lo[1] = {"9007199254740992"};
    EXPECT_EQ(texts(readSheet(fixture("kinds-lo.xls"))), lo);
    const Rows xls = {{"60123456789"}, {"0.5"}, {"2024-01-31"}, {"2024-01-31 13:45:30"}, {"18:30:00"},
                      {"2100-03-01"}, {"TRUE"}, {"FALSE"}, {"2147483653"}};
    EXPECT_EQ(texts(readSheet(fixture("kinds.xls"))), xls);
    EXPECT_EQ(texts(readSheet(fixture("date1904.xlsx"))), (Rows{{"2024-01-31"}}));
}

// Shared strings with rich-text and phonetic runs, escapes, cells and rows without
// references, prefixed elements, the sheet found by name in any case.
TEST(WorkbookFiles, HandMadeXlsx) {
    const Sheet s = readSheet(fixture("handmade.xlsx"));
    EXPECT_EQ(texts(s), (Rows{{"Plain", "Rich text", "line\r\ntwo _x0041_"},
                              {"", "", "TRUE"},
                              {"Plainx", "2024-02-29 10:11:12", " padded "}}));
    EXPECT_EQ(s.rows[2].number, 5u);
    EXPECT_EQ(texts(readSheet(fixture("lowercase.xlsx")))[1][0], "Ali bin Abu");
}

// openpyxl stores no value for a formula: refused with the rows. xlwt stores the
// result "empty text" for every formula, which is also what a calculated "" is: read
// as empty cells.
TEST(WorkbookFiles, FormulasNeedStoredValues) {
    const Rows computed = {{"Name", "Mobile", "Company"}, {"Ali", "2", "Co"}, {"Bee", "0123", "Co"}, {"Cat", "Ali", "Co"}};
    EXPECT_EQ(texts(readSheet(fixture("formula-lo.xlsx"))), computed);
    EXPECT_EQ(texts(readSheet(fixture("formula-lo.xls"))), computed);
    EXPECT_EQ(texts(readSheet(fixture("formula.xls"))), (Rows{{"Ali"}}));
    try {
        readSheet(fixture("formula.xlsx"));
        ADD_FAILURE() << "formula.xlsx read";
    } catch (const WorkbookError& e) {
        EXPECT_EQ(e.problem(), Problem::FormulaWithoutValue);
        EXPECT_EQ(e.rows(), (std::vector<std::uint32_t>{2, 4}));
    }
}

// As LibreOffice and Gnumeric save them: a formula whose result is an empty text is an
// empty cell; serial 60 is Excel's 29 February 1900, between 59 and 61; a file with an
// Excel 5 and an Excel 97 stream reads from the Excel 97 one, whichever comes first.
TEST(WorkbookFiles, EdgesFromLibreOfficeAndGnumeric) {
    const Rows edges = {{"Name", "Mobile", "Company"},
                        {"Ali", "", "Co"},
                        {"Bee", "0123"},
                        {"1900-02-28", "1900-02-29", "1900-03-01", "1900-02-29 06:00:00"}};
    for (const char* name :
         {"edges-lo.xls", "edges-lo.xlsx", "edges-gnumeric.xls", "edges-dual.xls", "edges-dual-swapped.xls"})
        EXPECT_EQ(texts(readSheet(fixture(name))), edges) << name;
}

TEST(WorkbookFiles, RefusedWithTheirCause) {
    Limits small;
    small.maxPartBytes = 8 << 20;
    const std::pair<const char*, Problem> cases[] = {
        {"empty.xls", Problem::NotWorkbook},     {"text.xls", Problem::NotWorkbook},
        {"html.xls", Problem::NotWorkbook},      {"notworkbook.xlsx", Problem::NotWorkbook},
        {"truncated.xlsx", Problem::Damaged},    {"truncated.xls", Problem::Damaged},
        {"nosheet.xlsx", Problem::NoSheet},      {"nosheet.xls", Problem::NoSheet},
        {"bomb.xlsx", Problem::TooLarge},        {"missing-file.xlsx", Problem::NotWorkbook},
        {"bomb-styles.xlsx", Problem::TooLarge}, {"entities.xlsx", Problem::Damaged},
        {"password.xls", Problem::PasswordProtected}, {"encrypted.xlsx", Problem::PasswordProtected},
    };
    for (const auto& [name, problem] : cases) {
        try {
            readSheet(fixture(name), "Sheet1", small);
            ADD_FAILURE() << name << " read";
        } catch (const WorkbookError& e) {
            EXPECT_EQ(e.problem(), problem) << name << ": " << e.what();
        }
    }
    // A damaged .xls is refused one way or another, never read as a sheet. One that
    // overruns a buffer inside FreeXL (found by fuzzing; FreeXL runs in a process of its
    // own for such files) has a directory entry of no kind and is refused before.
    EXPECT_THROW(readSheet(fixture("corrupt.xls")), WorkbookError);
    try {
        readSheet(toolsDir() + "/data/freexl-overflow.xls");
        ADD_FAILURE() << "freexl-overflow.xls read";
    } catch (const WorkbookError& e) {
        EXPECT_EQ(e.problem(), Problem::Damaged) << e.what();
    }
    // Parts read whole have a cap of their own, far below the sheet's.
    try {
        readSheet(fixture("bomb-styles.xlsx"));
        ADD_FAILURE() << "bomb-styles.xlsx read";
    } catch (const WorkbookError& e) {
        EXPECT_EQ(e.problem(), Problem::TooLarge) << e.what();
    }
    Limits few;
    few.maxRows = 3;
    EXPECT_THROW(readSheet(fixture("contacts.xlsx"), "Sheet1", few), WorkbookError);
}

// What our writer writes, openpyxl and LibreOffice read back exactly as given.
TEST(WorkbookFiles, WrittenTextsSurviveOtherReaders) {
    const Rows rows = {
        {"quote ' \" and <&>", "=1+1", "0123456789"},
        {"_x0041_", "tab\tnew\nline\rcr", "\x01\x1F control"},
        {"emoji \xF0\x9F\x98\x80", "Ünïcödé 李", "-0"},
        {"", "middle empty", ""},
    };
    const auto dir = std::filesystem::temp_directory_path() / ("parlix-written-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.xlsx").string();
    {
        SheetWriter w(path);
        for (const auto& r : rows) w.addRow(r);
        w.close();
        EXPECT_EQ(w.rowsWritten(), 4u);
    }
    Sheet back = readSheet(path);
    Rows expected = rows;
    expected[3] = {"", "middle empty"};
    EXPECT_EQ(texts(back), expected);

    const std::string json = run("/usr/bin/python3 '" + toolsDir() + "/read_xlsx.py' '" + path + "'");
    EXPECT_EQ(json,
              "{\"sheet\": \"Sheet1\", \"rows\": [[\"quote ' \\\" and <&>\", \"=1+1\", \"0123456789\"], "
              "[\"_x0041_\", \"tab\\tnew\\nline\\rcr\", \"\\u0001\\u001f control\"], "
              "[\"emoji \xF0\x9F\x98\x80\", \"Ünïcödé 李\", \"-0\"], [null, \"middle empty\", null]]}");

    // LibreOffice's own reading, as CSV (UTF-8, text fields quoted; LibreOffice keeps
    // no carriage return in a cell and gives a line feed).
    run("cd '" + dir.string() + "' && soffice -env:UserInstallation=file://" + dir.string() +
        "/profile --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true' out.xlsx "
        ">/dev/null 2>&1");
    std::ifstream csv(dir / "out.csv", std::ios::binary);
    std::stringstream ss;
    ss << csv.rdbuf();
    EXPECT_EQ(ss.str(),
              "\"quote ' \"\" and <&>\",\"=1+1\",\"0123456789\"\n"
              "\"_x0041_\",\"tab\tnew\nline\ncr\",\"\x01\x1F control\"\n"
              "\"emoji \xF0\x9F\x98\x80\",\"Ünïcödé 李\",\"-0\"\n"
              ",\"middle empty\",\n");
    std::filesystem::remove_all(dir);
}

// A text longer than a cell holds is written cut to 32,767 characters as spreadsheet
// programs count them (UTF-16 units: an emoji is two, never split), with the writer's
// own escapes counted too; each cut cell is counted and the workbook is whole.
TEST(WorkbookFiles, WriterCutsTextsLongerThanACell) {
    std::string escapes;
    for (int i = 0; i < 5000; ++i) escapes += "_x0041_";
    const std::vector<std::pair<std::string, std::string>> cells = {
        {std::string(40000, 'a'), std::string(32767, 'a')},
        {std::string(32767, 'b'), std::string(32767, 'b')},
        {std::string(32766, 'c') + "\xF0\x9F\x98\x80", std::string(32766, 'c')},
        {escapes, escapes.substr(0, 2520 * 7 + 1)},  // what the escaped text leaves room for
    };
    const auto path = std::filesystem::temp_directory_path() / ("parlix-long-" + std::to_string(::getpid()) + ".xlsx");
    SheetWriter w(path.string());
    for (const auto& [text, kept] : cells) w.addRow({text});
    w.close();
    EXPECT_EQ(w.cellsCut(), 3u);
    const Sheet back = readSheet(path.string());
    ASSERT_EQ(back.rows.size(), cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(back.rows[i].cells, (std::vector<std::string>{cells[i].second})) << i;
    const std::string lengths =
        run("/usr/bin/python3 '" + toolsDir() + "/read_xlsx.py' '" + path.string() +
            "' | /usr/bin/python3 -c 'import json, sys; print([len(r[0].encode(\"utf-16-le\")) // 2 "
            "for r in json.load(sys.stdin)[\"rows\"]])'");
    EXPECT_EQ(lengths, "[32767, 32767, 32766, 17641]\n");
    std::filesystem::remove(path);
}

TEST(WorkbookFiles, WriterRefusesRowsBeyondTheLimit) {
    const auto path = std::filesystem::temp_directory_path() / ("parlix-limit-" + std::to_string(::getpid()) + ".xlsx");
    {
        SheetWriter w(path.string());
        for (std::uint32_t i = 0; i < SheetWriter::kMaxRows; ++i) w.addRow({});
        try {
            w.addRow({"one too many"});
            ADD_FAILURE() << "row past the limit written";
        } catch (const WorkbookError& e) {
            EXPECT_EQ(e.problem(), Problem::TooLarge);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(path));  // never closed: no file left that looks whole
}
