// frmStatusOption - "Message Manager - Filter Status of Sent Items": the status filter
// of Sent Items picked from six options. Its three public members keep their values
// after the window closes and are read then.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "platform/db/Recordset.h"

class QPushButton;
class QRadioButton;

namespace parlix::console {

class frmStatusOption : public QDialog {
    Q_OBJECT
public:
    explicit frmStatusOption(QWidget* parent = nullptr);
    static frmStatusOption* instance();

    // Shows the window modally (Form_Load first). Tests replace the modal run with a
    // hook that presses the buttons.
    void showModal();
    using ShowHook = std::function<void(frmStatusOption&)>;
    static ShowHook setShowHook(ShowHook hook);  // returns the previous one

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

    QRadioButton* Option1[6] = {};
    QPushButton *cmdOK = nullptr, *cmdCancel = nullptr;

    db::Criteria SentItemsFilter;        // condition of the chosen option
    std::string SentItemsFilterCaption;  // words of the caption
    bool bSentItemsFilterCancel = true;  // true unless OK was pressed
};

}  // namespace parlix::console
