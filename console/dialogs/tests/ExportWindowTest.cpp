#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "console/dialogs/frmExport.h"
#include "console/dialogs/frmImport2.h"
#include "console/dialogs/tests/TestEnv.h"
#include "console/shell/General.h"
#include "platform/ui/Dialogs.h"
#include "platform/workbook/Workbook.h"
#include "platform/workbook/tests/Fixtures.h"

using namespace parlix;
using namespace parlix::console;
using parlix::console::testing::ConsoleFolder;
using parlix::workbook::testing::run;
using parlix::workbook::testing::toolsDir;

namespace {
QApplication& app = parlix::console::testing::TestApp();

const char* kContactsTitle = "Contact Manager - Export Contacts";

// Contacts whose texts a careless export would change.
const std::vector<std::vector<std::string>> kTricky = {
    {"O'Brien \"Q\" <&>", "0123456789", "=1+1"},
    {"_x0041_ \x01\x1F ctl", "60123456789", "100%"},
    {"emoji \xF0\x9F\x98\x80 \xE6\x9D\x8E", "+0060123456789", ""},
};

void addContacts(const std::vector<std::vector<std::string>>& rows) {
    for (const auto& r : rows)
        DbConnection.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, ?)", {r[0], r[1], r[2]});
}

std::string target(const ConsoleFolder& f, const char* name) { return (f.dir / name).string(); }

void proceed(frmExport& w, const std::string& path, bool headings) {
    w.txtExportExcel->setText(QString::fromStdString(path));
    w.ckbExportWithHeadings->setChecked(headings);
    w.cmdProceedExport->click();
}
}  // namespace

// The mode follows the disabled item; closing enables every export item again.
TEST(frmExport, ModeFromTheDisabledItem) {
    ConsoleFolder folder;
    General main;
    struct Case {
        QAction* item;
        ExportMode mode;
        const char* title;
    } cases[] = {
        {main.mnuExportReceived, ExportMode::Received, "Message Manager - Export SMS Received"},
        {main.mnuExportSent, ExportMode::Sent, "Message Manager - Export SMS Sent"},
        {main.mnuExport, ExportMode::Contacts, kContactsTitle},
    };
    for (const auto& c : cases) {
        c.item->setEnabled(false);
        frmExport w;
        w.show();
        EXPECT_EQ(w.mode(), c.mode);
        EXPECT_EQ(w.exportTitle(), c.title);
        w.cmdClose->click();
        EXPECT_FALSE(w.isVisible());
        for (QAction* a : {main.mnuExportReceived, main.mnuExportSent, main.mnuExport, main.Toolbar->actions().at(4)})
            EXPECT_TRUE(a->isEnabled());
    }
}

// Headings, the key left out, every text exactly as stored, read back by openpyxl,
// and imported again into an empty address book.
TEST(frmExport, ContactsRoundTrip) {
    // Of this process alone: other test runs on the machine make theirs too.
    const std::string copy = "/tmp/parlix-export-roundtrip-" + std::to_string(::getpid()) + ".xlsx";
    std::string file;
    {
        ConsoleFolder folder;
        addContacts(kTricky);
        file = target(folder, "contacts");  // no extension: ".xlsx" is added
        frmExport w;
        w.show();
        ui::ScriptedDialogs boxes;
        proceed(w, file, true);
        file += ".xlsx";
        EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"Exported to " + file});
        EXPECT_EQ(boxes.calls[0].buttons, ui::vbInformation);
        EXPECT_EQ(boxes.calls[0].title, kContactsTitle);
        EXPECT_TRUE(w.cmdProceedExport->isEnabled());

        const std::string json = run("/usr/bin/python3 '" + toolsDir() + "/read_xlsx.py' '" + file + "'");
        EXPECT_EQ(json,
                  "{\"sheet\": \"Sheet1\", \"rows\": [[\"Name\", \"Mobile\", \"CompanyName\"], "
                  "[\"O'Brien \\\"Q\\\" <&>\", \"0123456789\", \"=1+1\"], "
                  "[\"_x0041_ \\u0001\\u001f ctl\", \"60123456789\", \"100%\"], "
                  "[\"emoji \xF0\x9F\x98\x80 \xE6\x9D\x8E\", \"+0060123456789\", null]]}");
        std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
    }
    ConsoleFolder fresh;
    frmImport2 imp;
    imp.show();
    imp.txtImportSource->setText(QString::fromStdString(copy));
    imp.chkDuplicateAllow->setChecked(true);
    {
        ui::ScriptedDialogs boxes;
        imp.cmdProceedImport->click();
        imp.close();
    }
    std::vector<std::vector<std::string>> back;
    for (const auto& r : DbConnection.query("SELECT Name, Mobile, CompanyName FROM AddressBook ORDER BY ContactID"))
        back.push_back({r[0].asText(), r[1].asText(), r[2].asText()});
    EXPECT_EQ(back, kTricky);
    std::filesystem::remove(copy);
}

// A typed name ending in ".xls" is saved as ".xlsx" and the message says so; a value
// longer than a cell holds is cut to fit, the export finishes and the message counts it.
TEST(frmExport, XlsNameAndLongValues) {
    ConsoleFolder folder;
    addContacts({{std::string(40000, 'n'), "0111", std::string(33000, 'c')}, {"short", "0222", "co"}});
    frmExport w;
    w.show();
    struct Case {
        const char* typed;
        const char* saved;
        const char* renamed;  // the message's line about the name, if any
    } cases[] = {
        {"a.xls", "a.xlsx", "\n\nThe name ends in .xlsx, not .xls: the workbook is in the .xlsx format."},
        {"b.XLS", "b.xlsx", "\n\nThe name ends in .xlsx, not .XLS: the workbook is in the .xlsx format."},
        {"c", "c.xlsx", ""},
    };
    for (const auto& c : cases) {
        ui::ScriptedDialogs boxes;
        proceed(w, target(folder, c.typed), false);
        const std::string saved = target(folder, c.saved);
        EXPECT_EQ(boxes.prompts(),
                  std::vector<std::string>{"Exported to " + saved + c.renamed +
                                           "\n\n2 values were longer than a cell holds (32,767 characters) and "
                                           "were cut to fit."})
            << c.typed;
        EXPECT_FALSE(std::filesystem::exists(target(folder, "a.xls")));
        const std::string lengths =
            run("/usr/bin/python3 '" + toolsDir() + "/read_xlsx.py' '" + saved +
                "' | /usr/bin/python3 -c 'import json, sys; print([[len(c or \"\") for c in r] "
                "for r in json.load(sys.stdin)[\"rows\"]])'");
        EXPECT_EQ(lengths, "[[32767, 4, 32767], [5, 4, 2]]\n") << c.typed;
    }
    EXPECT_EQ(folder.errorLog(), "");
}

// Early stops, each with Proceed usable afterwards and nothing written.
TEST(frmExport, StopsAndOverwrite) {
    ConsoleFolder folder;
    frmExport w;
    w.show();
    ui::ScriptedDialogs boxes;
    proceed(w, "", false);
    proceed(w, target(folder, "empty.xlsx"), false);  // empty address book
    EXPECT_FALSE(std::filesystem::exists(target(folder, "empty.xlsx")));

    addContacts(kTricky);
    w.close();
    w.show();  // a fresh record set at each opening
    const std::string old = target(folder, "old.xlsx");
    std::ofstream(old) << "keep me";
    boxes.answer(ui::vbNo);
    proceed(w, old, false);
    std::ifstream in(old);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "keep me");
    boxes.answer(ui::vbYes);
    proceed(w, old, false);
    EXPECT_EQ(workbook::readSheet(old).rows.size(), 3u);

    EXPECT_EQ(boxes.prompts(), (std::vector<std::string>{"You have not select or type the name of Excel file. ",
                                                         "There are no records to be exported!",
                                                         "Excel file already exists.  Overwrite?",
                                                         "Excel file already exists.  Overwrite?",
                                                         "Exported to " + old}));
    EXPECT_EQ(boxes.calls[2].buttons, ui::vbYesNo | ui::vbQuestion);
    EXPECT_TRUE(w.cmdProceedExport->isEnabled());
    EXPECT_EQ(folder.errorLog(), "");
}

// A save that cannot complete keeps what was at the target and leaves no partial file.
TEST(frmExport, FailedSaveKeepsTheOldTarget) {
    ConsoleFolder folder;
    addContacts(kTricky);
    const std::string blocked = target(folder, "blocked.xlsx");
    std::filesystem::create_directories(blocked + "/inside");
    frmExport w;
    w.show();
    ui::ScriptedDialogs boxes;
    boxes.answer(ui::vbYes);
    proceed(w, blocked, false);
    EXPECT_EQ(boxes.prompts().back(), "Unable to export to " + blocked + ".");
    EXPECT_TRUE(std::filesystem::exists(blocked + "/inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.dir), {}), 3);  // Database, blocked, log
    EXPECT_EQ(folder.logLocations(), std::vector<std::string>{"Export Module - ProceedExport"});
    EXPECT_TRUE(w.cmdProceedExport->isEnabled());
}

// Sent messages: every Outbox row whatever its status, the queued ones too.
TEST(frmExport, SentListsQueuedRows) {
    ConsoleFolder folder;
    General main;
    DbConnection.execute(
        "INSERT INTO Outbox (MsgType, Subject, Message, Mobile, Name, DateTimeQueue, SentStatus) VALUES "
        "(1, 's1', 'waiting', '0111', 'A', '2026-01-01 10:00:00', 'P'), "
        "(1, 's1', 'sent', '0222', 'B', '2026-01-01 10:00:00', 'S')");
    main.mnuExportSent->setEnabled(false);
    frmExport w;
    w.show();
    ui::ScriptedDialogs boxes;
    const std::string file = target(folder, "sent.xlsx");
    proceed(w, file, true);
    const auto sheet = workbook::readSheet(file);
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.rows[0].cells,
              (std::vector<std::string>{"Subject", "Message", "Mobile", "Name", "DateTimeQueue", "DateTimeSent",
                                        "SentStatus", "DateTimeDeliver", "DeliveryStatus"}));
    EXPECT_EQ(sheet.rows[1].cells[1], "waiting");
    EXPECT_EQ(sheet.rows[1].cells[6], "P");
    w.close();
}

// More rows than a sheet holds: refused before anything is written.
TEST(frmExport, TooManyRowsRefusedUpFront) {
    ConsoleFolder folder;
    DbConnection.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT 1048576) "
                         "INSERT INTO AddressBook (Name, Mobile) SELECT 'n', i FROM n");
    frmExport w;
    w.show();
    ui::ScriptedDialogs boxes;
    const std::string file = target(folder, "big.xlsx");
    proceed(w, file, true);
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"There are 1048576 records, more than a worksheet holds "
                                                        "(1048575). Nothing was exported."});
    EXPECT_FALSE(std::filesystem::exists(file));
}
