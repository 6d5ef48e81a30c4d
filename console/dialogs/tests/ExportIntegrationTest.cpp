// The export's reading without its window: one snapshot of the table while other
// connections write, and the target's name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "console/dialogs/core/Export.h"
#include "database/Schema.h"
#include "platform/db/Recordset.h"
#include "platform/workbook/Workbook.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;

TEST(ExportTarget, XlsxWhateverTheTypedExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/d/out", "/d/out.xlsx"},           {"/d/out.xls", "/d/out.xlsx"},   {"/d/out.XLS", "/d/out.xlsx"},
        {"/d/out.xlsx", "/d/out.xlsx"},      {"/d.xls/out", "/d.xls/out.xlsx"}, {"/d/out.v2", "/d/out.v2"},
        {"/d/report.xls.xls", "/d/report.xls.xlsx"},
    };
    for (const auto& [typed, target] : cases) EXPECT_EQ(ExportTarget(typed), target) << typed;
}

// Rows updated, added and deleted by another connection while the export is half-way
// are not in it: every row as it was when the export began, none half-changed. The
// writes themselves go through without waiting for the export.
TEST(ExportSnapshot, RowsChangedDuringTheExportAreNotInIt) {
    const fs::path root = fs::temp_directory_path() / ("parlix-export-snapshot-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / schema::kDatabaseFolder);
    const std::string dbPath = schema::databasePath(root.string());
    ASSERT_TRUE(schema::createDatabase(dbPath));
    db::Connection shared, engine;
    shared.open(dbPath, schema::kDatabaseKey);
    engine.open(dbPath, schema::kDatabaseKey);
    constexpr int kRows = 30000;
    shared.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT ?) "
                   "INSERT INTO AddressBook (Name, Mobile, CompanyName) SELECT 'before', '01' || i, 'before' FROM n",
                   {kRows});

    const std::string out = (root / "contacts.xlsx").string();
    int changes = 0;
    {
        ExportSnapshot snapshot(shared, ExportMode::Contacts);
        EXPECT_EQ(WriteExport(snapshot.records(), false, out, [&](std::int64_t written) {
                      if (written != 10000) return;
                      changes += static_cast<int>(engine.execute("UPDATE AddressBook SET Name = 'after'"));
                      changes += static_cast<int>(engine.execute("DELETE FROM AddressBook WHERE ContactID % 3 = 0"));
                      changes += static_cast<int>(engine.execute(
                          "INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ('new', '09', 'new')"));
                  }),
                  kRows);
    }
    EXPECT_EQ(changes, kRows + kRows / 3 + 1);
    const workbook::Sheet sheet = workbook::readSheet(out);
    ASSERT_EQ(sheet.rows.size(), static_cast<std::size_t>(kRows));
    for (const auto& r : sheet.rows) {
        ASSERT_EQ(r.cells.size(), 3u) << r.number;
        ASSERT_EQ(r.cells[0], "before") << r.number;
        ASSERT_EQ(r.cells[1], "01" + std::to_string(r.number)) << r.number;
    }
    {
        // The snapshot ended with the export: the next one sees the changes.
        ExportSnapshot next(shared, ExportMode::Contacts);
        EXPECT_EQ(next.records().recordCount(), kRows - kRows / 3 + 1);
    }
    shared.close();
    engine.close();
    fs::remove_all(root);
}

}  // namespace
}  // namespace parlix::console
