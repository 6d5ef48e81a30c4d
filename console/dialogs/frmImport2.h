// frmImport2 - "Contact Manager - Import": contacts from the sheet "Sheet1" of a
// workbook into the address book, optionally into one group.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "console/dialogs/core/Import.h"
#include "platform/workbook/Workbook.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace parlix::console {

// The workbook the import reads: opened (read whole) by ConnectADOExcel, released by
// the import when it ends.
struct ExcelWorkbook {
    bool open = false;
    std::optional<workbook::Sheet> sheet;         // "Sheet1", when it could be read
    std::optional<workbook::WorkbookError> error;  // why not (no such sheet, formulas ...)
    void release() {
        open = false;
        sheet.reset();
        error.reset();
    }
};
extern ExcelWorkbook ExcelConnection;

class frmImport2 : public QDialog {
    Q_OBJECT
public:
    explicit frmImport2(QWidget* parent = nullptr);
    static frmImport2* instance();

    void cmdGetSource_Click();
    std::string GetFileSpec(const std::string& ext);
    bool IsFileThere(const std::string& path);
    std::string LongToShort(const std::string& path);
    void cbGroup_DropDown();
    void cmdProceedImport_Click();
    void cmdCloseImport_Click();
    // Opens the workbook named in txtImportSource into `excel`; on failure tells the
    // user why, logs and returns false.
    bool ConnectADOExcel(ExcelWorkbook& excel);

    QGroupBox* FrameImport = nullptr;
    QLabel *lblFrom = nullptr, *lblToGroup = nullptr, *lblNote = nullptr;
    QLineEdit* txtImportSource = nullptr;
    QPushButton *cmdGetSource = nullptr, *cmdProceedImport = nullptr, *cmdCloseImport = nullptr;
    QCheckBox *chkField = nullptr, *chkDuplicateAllow = nullptr;
    QComboBox* cbGroup = nullptr;
    // How long one of the import's write transactions may run before it commits.
    std::chrono::milliseconds importBudget = kImportBudget;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;  // Escape asks like the close box

private:
    void Form_Load();
    bool Form_Unload();  // true when the window may close
};

}  // namespace parlix::console
