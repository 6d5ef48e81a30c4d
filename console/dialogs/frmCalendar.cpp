#include "console/dialogs/frmCalendar.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "console/dialogs/core/Compose.h"
#include "console/dialogs/frmNewSMS.h"
#include "console/shell/core/DateText.h"
#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

frmCalendar* frmCalendar::instance(frmNewSMS* composer) {
    static frmCalendar* window = new frmCalendar(composer, composer);
    window->composer_ = composer;
    return window;
}

frmCalendar::frmCalendar(frmNewSMS* composer, QWidget* parent) : QWidget(parent, Qt::Window), composer_(composer) {
    setObjectName("frmCalendar");
    setWindowTitle("Calendar");
    CalendarVB1 = new QCalendarWidget(this);
    CalendarVB1->setObjectName("CalendarVB1");
    CalendarVB1->setGridVisible(true);
    lblTime = new QLabel("Time", this);
    lblTime->setObjectName("lblTime");
    cbTime = new QComboBox(this);
    cbTime->setObjectName("cbTime");
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* grid = new QGridLayout(this);
    grid->addWidget(CalendarVB1, 0, 0, 1, 4);
    grid->addWidget(lblTime, 1, 0);
    grid->addWidget(cbTime, 1, 1);
    grid->addWidget(cmdOK, 1, 2);
    grid->addWidget(cmdCancel, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmCalendar::showWindow() {
    Form_Load();
    show();
    raise();
    activateWindow();
}

void frmCalendar::Form_Load() {
    try {
        cbTime->clear();
        for (const auto& t : QuarterHourTimes()) cbTime->addItem(QString::fromStdString(t));
        cbTime->setCurrentIndex(-1);  // nothing chosen until the operator chooses
    } catch (...) {
        LogCurrentException("frmCalendar-Form Load");
    }
}

void frmCalendar::cmdOK_Click() {
    try {
        const int index = cbTime->currentIndex();
        if (index < 0 || cbTime->currentText().isEmpty()) {
            ui::msgBox("Please select a specific sending time.", ui::vbExclamation, "Sending Time");
            return;
        }
        // The moment is kept as a value; the text only shows it, as the console shows dates.
        const QDate d = CalendarVB1->selectedDate();
        const auto when = LocalMoment(d.year(), d.month(), d.day(), QuarterHourMinutes(static_cast<std::size_t>(index)));
        composer_->setSchedule(when, DateTimeText(when));
        close();
    } catch (...) {
        LogCurrentException("frmCalendar-cmdOK_Click");
    }
}

void frmCalendar::cmdCancel_Click() {
    if (ui::msgBox("You are about to cancel the scheduling. Are you sure?", ui::vbYesNo + ui::vbQuestion,
                   "Confirm time") == ui::vbYes)
        close();
}

}  // namespace parlix::console
