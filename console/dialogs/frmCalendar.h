// frmCalendar "Calendar": the scheduler. A date and a quarter hour become the
// composer's send time. Modeless: the composer stays usable while it is open.
#pragma once

#include <QWidget>

class QCalendarWidget;
class QComboBox;
class QLabel;
class QPushButton;

namespace parlix::console {

class frmNewSMS;

class frmCalendar : public QWidget {
    Q_OBJECT
public:
    static frmCalendar* instance(frmNewSMS* composer);
    explicit frmCalendar(frmNewSMS* composer, QWidget* parent = nullptr);

    void showWindow();  // loads, then shows without waiting

    QCalendarWidget* CalendarVB1;
    QLabel* lblTime;
    QComboBox* cbTime;
    QPushButton *cmdOK, *cmdCancel;

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    frmNewSMS* composer_;
};

}  // namespace parlix::console
