#include "console/dialogs/frmExport.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolBar>
#include <QVBoxLayout>
#include <filesystem>

#include "console/dialogs/Progress.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"
#include "platform/workbook/Workbook.h"

namespace parlix::console {

frmExport::frmExport(QWidget* parent) : QDialog(parent) {
    setObjectName("frmExport");
    setWindowTitle("Contact Manager - Export");
    setModal(true);

    FrameExport = new QGroupBox("Export to Excel file ", this);
    FrameExport->setObjectName("FrameExport");
    lblIns01 = new QLabel(
        "Select the location of the Excel file that you want to export to or enter a new file name.", FrameExport);
    lblIns01->setObjectName("lblIns01");
    lblIns01->setWordWrap(true);
    txtExportExcel = new QLineEdit(FrameExport);
    txtExportExcel->setObjectName("txtExportExcel");
    txtExportExcel->setMinimumWidth(320);
    cmdGetExcel = new QPushButton("...", FrameExport);
    cmdGetExcel->setObjectName("cmdGetExcel");
    cmdGetExcel->setFixedWidth(32);
    ckbExportWithHeadings =
        new QCheckBox("Check here if you want to include field names in your Excel file.", FrameExport);
    ckbExportWithHeadings->setObjectName("ckbExportWithHeadings");

    auto* path = new QHBoxLayout;
    path->addWidget(txtExportExcel);
    path->addWidget(cmdGetExcel);
    auto* frame = new QVBoxLayout(FrameExport);
    frame->addWidget(lblIns01);
    frame->addLayout(path);
    frame->addWidget(ckbExportWithHeadings);

    cmdProceedExport = new QPushButton("Proceed", this);
    cmdProceedExport->setObjectName("cmdProceedExport");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdProceedExport);
    buttons->addWidget(cmdClose);
    auto* all = new QVBoxLayout(this);
    all->addWidget(FrameExport);
    all->addLayout(buttons);

    connect(cmdGetExcel, &QPushButton::clicked, this, &frmExport::cmdGetExcel_Click);
    connect(cmdProceedExport, &QPushButton::clicked, this, &frmExport::cmdProceedExport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmExport::cmdClose_Click);
}

frmExport* frmExport::instance() {
    static frmExport* window = new frmExport;
    return window;
}

void frmExport::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) Form_Load();
    QDialog::showEvent(e);
}

void frmExport::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

void frmExport::Form_Load() {
    try {
        mode_ = ExportMode::Contacts;
        if (General* main = General::instance()) {
            if (!main->mnuExportReceived->isEnabled())
                mode_ = ExportMode::Received;
            else if (!main->mnuExportSent->isEnabled())
                mode_ = ExportMode::Sent;
        }
        const ExportSource source = ExportSourceOf(mode_);
        title_ = source.title;
        rsExport.close();
        if (!EnsureDbConnection()) throw db::DbError("the database is not open");
        // Read in pages as the export goes: memory stays flat on large tables.
        rsExport.open(DbConnection, source.sql, {}, {db::Cursor::Live, db::Lock::ReadOnly, 0});
    } catch (...) {
        LogCurrentException("frmExport : Form Load");
    }
}

void frmExport::Form_Unload() {
    rsExport.close();
    if (General* main = General::instance()) {
        if (main->Toolbar && main->Toolbar->actions().size() >= 5) main->Toolbar->actions().at(4)->setEnabled(true);
        for (QAction* item : {main->mnuExport, main->mnuExportSent, main->mnuExportReceived})
            if (item) item->setEnabled(true);
    }
}

void frmExport::cmdGetExcel_Click() { Export::BrowseExportFile(*this); }

void frmExport::cmdProceedExport_Click() {
    try {
        Export::ProceedExport(*this, rsExport, title_);
    } catch (...) {
        cmdProceedExport->setEnabled(true);
        LogCurrentException("frmExport:cmdProceedExport_Click");
    }
}

void frmExport::cmdClose_Click() { close(); }

namespace Export {

std::string GetExcelFileSpec(const std::string& ext) {
    (void)ext;  // the export writes .xlsx whatever the caller names
    return ui::dialogs().saveFileName("", "Excel Workbook (*.xlsx);;All Files (*)", AppPath());
}

void BrowseExportFile(frmExport& w) {
    const std::string path = GetExcelFileSpec("xls");
    if (!path.empty()) w.txtExportExcel->setText(QString::fromStdString(path));
}

namespace {
// The closing message: where the workbook went, a name changed from ".xls", values cut.
std::string ExportedText(const std::string& typed, const std::string& target, std::uint64_t cut) {
    std::string text = "Exported to " + target;
    const std::filesystem::path given(typed);
    if (!given.extension().empty() && std::filesystem::path(target).extension() != given.extension())
        text += "\n\nThe name ends in .xlsx, not " + given.extension().string() +
                ": the workbook is in the .xlsx format.";
    if (cut == 1)
        text += "\n\n1 value was longer than a cell holds (32,767 characters) and was cut to fit.";
    else if (cut > 1)
        text += "\n\n" + std::to_string(cut) +
                " values were longer than a cell holds (32,767 characters) and were cut to fit.";
    return text;
}
}  // namespace

void ProceedExport(frmExport& w, db::Recordset& rs, const std::string& title) {
    // Every way out leaves Proceed usable again.
    struct Enable {
        QPushButton* button;
        ~Enable() { button->setEnabled(true); }
    } enable{w.cmdProceedExport};
    w.cmdProceedExport->setEnabled(false);
    const std::string typed = w.txtExportExcel->text().toStdString();
    try {
        if (typed.empty()) {
            ui::msgBox("You have not select or type the name of Excel file. ", ui::vbExclamation, title);
            return;
        }
        const std::string target = ExportTarget(typed);
        std::error_code ec;
        if (std::filesystem::exists(target, ec) &&
            ui::msgBox("Excel file already exists.  Overwrite?", ui::vbYesNo | ui::vbQuestion, title) != ui::vbYes)
            return;
        if (!rs.isOpen() || rs.eof()) {
            ui::msgBox("There are no records to be exported!", ui::vbExclamation, title);
            return;
        }
        // From here on the rows come from one snapshot of the table.
        ExportSnapshot snapshot(DbConnection, w.mode());
        db::Recordset& records = snapshot.records();
        if (records.eof()) {
            ui::msgBox("There are no records to be exported!", ui::vbExclamation, title);
            return;
        }
        const std::int64_t count = records.recordCount();
        records.moveFirst();
        if (records.fieldCount() == 0) {
            ui::msgBox("Selected table has no field yet", ui::vbExclamation, title);
            return;
        }
        if (count == 0) {
            ui::msgBox("Selected table has no record yet", ui::vbExclamation, title);
            return;
        }
        const bool headings = w.ckbExportWithHeadings->isChecked();
        if (count + (headings ? 1 : 0) > kMaxSheetRows) {
            ui::msgBox("There are " + std::to_string(count) + " records, more than a worksheet holds (" +
                           std::to_string(kMaxSheetRows - (headings ? 1 : 0)) + "). Nothing was exported.",
                       ui::vbExclamation, title);
            return;
        }
        std::uint64_t cut = 0;
        try {
            WaitCursor hourglass;  // back before any message box
            BusyWindow busy(&w, "Exporting ...", QString::fromStdString(title));
            WriteExport(
                records, headings, target,
                [&](std::int64_t n) { busy.step(QString("Exporting ... %1 of %2 records").arg(n).arg(count)); },
                &cut);
        } catch (...) {
            ui::msgBox("Unable to export to " + target + ".", ui::vbCritical, title);
            throw;
        }
        ui::msgBox(ExportedText(typed, target, cut), ui::vbInformation, title);
    } catch (...) {
        LogCurrentException("Export Module - ProceedExport");
    }
}

}  // namespace Export

void ShowExport() {
    frmExport* w = frmExport::instance();
    w->exec();
}

}  // namespace parlix::console
