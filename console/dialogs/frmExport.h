// frmExport - "Contact Manager - Export": one table into a new workbook. What it
// exports follows from which of the main window's export items is disabled.
#pragma once

#include <QDialog>
#include <string>

#include "console/dialogs/core/Export.h"
#include "platform/db/Recordset.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace parlix::console {

class frmExport : public QDialog {
    Q_OBJECT
public:
    explicit frmExport(QWidget* parent = nullptr);
    static frmExport* instance();

    void cmdGetExcel_Click();
    void cmdProceedExport_Click();
    void cmdClose_Click();

    ExportMode mode() const { return mode_; }
    const std::string& exportTitle() const { return title_; }
    db::Recordset rsExport;

    QGroupBox* FrameExport = nullptr;
    QLabel* lblIns01 = nullptr;
    QLineEdit* txtExportExcel = nullptr;
    QPushButton *cmdGetExcel = nullptr, *cmdProceedExport = nullptr, *cmdClose = nullptr;
    QCheckBox* ckbExportWithHeadings = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void done(int result) override;  // every way of closing unloads

private:
    void Form_Load();
    void Form_Unload();
    ExportMode mode_ = ExportMode::Contacts;
    std::string title_;
};

// The code module of the export.
namespace Export {
void BrowseExportFile(frmExport& w);
std::string GetExcelFileSpec(const std::string& ext);
void ProceedExport(frmExport& w, db::Recordset& rs, const std::string& title);
}  // namespace Export

}  // namespace parlix::console
