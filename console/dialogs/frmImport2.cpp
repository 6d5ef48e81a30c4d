#include "console/dialogs/frmImport2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>

#include "console/dialogs/Progress.h"
#include "console/dialogs/core/Import.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

ExcelWorkbook ExcelConnection;

namespace {
const char* kTitle = "Contact Manager - Import";

std::string rowList(const std::vector<std::uint32_t>& rows) {
    std::string s;
    for (std::size_t i = 0; i < rows.size() && i < 10; ++i) s += (i ? ", " : "") + std::to_string(rows[i]);
    if (rows.size() > 10) s += " and " + std::to_string(rows.size() - 10) + " more";
    return s;
}

std::string reasonOf(const workbook::WorkbookError& e) {
    switch (e.problem()) {
    case workbook::Problem::NotWorkbook: return "The file is not an Excel workbook (.xls or .xlsx).";
    case workbook::Problem::Damaged: return "The workbook is damaged or incomplete.";
    case workbook::Problem::PasswordProtected:
        return "The workbook is protected with a password. Save it without a password and try again.";
    case workbook::Problem::TooLarge: return "The workbook is too large to import.";
    default: return e.what();
    }
}
}  // namespace

frmImport2::frmImport2(QWidget* parent) : QDialog(parent) {
    setObjectName("frmImport2");
    setWindowTitle(kTitle);
    setModal(false);

    FrameImport = new QGroupBox("Import from Excel file ", this);
    FrameImport->setObjectName("FrameImport");
    lblFrom = new QLabel("Location of the Excel file:", FrameImport);
    lblFrom->setObjectName("lblFrom");
    txtImportSource = new QLineEdit(FrameImport);
    txtImportSource->setObjectName("txtImportSource");
    txtImportSource->setMinimumWidth(320);
    cmdGetSource = new QPushButton("...", FrameImport);
    cmdGetSource->setObjectName("cmdGetSource");
    cmdGetSource->setFixedWidth(32);
    chkField = new QCheckBox("The Excel file has field name.", FrameImport);
    chkField->setObjectName("chkField");
    chkDuplicateAllow = new QCheckBox("Duplicate mobile number to be imported.", FrameImport);
    chkDuplicateAllow->setObjectName("chkDuplicateAllow");
    lblToGroup = new QLabel("Import Contacts from Exel file into Group:", FrameImport);
    lblToGroup->setObjectName("lblToGroup");
    cbGroup = new QComboBox(FrameImport);
    cbGroup->setObjectName("cbGroup");
    cbGroup->setEditable(false);
    lblNote = new QLabel(FrameImport);
    lblNote->setObjectName("lblNote");
    lblNote->setStyleSheet("color: #7a3b00;");

    auto* grid = new QGridLayout(FrameImport);
    grid->addWidget(lblFrom, 0, 0, 1, 2);
    grid->addWidget(txtImportSource, 1, 0);
    grid->addWidget(cmdGetSource, 1, 1);
    grid->addWidget(chkField, 2, 0, 1, 2);
    grid->addWidget(chkDuplicateAllow, 3, 0, 1, 2);
    grid->addWidget(lblToGroup, 4, 0, 1, 2);
    grid->addWidget(cbGroup, 5, 0, 1, 2);
    grid->addWidget(lblNote, 6, 0, 1, 2);

    cmdProceedImport = new QPushButton("Proceed", this);
    cmdProceedImport->setObjectName("cmdProceedImport");
    cmdCloseImport = new QPushButton("Close", this);
    cmdCloseImport->setObjectName("cmdCloseImport");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdProceedImport);
    buttons->addWidget(cmdCloseImport);
    auto* all = new QVBoxLayout(this);
    all->addWidget(FrameImport);
    all->addLayout(buttons);

    connect(cmdGetSource, &QPushButton::clicked, this, &frmImport2::cmdGetSource_Click);
    connect(cmdProceedImport, &QPushButton::clicked, this, &frmImport2::cmdProceedImport_Click);
    connect(cmdCloseImport, &QPushButton::clicked, this, &frmImport2::cmdCloseImport_Click);
}

frmImport2* frmImport2::instance() {
    static frmImport2* window = new frmImport2;
    return window;
}

void frmImport2::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) Form_Load();
    QDialog::showEvent(e);
}

void frmImport2::Form_Load() {
    try {
        lblNote->setText(
            "Please make sure the following conditions are met:\n1. The Excel worksheet has 3 coloumns\n"
            "2. The Excel worksheet is called 'Sheet1'");
        chkField->setChecked(true);
        // The choice "None" stands apart from the groups (a line between them), and
        // each group carries its name: a group may be called "None" too.
        cbGroup->clear();
        cbGroup->addItem("None");
        cbGroup->setCurrentIndex(0);
        if (!EnsureDbConnection()) throw db::DbError("the database is not open");
        const auto groups = DbConnection.query("SELECT DISTINCT GroupName FROM Groups");
        if (!groups.empty()) cbGroup->insertSeparator(1);
        for (const auto& row : groups) {
            const QString name = QString::fromStdString(row[0].asText());
            cbGroup->addItem(name, name);
        }
    } catch (...) {
        LogCurrentException("Import : Form Load");
    }
}

void frmImport2::closeEvent(QCloseEvent* e) {
    if (Form_Unload())
        e->accept();
    else
        e->ignore();
}

void frmImport2::reject() { close(); }

bool frmImport2::Form_Unload() {
    if (ui::msgBox("Closing the Import, Are you sure?", ui::vbYesNo, "Contact Manager - Close") != ui::vbYes)
        return false;
    ExcelConnection.release();
    return true;
}

void frmImport2::cmdCloseImport_Click() { close(); }

void frmImport2::cbGroup_DropDown() { cbGroup->setEnabled(true); }

std::string frmImport2::GetFileSpec(const std::string& ext) {
    try {
        (void)ext;  // both workbook kinds are offered whatever the caller names
        return ui::dialogs().openFileName("", "Excel Workbook (*.xls *.xlsx);;All Files (*)", AppPath());
    } catch (...) {
        LogCurrentException("frmImport2-GetFileSpec");
        return "";
    }
}

// Paths need no short form here.
std::string frmImport2::LongToShort(const std::string& path) { return path; }

bool frmImport2::IsFileThere(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(LongToShort(path), ec)) return false;  // a folder opens too
    std::ifstream in(LongToShort(path), std::ios::binary);
    return in.is_open();
}

void frmImport2::cmdGetSource_Click() {
    const std::string path = GetFileSpec("xls");
    if (path.empty()) return;
    if (IsFileThere(path))
        txtImportSource->setText(QString::fromStdString(path));
    else
        ui::msgBox(path + " not found", ui::vbOKOnly, "");
}

bool frmImport2::ConnectADOExcel(ExcelWorkbook& excel) {
    excel.release();
    const std::string path = txtImportSource->text().toStdString();
    try {
        WaitCursor hourglass;  // back before any message box
        BusyWindow busy(this, "Reading " + txtImportSource->text() + " ...", kTitle);
        excel.sheet = RunBusy(busy, [path] { return workbook::readSheet(path); });
    } catch (const workbook::WorkbookError& e) {
        // A missing sheet or unreadable cells are the import's to report, as its query would.
        if (e.problem() != workbook::Problem::NoSheet && e.problem() != workbook::Problem::FormulaWithoutValue) {
            ui::msgBox("Unable to connect to the Excel file\n\n" + reasonOf(e), ui::vbCritical, kTitle);
            WriteErrorLog("ConnectADOExcel", static_cast<long>(e.problem()) + 1, e.what());
            return false;
        }
        excel.error = e;
    } catch (...) {
        ui::msgBox("Unable to connect to the Excel file", ui::vbCritical, kTitle);
        LogCurrentException("ConnectADOExcel");
        return false;
    }
    excel.open = true;
    return true;
}

void frmImport2::cmdProceedImport_Click() {
    struct Release {
        ~Release() { ExcelConnection.release(); }
    } release;
    try {
        if (txtImportSource->text().isEmpty()) {
            ui::msgBox("No Excel file is selected!", ui::vbExclamation, kTitle);
            return;
        }
        if (!IsFileThere(txtImportSource->text().toStdString())) {
            ui::msgBox("Excel file not found.", ui::vbExclamation, kTitle);
            return;
        }
        if (!ConnectADOExcel(ExcelConnection)) {
            ui::msgBox("Unable to open the Excel!", ui::vbCritical, kTitle);
            return;
        }
        if (ExcelConnection.error) {
            const auto& e = *ExcelConnection.error;
            if (e.problem() == workbook::Problem::NoSheet)
                ui::msgBox("Please make sure that the worksheet is called 'Sheet1'.", ui::vbInformation, kTitle);
            else
                ui::msgBox("Some cells hold formulas whose values were never saved (rows " + rowList(e.rows()) +
                               "). Open the workbook in a spreadsheet program, save it and import again.",
                           ui::vbCritical, kTitle);
            return;
        }
        SheetShape shape;
        const auto contacts = ContactsFromSheet(*ExcelConnection.sheet, chkField->isChecked(), shape);
        if (shape == SheetShape::NoRecords) {
            ui::msgBox("There is no record in the Excel file!", ui::vbCritical, kTitle);
            return;
        }
        if (shape == SheetShape::TooFewColumns) {
            ui::msgBox("Please make sure that there are 3 columns in the worksheet.", ui::vbInformation, kTitle);
            return;
        }
        // A group's item carries its name; the choice "None" carries none.
        std::optional<std::string> group;
        if (const QVariant name = cbGroup->currentData(); name.isValid()) group = name.toString().toStdString();
        if (!EnsureDbConnection()) throw db::DbError("the database is not open");
        ImportCounts counts;
        try {
            WaitCursor hourglass;
            counts = ImportContacts(DbConnection, contacts, chkDuplicateAllow->isChecked(), group, importBudget);
        } catch (const ImportError& e) {
            // The import takes its committed contacts out again; only when that fails
            // too do some stay: say how many, and show them.
            std::string text = "Unable to import contacts from the Excel file!";
            if (e.stayed > 0)
                text += "\nNumber of records imported before the error that could not be removed: " +
                        std::to_string(e.stayed);
            ui::msgBox(text, ui::vbCritical, kTitle);
            LogCurrentException("cmdProceedImport_Click");
            if (e.stayed > 0)
                if (General* main = General::instance()) {
                    main->AddBookDataGrid();
                    main->Status();
                }
            return;
        }
        ui::msgBox("Number of records imported: " + std::to_string(counts.imported) +
                       "\nNumber of record NOT imported due to duplication: " + std::to_string(counts.duplicates) +
                       "\nNumber of record NOT imported due to blank mobile number: " +
                       std::to_string(counts.blankNumbers),
                   ui::vbOKOnly, "Contact Manager - Import Finished");
        if (General* main = General::instance()) {
            main->AddBookDataGrid();
            main->Status();
        }
    } catch (...) {
        ui::msgBox("Unable to import contacts from the Excel file!", ui::vbCritical, kTitle);
        LogCurrentException("cmdProceedImport_Click");
    }
}

void ShowImport() {
    frmImport2* w = frmImport2::instance();
    w->show();
    w->raise();
    w->activateWindow();
}

}  // namespace parlix::console
