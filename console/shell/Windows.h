// One function per console window, so the main window opens windows built elsewhere
// without knowing their classes. Each is defined in its window's own source file.
#pragma once

#include <string>

namespace parlix::console {

void ShowNewSMS();                  // frmNewSMS, without waiting
// frmNewSMS pre-filled: `recipient` as the text of cbRecipient, `message` in txtComposeSMS.
void ShowNewSMSTo(const std::string& recipient, const std::string& message);
void ShowContact();                 // frmContact, without waiting
void ShowImport();                  // frmImport2, without waiting
void ShowExport();                  // frmExport, modal
void ShowAbout();                   // frmAbout, without waiting
void ShowSplash();                  // frmSplash, modal
void ShowLoginAdminThenPassword();  // frmLoginAdmin, then frmUserPassword

}  // namespace parlix::console
