// frmTemplate "Vovivaded Ezovaro - Template": stored message texts. Insert appends
// the chosen template to the composer's message, a double-click replaces it; the
// pop-up menu adds and deletes templates. Modal; opens a fresh shared connection at
// every load.
#pragma once

#include <QDialog>
#include <string>

#include "platform/db/Recordset.h"

class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QTableView;

namespace parlix::db {
class RecordsetModel;
}

namespace parlix::console {

class frmNewSMS;

class frmTemplate : public QDialog {
    Q_OBJECT
public:
    static frmTemplate* instance(frmNewSMS* composer);
    explicit frmTemplate(frmNewSMS* composer, QWidget* parent = nullptr);
    ~frmTemplate() override;

    int showModal();  // loads, then waits until closed

    QLabel* lblCaption;  // the grid's caption
    QTableView* DataGridTemp;
    db::RecordsetModel* model;
    QPushButton *cmdInsert, *cmdClose;
    QMenu* mnuTemp;
    QAction *mnuAddTemp, *mnuDelTemp;
    db::Recordset rs;

    void Form_Load();
    void TempDataGrid();
    void cmdInsert_Click();
    void DataGridTemp_DblClick();
    void mnuAddTemp_Click();
    void mnuDelTemp_Click();
    void cmdClose_Click();
    void Form_Unload();

    // The grid row the operator chose (-1 when none).
    int currentRow() const;
    void setCurrentRow(int row);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::string currentText();  // `Text` of the chosen row; throws when there is none

    frmNewSMS* composer_;
};

}  // namespace parlix::console
