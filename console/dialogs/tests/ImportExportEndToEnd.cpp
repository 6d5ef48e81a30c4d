// End to end: contacts imported from a workbook; a message from one of them, received
// by a headless engine (parlix-engine-headless, a separate process) from the
// simulated modem, lands in Inbox under the imported name; the Inbox exported to a
// workbook holds it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "console/dialogs/core/Export.h"
#include "console/dialogs/tests/HeadlessEngine.h"
#include "console/dialogs/core/Import.h"
#include "database/Schema.h"
#include "platform/db/Recordset.h"
#include "platform/workbook/Workbook.h"
#include "platform/workbook/tests/Fixtures.h"
#include "tools/modemsim/SimModem.h"

namespace parlix::console {
namespace {

namespace fs = std::filesystem;

TEST(ImportExportEndToEnd, ImportedNameOnAReceivedMessageAndItsExport) {
    const fs::path root = fs::temp_directory_path() / ("parlix-import-e2e-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path engineFolder = root / "Engine";
    fs::create_directories(engineFolder);
    fs::create_directories(root / schema::kDatabaseFolder);
    std::ofstream(engineFolder / "Setting.INI") << "[Engine_Setting]\r\nEngineModemID=1\r\n";
    ASSERT_TRUE(schema::createDatabase(schema::databasePath(root.string())));
    db::Connection db;
    db.open(schema::databasePath(root.string()), schema::kDatabaseKey);
    db.execute("UPDATE Modem SET PortNumber = 3, ModemNumber = '0123456789', Direction = 1, Poll = 1 "
               "WHERE ModemID = 1");

    SheetShape shape;
    const auto contacts =
        ContactsFromSheet(workbook::readSheet(workbook::testing::fixture("contacts.xlsx")), true, shape);
    ASSERT_EQ(shape, SheetShape::Ok);
    EXPECT_EQ(ImportContacts(db, contacts, false, std::nullopt).imported, 3);  // one duplicate, one blank

    modemsim::SimModem sim;
    sim.linkPort(engineFolder.string(), 3);
    sim.inject("+60129876543", "Parcel received, thank you");
    {
        testing::Engine engine(engineFolder);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (db.scalar("SELECT count(*) FROM Inbox")->asInt() == 0 && engine.running() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const auto inbox = db.query("SELECT Name, Message FROM Inbox");
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0][0].asText(), "Bee Float");  // imported from a number written as a float
    EXPECT_EQ(inbox[0][1].asText(), "Parcel received, thank you");

    const std::string out = (root / "inbox.xlsx").string();
    db::Recordset rs(db, ExportSourceOf(ExportMode::Received).sql, {}, {db::Cursor::Live, db::Lock::ReadOnly, 0});
    EXPECT_EQ(WriteExport(rs, true, out), 1);
    const auto sheet = workbook::readSheet(out);
    ASSERT_EQ(sheet.rows.size(), 2u);
    EXPECT_EQ(sheet.rows[0].cells[0], "Message");
    EXPECT_EQ(sheet.rows[1].cells[0], "Parcel received, thank you");
    EXPECT_EQ(sheet.rows[1].cells[1], "Bee Float");
    db.close();
    fs::remove_all(root);
}

}  // namespace
}  // namespace parlix::console
