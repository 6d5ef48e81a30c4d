// frmContact "Contact Manager": adds a contact or edits one, with its group
// memberships. Add mode (EditContact false) may save several contacts in a row; edit
// mode (DisplayRecord) saves over CurrentContactID once and closes.
//
// One window for the run (instance()). Every opening starts from a clean window: texts
// empty, the group list read afresh from the table, nothing ticked; then the contact
// or the pre-filled number is shown.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace parlix::console {

class frmContact : public QDialog {
    Q_OBJECT
public:
    static frmContact* instance();
    static frmContact* existing();  // the window if it was created, else nullptr
    explicit frmContact(QWidget* parent = nullptr);
    ~frmContact() override;

    // Controls (object names as the window names them).
    QLabel *lblContact, *lblName, *lblMobile, *lblCompanyName, *lblGroup;
    QLineEdit *TxtName, *TxtMobile, *TxtComName;
    QListWidget* lvwGroup;
    QPushButton *cmdOK, *cmdCancel;

    bool SkipClosePrompt = false;  // the window closes itself after a save

    // Add mode, empty, then `mobile` pre-filled; modal waits until the window closes.
    void openAdd(bool modal, const std::string& mobile = "");

    // Public procedures.
    void contactVariant();
    void ContactData();
    void DisplayVariant();
    void ClearFormContact();
    void DisplayRecord(std::int32_t id);

    // Event procedures.
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    bool Form_Unload();  // the close question; true when the window may close

    // The main window's group changes, for an open editor.
    void groupAdded(const std::string& name);
    void groupRenamed(const std::string& from, const std::string& to);
    void groupDeleted(const std::string& name);

    std::vector<std::string> tickedGroups() const;
    // The window's copies of the three texts (contactVariant / DisplayRecord).
    std::string contactName, contactMobile, contactCompany;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape closes through the same question

private:
    void buildWidgets();
    void loadGroups();
    void addContact();
    void updateContact();
    void finishAfterSave();
};

}  // namespace parlix::console
