// "GSM Modem Setting": edits this engine's Modem row. Loaded hidden when the engine
// window starts (for the SIM number, the port text and the "All" box), shown modally
// from Settings > "SMS Modem Setting"; Save and Exit unload it, and the next use
// loads it again with a fresh connection.
#pragma once

#include "platform/db/Recordset.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace parlix::engine {

class Engine;

// What Save refreshes on the engine window.
class EngineWindowDisplay {
public:
    virtual ~EngineWindowDisplay() = default;
    virtual void ShowOperator(const std::string& simNumber) = 0;
    virtual void ShowProductLine(const std::string& simNumber) = 0;
};

class frmModem : public QDialog {
    Q_OBJECT
public:
    frmModem(Engine& engine, EngineWindowDisplay& display, QWidget* parent = nullptr);
    ~frmModem() override;

    bool IsLoaded() const { return loaded_; }
    // Loads the window when it is not loaded (hidden).
    void EnsureLoaded();

    void Form_Load();
    void Form_Unload();
    void cmdSave_Click();
    void cmdExit_Click();
    void chkAll_Click();
    void OptReadSend_Click();
    void OptRead_Click();
    void OptSend_Click();

    QLineEdit* txtModemNum;
    QLineEdit* txtPIN;
    QLineEdit* txtPort;
    QComboBox* cbPoll;
    QCheckBox* chkDSR;
    QRadioButton* OptReadSend;
    QRadioButton* OptRead;
    QRadioButton* OptSend;
    QCheckBox* chkMaxis;
    QCheckBox* chkDigi;
    QCheckBox* chkCelcom;
    QCheckBox* chkTMtouch;
    QCheckBox* chkTimeCel;
    QCheckBox* chk014;
    QCheckBox* chkAll;
    QPushButton* cmdSave;
    QPushButton* cmdExit;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void SetDirection(int direction, const char* location);
    void Fill();
    // A refused Save has already shown its SIM number on the engine window; closing
    // without a Save shows the saved one again.
    void ShowSavedSim();

    Engine& engine_;
    EngineWindowDisplay& display_;
    db::Recordset rs_;
    bool loaded_ = false;
    int chosenDirection_ = -1;  // the option clicked since the load, -1 for none
    bool showsUnsaved_ = false;  // the engine window shows a SIM number not saved
};

}  // namespace parlix::engine
