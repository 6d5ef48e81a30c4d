// frmAbout - the about window (modeless), with a button that starts the desktop's
// system-information program.
#pragma once

#include <QDialog>
#include <string>

#include "platform/registry/Registry.h"

class QFrame;
class QLabel;
class QPushButton;

namespace parlix::console {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    static frmAbout* instance();

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();
    bool GetKeyValue(registry::HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

    QLabel *Image1 = nullptr, *lblTitle = nullptr, *lblVersion = nullptr, *lblDescription = nullptr,
           *lblCopyright = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton *cmdOK = nullptr, *cmdSysInfo = nullptr;

private:
    void Form_Load();
};

}  // namespace parlix::console
