#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "console/dialogs/core/Import.h"
#include "console/dialogs/frmImport2.h"
#include "console/dialogs/tests/TestEnv.h"
#include "console/shell/General.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Dialogs.h"
#include "platform/workbook/tests/Fixtures.h"

using namespace parlix;
using namespace parlix::console;
using parlix::console::testing::ConsoleFolder;
using parlix::workbook::testing::fixture;
using parlix::workbook::testing::publicWorkbook;

namespace {
QApplication& app = parlix::console::testing::TestApp();

const char* kTitle = "Contact Manager - Import";

std::int64_t count(const std::string& sql) { return DbConnection.scalar(sql)->asInt(); }

std::vector<std::vector<std::string>> rows(const std::string& sql) {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : DbConnection.query(sql)) {
        out.emplace_back();
        for (const auto& v : r) out.back().push_back(v.asText());
    }
    return out;
}

std::string report(int imported, int duplicates, int blank) {
    return "Number of records imported: " + std::to_string(imported) +
           "\nNumber of record NOT imported due to duplication: " + std::to_string(duplicates) +
           "\nNumber of record NOT imported due to blank mobile number: " + std::to_string(blank);
}

// Scripted boxes that also check the hourglass is gone whenever a box shows.
struct Boxes : ui::ScriptedDialogs {
    int msgBox(const std::string& prompt, int buttons, const std::string& title) override {
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << prompt;
        return ScriptedDialogs::msgBox(prompt, buttons, title);
    }
};

// A fresh import window, shown, with `file` in the source box.
struct Import {
    frmImport2 w;
    explicit Import(const std::string& file) {
        w.show();
        w.txtImportSource->setText(QString::fromStdString(file));
    }
    ~Import() {
        ui::ScriptedDialogs yes;
        w.close();
    }
};
}  // namespace

TEST(frmImport2, LoadFillsControls) {
    ConsoleFolder folder;
    DbConnection.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('Staff', 0), ('None', 0)");
    Import imp("");
    EXPECT_EQ(imp.w.windowTitle(), kTitle);
    EXPECT_TRUE(imp.w.chkField->isChecked());
    EXPECT_FALSE(imp.w.chkDuplicateAllow->isChecked());
    // "None", a line, then the groups: the group called "None" once, apart from the choice.
    ASSERT_EQ(imp.w.cbGroup->count(), 4);
    EXPECT_EQ(imp.w.cbGroup->itemText(0), "None");
    EXPECT_FALSE(imp.w.cbGroup->itemData(0).isValid());
    EXPECT_EQ(imp.w.cbGroup->itemData(1, Qt::AccessibleDescriptionRole).toString(), "separator");
    QStringList groups;
    for (int i = 2; i < imp.w.cbGroup->count(); ++i) groups << imp.w.cbGroup->itemData(i).toString();
    groups.sort();
    EXPECT_EQ(groups, (QStringList{"None", "Staff"}));
    EXPECT_EQ(imp.w.lblNote->text(),
              "Please make sure the following conditions are met:\n1. The Excel worksheet has 3 coloumns\n"
              "2. The Excel worksheet is called 'Sheet1'");
}

// Every early stop: its messages in order, nothing written, the pointer back.
TEST(frmImport2, RefusalsChangeNothing) {
    ConsoleFolder folder;
    struct Case {
        std::string file;
        bool headings;
        std::vector<std::string> prompts;
    } cases[] = {
        {"", true, {"No Excel file is selected!"}},
        {fixture("no-such-file.xlsx"), true, {"Excel file not found."}},
        {"/tmp", true, {"Excel file not found."}},
        {fixture("text.xls"), true,
         {"Unable to connect to the Excel file\n\nThe file is not an Excel workbook (.xls or .xlsx).",
          "Unable to open the Excel!"}},
        {fixture("truncated.xlsx"), true,
         {"Unable to connect to the Excel file\n\nThe workbook is damaged or incomplete.", "Unable to open the Excel!"}},
        {fixture("encrypted.xlsx"), true,
         {"Unable to connect to the Excel file\n\nThe workbook is protected with a password. Save it without a "
          "password and try again.",
          "Unable to open the Excel!"}},
        {fixture("nosheet.xlsx"), true, {"Please make sure that the worksheet is called 'Sheet1'."}},
        {fixture("nosheet.xls"), true, {"Please make sure that the worksheet is called 'Sheet1'."}},
        {fixture("headonly.xlsx"), true, {"There is no record in the Excel file!"}},
        {publicWorkbook("xlsx-populate-blank.xlsx"), false, {"There is no record in the Excel file!"}},
        {publicWorkbook("refinery-xlxtr.xlsx"), true, {"Please make sure that the worksheet is called 'Sheet1'."}},
        {fixture("twocols.xlsx"), false, {"Please make sure that there are 3 columns in the worksheet."}},
        {fixture("formula.xlsx"), true,
         {"Some cells hold formulas whose values were never saved (rows 2, 4). Open the workbook in a spreadsheet "
          "program, save it and import again."}},
    };
    for (const auto& c : cases) {
        Import imp(c.file);
        imp.w.chkField->setChecked(c.headings);
        Boxes boxes;
        imp.w.cmdProceedImport->click();
        EXPECT_EQ(boxes.prompts(), c.prompts) << c.file;
        for (const auto& call : boxes.calls) EXPECT_EQ(call.title, kTitle);
        EXPECT_EQ(count("SELECT count(*) FROM AddressBook"), 0) << c.file;
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << c.file;
        EXPECT_TRUE(imp.w.isVisible());
    }
    EXPECT_EQ(folder.logLocations(),
              (std::vector<std::string>{"ConnectADOExcel", "ConnectADOExcel", "ConnectADOExcel"}));
}

// Duplicates against the book and within the sheet, blank numbers (also one of only
// dashes and blanks), numbers cleaned, memberships only for imported contacts, counts
// anew at each Proceed.
TEST(frmImport2, ImportCountsAndGroup) {
    for (const char* file : {"contacts.xlsx", "contacts.xls"}) {
        ConsoleFolder folder;
        DbConnection.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ('Old', '0123456789', '')");
        DbConnection.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('Staff', 0)");
        Import imp(fixture(file));
        imp.w.cbGroup->setCurrentIndex(2);
        Boxes boxes;
        imp.w.cmdProceedImport->click();
        imp.w.cmdProceedImport->click();
        ASSERT_EQ(boxes.calls.size(), 2u) << file;
        EXPECT_EQ(boxes.calls[0].prompt, report(2, 2, 1)) << file;
        EXPECT_EQ(boxes.calls[0].title, "Contact Manager - Import Finished");
        EXPECT_EQ(boxes.calls[0].buttons, ui::vbOKOnly);
        EXPECT_EQ(boxes.calls[1].prompt, report(0, 4, 1)) << file;
        EXPECT_EQ(rows("SELECT Name, Mobile, CompanyName FROM AddressBook ORDER BY ContactID"),
                  (std::vector<std::vector<std::string>>{{"Old", "0123456789", ""},
                                                         {"Ali bin Abu", "60123456789", "Acme Sdn Bhd"},
                                                         {"Bee Float", "60129876543", "O'Brien & Sons"}}));
        EXPECT_EQ(rows("SELECT g.GroupName, g.Mobile FROM Groups g JOIN AddressBook a ON a.ContactID = g.ContactID "
                       "ORDER BY g.ContactID"),
                  (std::vector<std::vector<std::string>>{{"Staff", "60123456789"}, {"Staff", "60129876543"}}));
        EXPECT_EQ(folder.errorLog(), "");
    }
}

TEST(frmImport2, DuplicatesAllowedAndGroupCalledNone) {
    ConsoleFolder folder;
    DbConnection.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('None', 0)");
    Import imp(fixture("contacts.xlsx"));
    imp.w.chkDuplicateAllow->setChecked(true);
    imp.w.cbGroup->setCurrentIndex(2);  // the group, after the choice and the line
    ASSERT_EQ(imp.w.cbGroup->currentText(), "None");
    ui::ScriptedDialogs boxes;
    imp.w.cmdProceedImport->click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{report(4, 0, 1)});
    EXPECT_EQ(count("SELECT count(*) FROM AddressBook WHERE Mobile = '0123456789'"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM Groups WHERE GroupName = 'None' AND ContactID > 0"), 4);
}

// A write that fails half-way leaves both tables as they were and no transaction open.
TEST(frmImport2, FailedWriteRollsBack) {
    ConsoleFolder folder;
    DbConnection.execute("INSERT INTO Groups (GroupName, ContactID) VALUES ('Staff', 0)");
    DbConnection.execute("CREATE TRIGGER NoMembers BEFORE INSERT ON Groups WHEN NEW.ContactID > 0 "
                         "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    Import imp(fixture("contacts.xlsx"));
    imp.w.cbGroup->setCurrentIndex(2);
    Boxes boxes;
    imp.w.cmdProceedImport->click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"Unable to import contacts from the Excel file!"});
    EXPECT_EQ(boxes.calls[0].buttons, ui::vbCritical);
    EXPECT_EQ(count("SELECT count(*) FROM AddressBook"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM Groups"), 1);
    EXPECT_EQ(folder.logLocations(), std::vector<std::string>{"cmdProceedImport_Click"});
    DbConnection.begin();  // would fail if the import had left its transaction open
    DbConnection.rollback();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// BIFF5 from Gnumeric: rich-text cells (lost by FreeXL) arrive as names and numbers.
TEST(frmImport2, ImportsBiff5) {
    const std::pair<const char*, std::vector<std::vector<std::string>>> cases[] = {
        {"rich-biff5.xls", {{"Rich Name", "012345", "Co"}}},
        {"contacts-biff5.xls",
         {{"Ali bin Abu", "60123456789", "Acme Sdn Bhd"},
          {"Bee Float", "60129876543", "O'Brien & Sons"},
          {"Chong Dashes", "0123456789", "100% \"Quoted\""}}},
    };
    for (const auto& [name, book] : cases) {
        ConsoleFolder folder;
        Import imp(fixture(name));
        ui::ScriptedDialogs boxes;
        imp.w.cmdProceedImport->click();
        const bool rich = book.size() == 1;
        EXPECT_EQ(boxes.prompts(), std::vector<std::string>{rich ? report(1, 0, 0) : report(3, 1, 1)}) << name;
        EXPECT_EQ(rows("SELECT Name, Mobile, CompanyName FROM AddressBook ORDER BY ContactID"), book) << name;
    }
}

// Both tables, every value with its type, in storage order.
std::vector<std::vector<std::string>> tables() {
    auto all = rows("SELECT quote(ContactID), quote(Name), quote(Mobile), quote(CompanyName) FROM AddressBook "
                    "ORDER BY ContactID");
    for (auto& r : rows("SELECT rowid, quote(GroupName), quote(ContactID), quote(Mobile) FROM Groups ORDER BY rowid"))
        all.push_back(r);
    return all;
}

// A large import commits in short transactions (the engines wait only 5 s for the lock);
// a later failure takes the committed contacts and their memberships out again, leaving
// what was there before untouched. Only when that fails too do contacts stay, counted.
TEST(frmImport2, LargeImportCommitsInStepsAndAFailureUndoesThem) {
    for (const bool undoFails : {false, true}) {
        ConsoleFolder folder;
        DbConnection.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ('Old', '011000005', 'x'), "
                             "('Kept', '0199', NULL)");
        DbConnection.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES ('Staff', 0, NULL), "
                             "('Staff', 1, '011000005'), ('Other', 0, NULL), ('Other', 2, '0199')");
        const auto before = tables();
        std::vector<ImportContact> contacts;
        for (int i = 0; i < 700; ++i)
            contacts.push_back({"n" + std::to_string(i), "01" + std::to_string(1000000 + i), "co", 0});
        contacts[5].mobile = "011000005";  // a duplicate of an old contact: not imported
        contacts[650].name = "boom";
        DbConnection.execute("CREATE TEMP TRIGGER NoBoom BEFORE INSERT ON main.AddressBook WHEN NEW.Name = 'boom' "
                             "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        if (undoFails)
            DbConnection.execute("CREATE TEMP TRIGGER NoDelete BEFORE DELETE ON main.AddressBook "
                                 "BEGIN SELECT RAISE(ABORT, 'kept'); END");
        const std::chrono::milliseconds everyBatch(0);
        try {
            ImportContacts(DbConnection, contacts, false, std::string("Staff"), everyBatch);
            ADD_FAILURE() << "the refused row must stop the import";
        } catch (const ImportError& e) {
            EXPECT_EQ(e.done.imported, 600) << "two transactions committed before the failure";
            EXPECT_EQ(e.stayed, undoFails ? 600 : 0);
            EXPECT_NE(std::string(e.what()).find("refused"), std::string::npos) << "the cause, for the log";
        }
        EXPECT_FALSE(db::inTransaction(DbConnection));
        if (!undoFails) {
            EXPECT_EQ(tables(), before);
        } else {
            EXPECT_EQ(count("SELECT count(*) FROM AddressBook"), 602);
            EXPECT_EQ(count("SELECT count(*) FROM Groups WHERE GroupName = 'Staff' AND ContactID > 0"), 601);
        }
        DbConnection.execute("DROP TRIGGER IF EXISTS temp.NoDelete");
        DbConnection.execute("DROP TRIGGER temp.NoBoom");
    }
}

// A sheet whose import commits before its last row is refused (a zero budget: every 300
// rows commit), with the deletes refused too: the contacts that stay are counted in the
// message and shown in the main window.
TEST(frmImport2, ContactsThatCouldNotBeTakenOutAreCounted) {
    ConsoleFolder folder;
    General main;
    const std::string path = (folder.dir / "many.xlsx").string();
    {
        workbook::SheetWriter w(path);
        w.addRow({"Name", "Mobile", "Company"});
        for (int i = 0; i < 1000; ++i) w.addRow({"n" + std::to_string(i), "01" + std::to_string(10000000 + i), "co"});
        w.addRow({"boom", "0199", "co"});
        w.close();
    }
    DbConnection.execute("CREATE TEMP TRIGGER NoBoom BEFORE INSERT ON main.AddressBook WHEN NEW.Name = 'boom' "
                         "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    DbConnection.execute("CREATE TEMP TRIGGER NoDelete BEFORE DELETE ON main.AddressBook "
                         "BEGIN SELECT RAISE(ABORT, 'kept'); END");
    Import imp(path);
    imp.w.importBudget = std::chrono::milliseconds(0);
    Boxes boxes;
    imp.w.cmdProceedImport->click();
    const std::int64_t stayed = count("SELECT count(*) FROM AddressBook");
    ASSERT_EQ(stayed, 900) << "three transactions committed before the refused row";
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"Unable to import contacts from the Excel file!\nNumber of "
                                                        "records imported before the error that could not be "
                                                        "removed: " +
                                                        std::to_string(stayed)});
    EXPECT_TRUE(main.lblStatusAddBook->text().startsWith(QString::number(stayed) + " "));
    DbConnection.execute("DROP TRIGGER temp.NoDelete");
    DbConnection.execute("DROP TRIGGER temp.NoBoom");
}

TEST(frmImport2, MainWindowRefreshedAfterImport) {
    ConsoleFolder folder;
    General main;
    Import imp(fixture("contacts-lo.xlsx"));
    ui::ScriptedDialogs boxes;
    imp.w.cmdProceedImport->click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{report(3, 1, 1)});
    EXPECT_TRUE(main.lblStatusAddBook->text().startsWith("3 "));
}

TEST(frmImport2, SourceBrowseAndClose) {
    ConsoleFolder folder;
    frmImport2 w;
    w.show();
    ui::ScriptedDialogs boxes;
    boxes.answerText(fixture("contacts.xls"));
    w.cmdGetSource->click();
    EXPECT_EQ(w.txtImportSource->text().toStdString(), fixture("contacts.xls"));
    boxes.answerText("/nowhere/x.xls");
    w.cmdGetSource->click();
    EXPECT_EQ(boxes.prompts(), std::vector<std::string>{"/nowhere/x.xls not found"});
    EXPECT_EQ(w.txtImportSource->text().toStdString(), fixture("contacts.xls"));

    boxes.answer(ui::vbNo);
    w.cmdCloseImport->click();
    EXPECT_TRUE(w.isVisible());
    boxes.answer(ui::vbYes);
    w.cmdCloseImport->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(boxes.calls.back().prompt, "Closing the Import, Are you sure?");
    EXPECT_EQ(boxes.calls.back().title, "Contact Manager - Close");
}
