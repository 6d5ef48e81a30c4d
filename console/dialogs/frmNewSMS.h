// frmNewSMS "SMS Vovivaded Ezovaro": the broadcast composer. The operator writes one
// message and queues it to groups, contacts and typed numbers, now or at a scheduled
// time; Send hands the rows to the engines through Outbox (BroadcastQueue).
//
// One window for the run (instance()); closing it (after the question) unloads it, and
// the next showing loads it afresh: design values, new subject, counters.
// The send time is kept as a value: txtSchedule only shows it in the user's locale.
#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/dialogs/core/Compose.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace parlix::console {

class ComposeBox;

class frmNewSMS : public QWidget {
    Q_OBJECT
public:
    static frmNewSMS* instance();
    explicit frmNewSMS(QWidget* parent = nullptr);
    ~frmNewSMS() override;

    // Shows the window, loading it first when it is not loaded.
    void showWindow();
    bool loaded() const { return loaded_; }

    // Controls (object names as the window names them).
    QLabel *lblSubject, *lblTo, *lblSchedule, *lblRemained, *lblTyped, *lblLanguage;
    QLineEdit* txtSubject;
    QComboBox* cbRecipient;
    QPushButton* cmdTo;
    QLineEdit* txtSchedule;
    QPushButton* cmdScheduler;
    ComposeBox* txtComposeSMS;
    QLineEdit *txtCharsRemained, *txtCharsTyped;
    QCheckBox *chkChinese, *cbBroadcastFilter;
    QPushButton *cmdTemplate, *cmdSaveTemplate, *cmdClear, *cmdSend, *cmdCancel;

    // State of the window.
    std::string ScheduleTime;        // send time of the Send in progress, "YYYY-MM-DD HH:MM:SS"
    bool RecipientTyped = false;
    std::int64_t TotalQueued = 0;
    std::int64_t TotalNotQueued = 0;

    // The scheduler's choice: the moment and how txtSchedule shows it.
    void setSchedule(TimePoint when, const std::string& shown);
    void setScheduleNow();  // "Now", as a fresh composer has
    std::optional<TimePoint> scheduleValue() const { return schedule_; }

    // The recipient list (cbRecipient's items), as the picker reads and writes it.
    std::vector<std::string> recipientEntries() const;
    void clearRecipients();  // list and edit text
    void clearRecipientList();  // the list; a number typed in the edit part stays
    // The edit part's text when it is one more recipient: not blank, not an entry.
    std::string typedRecipient() const;
    void addRecipients(const std::vector<std::string>& entries);
    std::string messageText() const;
    void setMessageText(const std::string& text);  // as a template or a reply does

    // A subject no earlier subject of this window had.
    std::string freshSubject();

    // Event procedures.
    void Form_Load();
    void GenerateSubject();  // a fresh subject into txtSubject
    void chkChinese_Click();
    void txtComposeSMS_Change();
    void cbRecipient_KeyPress();
    void cmdSend_Click();
    void cmdClear_Click();
    void cmdSaveTemplate_Click();
    void cmdTemplate_Click();
    void cmdScheduler_Click();
    void cmdTo_Click();
    void cmdCancel_Click();
    bool Form_Unload();  // the close question; true when the window may close

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    void resetControls();  // design values
    std::string showCount();  // the counters and the box's limit; returns the warning due

    bool loaded_ = false;
    std::optional<TimePoint> schedule_;
    SubjectClock subjects_;
    // Text and subject of the last Send that went through.
    struct SentBefore {
        std::string text, subject;
    };
    std::optional<SentBefore> lastSend_;
};

}  // namespace parlix::console
