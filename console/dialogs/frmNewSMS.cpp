#include "console/dialogs/frmNewSMS.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/dialogs/ComposeBox.h"
#include "console/dialogs/Progress.h"
#include "console/dialogs/core/Broadcast.h"
#include "console/dialogs/frmCalendar.h"
#include "console/dialogs/frmTemplate.h"
#include "console/dialogs/frmTo.h"
#include "console/shell/General.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/DateText.h"
#include "console/shell/core/Error.h"
#include "platform/clock/Clock.h"
#include "platform/db/Statement.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

constexpr const char* kWarningTitle = "Vovivaded Ezovaro - Warning";
constexpr const char* kQueueTitle = "Vovivaded Ezovaro - Message Queue";
constexpr const char* kUnicodeTitle = "Vovivaded Ezovaro - Unicode";
constexpr const char* kUnicodeQuestion =
    "The message holds characters that a text message cannot carry: they would arrive as \"?\".\r\n"
    "Send it as Unicode (\"Chinese \" ticked, at most 70 characters)?";

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Runs a step; an exception is logged under `location` and goes no further.
template <class F>
void Trapped(const char* location, F&& step) {
    try {
        step();
    } catch (...) {
        LogCurrentException(location);
    }
}

}  // namespace

frmNewSMS* frmNewSMS::instance() {
    static frmNewSMS* window = new frmNewSMS();
    return window;
}

frmNewSMS::frmNewSMS(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmNewSMS");
    setWindowTitle("SMS Vovivaded Ezovaro");
    buildWidgets();
    resetControls();
    Form_Load();
}

frmNewSMS::~frmNewSMS() = default;

void frmNewSMS::buildWidgets() {
    auto label = [this](const char* name, const char* caption) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(name);
        return l;
    };
    auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    auto box = [this](const char* name, bool readOnly) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setReadOnly(readOnly);
        return e;
    };
    lblSubject = label("lblSubject", "Broadcast Subject : ");
    txtSubject = box("txtSubject", false);
    txtSubject->setToolTip("'Broadcast Subject' is used for determining wheter a recipient is receiving the message "
                           "more than once. It can be changed, but must be unique.");
    lblTo = label("lblTo", "Broadcast To :");
    cbRecipient = new QComboBox(this);
    cbRecipient->setObjectName("cbRecipient");
    cbRecipient->setEditable(true);
    cbRecipient->setInsertPolicy(QComboBox::NoInsert);
    cbRecipient->setToolTip("Manually enter a number here (only accepts 1 number), or click 'Address Book'.");
    cbRecipient->lineEdit()->installEventFilter(this);
    cmdTo = button("cmdTo", "Address Book");
    lblSchedule = label("lblSchedule", "Broadcast Time :");
    txtSchedule = box("txtSchedule", true);
    cmdScheduler = button("cmdScheduler", "Scheduler");
    txtComposeSMS = new ComposeBox(this);
    txtComposeSMS->setObjectName("txtComposeSMS");
    lblRemained = label("lblRemained", "Chars. Remained");
    txtCharsRemained = box("txtCharsRemained", true);
    lblTyped = label("lblTyped", "Chars. Typed");
    txtCharsTyped = box("txtCharsTyped", true);
    for (auto* counter : {txtCharsRemained, txtCharsTyped}) counter->setMaximumWidth(70);
    lblLanguage = label("lblLanguage", "Language: ");
    chkChinese = new QCheckBox("Chinese ", this);
    chkChinese->setObjectName("chkChinese");
    chkChinese->setToolTip("Check if the message contains Chinese charater.");
    cbBroadcastFilter = new QCheckBox("Do not broadcast to recipient's number that cannot be delivered", this);
    cbBroadcastFilter->setObjectName("cbBroadcastFilter");
    cbBroadcastFilter->setToolTip(
        "This only works if there are messages in \"Sent Items\" that are not delivered!");
    cmdTemplate = button("cmdTemplate", "Template Messsage");
    cmdSaveTemplate = button("cmdSaveTemplate", "Save as Template");
    cmdClear = button("cmdClear", "Clear All");
    cmdSend = button("cmdSend", "Send");
    cmdCancel = button("cmdCancel", "Close");

    auto* grid = new QGridLayout;
    grid->addWidget(lblSubject, 0, 0);
    grid->addWidget(txtSubject, 0, 1, 1, 2);
    grid->addWidget(lblTo, 1, 0);
    grid->addWidget(cbRecipient, 1, 1);
    grid->addWidget(cmdTo, 1, 2);
    grid->addWidget(lblSchedule, 2, 0);
    grid->addWidget(txtSchedule, 2, 1);
    grid->addWidget(cmdScheduler, 2, 2);
    grid->setColumnStretch(1, 1);

    auto* counters = new QHBoxLayout;
    counters->addWidget(lblRemained);
    counters->addWidget(txtCharsRemained);
    counters->addSpacing(12);
    counters->addWidget(lblTyped);
    counters->addWidget(txtCharsTyped);
    counters->addStretch(1);
    counters->addWidget(lblLanguage);
    counters->addWidget(chkChinese);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTemplate);
    buttons->addWidget(cmdSaveTemplate);
    buttons->addStretch(1);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdSend);
    buttons->addWidget(cmdCancel);

    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addWidget(txtComposeSMS, 1);
    all->addLayout(counters);
    all->addWidget(cbBroadcastFilter);
    all->addLayout(buttons);
    resize(620, 440);

    connect(chkChinese, &QCheckBox::clicked, this, [this] { chkChinese_Click(); });
    connect(txtComposeSMS, &QPlainTextEdit::textChanged, this, [this] { txtComposeSMS_Change(); });
    connect(cmdSend, &QPushButton::clicked, this, [this] { cmdSend_Click(); });
    connect(cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
    connect(cmdSaveTemplate, &QPushButton::clicked, this, [this] { cmdSaveTemplate_Click(); });
    connect(cmdTemplate, &QPushButton::clicked, this, [this] { cmdTemplate_Click(); });
    connect(cmdScheduler, &QPushButton::clicked, this, [this] { cmdScheduler_Click(); });
    connect(cmdTo, &QPushButton::clicked, this, [this] { cmdTo_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmNewSMS::resetControls() {
    const QSignalBlocker quiet(txtComposeSMS);
    txtSubject->clear();
    clearRecipients();
    txtSchedule->setText("Now");
    schedule_.reset();
    txtComposeSMS->clear();
    txtComposeSMS->setMaxLength(kTextLimit);
    chkChinese->setChecked(false);
    cbBroadcastFilter->setChecked(false);
}

void frmNewSMS::showWindow() {
    if (!loaded_) {
        resetControls();
        Form_Load();
    }
    // A minimised composer comes back (as it was before: normal or maximised), so what
    // a Reply puts into it is seen.
    if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// ---- load, counting ------------------------------------------------------------------

void frmNewSMS::Form_Load() {
    Trapped("frmNewSMS-Form Load", [this] {
        txtCharsRemained->setText(QString::number(kTextLimit));
        txtCharsTyped->setText("0");
        RecipientTyped = false;
        lastSend_.reset();
        GenerateSubject();
    });
    loaded_ = true;
}

std::string frmNewSMS::freshSubject() { return subjects_.next(clock::now()); }

void frmNewSMS::GenerateSubject() { txtSubject->setText(Q(freshSubject())); }

void frmNewSMS::chkChinese_Click() {
    txtCharsRemained->setText(QString::number(chkChinese->isChecked() ? kUnicodeLimit : kTextLimit));
}

void frmNewSMS::txtComposeSMS_Change() {
    Trapped("New SMS : Count SMS message", [this] {
        const std::string warning = showCount();
        if (!warning.empty()) {
            ui::msgBox(warning, ui::vbExclamation, kLengthWarningTitle);
            txtComposeSMS->setFocus();
        }
    });
}

std::string frmNewSMS::showCount() {
    // QString counts UTF-16 units, as the message does.
    const auto c = CountMessage(txtComposeSMS->toPlainText().size(), chkChinese->isChecked());
    txtComposeSMS->setMaxLength(c.maxLength);
    txtCharsRemained->setText(QString::number(c.remained));
    txtCharsTyped->setText(QString::number(c.typed));
    return c.warning;
}

void frmNewSMS::cbRecipient_KeyPress() { RecipientTyped = true; }

bool frmNewSMS::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbRecipient->lineEdit() && event->type() == QEvent::KeyPress) cbRecipient_KeyPress();
    return QWidget::eventFilter(watched, event);
}

// ---- recipients, message -------------------------------------------------------------

std::vector<std::string> frmNewSMS::recipientEntries() const {
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(cbRecipient->count()));
    for (int i = 0; i < cbRecipient->count(); ++i) entries.push_back(cbRecipient->itemText(i).toStdString());
    return entries;
}

std::string frmNewSMS::typedRecipient() const {
    const QString typed = cbRecipient->currentText();
    if (IsBlankEntry(typed.toStdString()) || cbRecipient->findText(typed, Qt::MatchExactly) >= 0) return {};
    return typed.toStdString();
}

void frmNewSMS::clearRecipients() {
    cbRecipient->clear();
    cbRecipient->setEditText("");
}

void frmNewSMS::clearRecipientList() {
    const QString typed = QString::fromStdString(typedRecipient());
    cbRecipient->clear();
    cbRecipient->setEditText(typed);
}

void frmNewSMS::addRecipients(const std::vector<std::string>& entries) {
    const QString typed = cbRecipient->currentText();
    const bool wasEmpty = cbRecipient->count() == 0;
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries.size()));
    for (const auto& e : entries) items << Q(e);
    cbRecipient->addItems(items);
    // An editable box shows its first item once it has one; the edit part stays the
    // operator's typed number (or empty), never an entry repeated.
    if (wasEmpty) {
        cbRecipient->setCurrentIndex(-1);
        cbRecipient->setEditText(typed);
    }
}

std::string frmNewSMS::messageText() const { return txtComposeSMS->toPlainText().toStdString(); }

void frmNewSMS::setMessageText(const std::string& text) { txtComposeSMS->setPlainText(Q(text)); }

void frmNewSMS::setSchedule(TimePoint when, const std::string& shown) {
    schedule_ = when;
    txtSchedule->setText(Q(shown));
}

void frmNewSMS::setScheduleNow() {
    schedule_.reset();
    txtSchedule->setText("Now");
}

// ---- Send ----------------------------------------------------------------------------

void frmNewSMS::cmdSend_Click() {
    // Counters belong to this Send only, whatever became of the one before.
    TotalQueued = 0;
    TotalNotQueued = 0;
    WaitCursor hourglass;
    try {
        // 1. The send time: "Now" (or the empty box Clear All leaves) is this moment,
        //    which the box shows from now on; otherwise the scheduler's moment.
        const QString shown = txtSchedule->text().trimmed();
        TimePoint when = clock::now();
        if (shown == "Now" || shown.isEmpty() || !schedule_) {
            if (!(shown == "Now" || shown.isEmpty()))
                WriteErrorLog("New SMS : Send", 0, "send time \"" + shown.toStdString() + "\" not chosen here; sent now");
            schedule_ = when;
            txtSchedule->setText(Q(DateTimeText(when)));
        } else {
            when = *schedule_;
        }
        ScheduleTime = db::formatDateTime(when);
        // Rows of one Send share a subject; an empty one would make later Sends duplicates.
        if (txtSubject->text().trimmed().isEmpty()) GenerateSubject();

        // 3. The edit text is one more entry: typed, or put in by reply, resend or "Send SMS".
        //    It joins the list only when this Send goes through, so a number corrected
        //    after a refused Send is sent as it stands now, and only that way.
        std::vector<std::string> entries = recipientEntries();
        const std::string typed = typedRecipient();
        if (!typed.empty()) entries.push_back(typed);

        if (txtComposeSMS->toPlainText().isEmpty()) {
            ui::msgBox("No message to send !", ui::vbExclamation, kWarningTitle);
            txtComposeSMS->setFocus();
            return;
        }
        if (entries.empty()) {
            ui::msgBox("No recipient is selected !", ui::vbExclamation, kWarningTitle);
            txtComposeSMS->setFocus();
            return;
        }
        // A text the 7-bit alphabet cannot carry would arrive with "?" in it: the
        // operator chooses Unicode (and its 70 characters) or the text as it is.
        const std::string text = messageText();
        if (!chkChinese->isChecked() && !FitsTextMessage(text) &&
            ui::msgBox(kUnicodeQuestion, ui::vbYesNo + ui::vbQuestion, kUnicodeTitle) == ui::vbYes) {
            chkChinese->setChecked(true);
            showCount();  // the refusal below is the one warning
        }
        const std::string refusal = LengthRefusal(txtComposeSMS->toPlainText().size(), chkChinese->isChecked());
        if (!refusal.empty()) {
            ui::msgBox(refusal, ui::vbExclamation, kLengthWarningTitle);
            txtComposeSMS->setFocus();
            return;
        }

        // 6. Queue every entry. A new text needs a subject of its own: under the last
        //    Send's subject the engine would call it a duplicate of that message and never
        //    send it. The same text again keeps the subject, so a double press sends once.
        RecipientTyped = false;
        if (lastSend_ && lastSend_->text != text && txtSubject->text().toStdString() == lastSend_->subject)
            GenerateSubject();
        Broadcast b{txtSubject->text().toStdString(), text, when, chkChinese->isChecked(),
                    cbBroadcastFilter->isChecked()};
        QueueResult result;
        bool notStarted = false;
        try {
            EnsureDbConnection();
            BroadcastQueue queue(DbConnection, b, WriteErrorLog);
            // A broadcast to a big group takes seconds: the rows queued so far show
            // meanwhile, and the windows stay painted (the clicks wait).
            BusyWindow busy(this, "Queueing messages ...", kQueueTitle);
            queue.setProgress([&busy](std::int64_t queued) {
                busy.step(QString("%1 messages queued ...").arg(queued));
            });
            result = queue.queueAll(entries);
        } catch (...) {
            LogCurrentException("New SMS : Send");
            notStarted = true;
        }
        if (notStarted) {
            // Nothing was written: the error alone, and every recipient stays for the next
            // try (a list of 100,000 picked entries is not to be picked again).
            ui::msgBox(std::string("No message was queued: the database could not be written.\r\nDetails are in \"") +
                           kErrorLogName + "\".",
                       ui::vbExclamation, kWarningTitle);
            return;
        }
        TotalQueued = result.queued;
        TotalNotQueued = result.notQueued;
        lastSend_ = SentBefore{text, b.subject};

        // 7. The report, and a warning when anything was left out.
        ui::msgBox(" Total number of messages queued: " + std::to_string(TotalQueued) +
                       "\r\nTotal messages not queued because recipient's number cannot be delivered: " +
                       std::to_string(TotalNotQueued),
                   ui::vbInformation, kQueueTitle);
        if (!result.failed.empty()) {
            std::string which;
            for (std::size_t i = 0; i < result.failed.size() && i < 5; ++i)
                which += "\r\n" + (result.failed[i].empty() ? std::string("(empty entry)") : result.failed[i]);
            if (result.failed.size() > 5) which += "\r\n...";
            ui::msgBox("Some recipients were not queued:" + which + "\r\nDetails are in \"" + kErrorLogName + "\".",
                       ui::vbExclamation, kWarningTitle);
        }

        // 8. The main window shows the new rows.
        if (General* main = General::instance()) {
            main->OutboxDataGrid();
            main->Status();
        }

        // 9. Ready for further recipients of the same message.
        TotalQueued = 0;
        TotalNotQueued = 0;
        clearRecipients();
    } catch (...) {
        LogCurrentException("New SMS : Send");
    }
}

// ---- other buttons -------------------------------------------------------------------

void frmNewSMS::cmdClear_Click() {
    clearRecipients();
    txtSchedule->clear();
    schedule_.reset();
    txtSubject->clear();
    txtComposeSMS->clear();
    RecipientTyped = false;
    txtComposeSMS->setFocus();
}

void frmNewSMS::cmdSaveTemplate_Click() {
    Trapped("frmNewSMS-cmdSaveTemplate_Click", [this] {
        EnsureDbConnection();
        const std::string text = messageText();
        if (text.empty()) {
            ui::msgBox("No template message!", ui::vbExclamation, kWarningTitle);
            return;
        }
        db::Statement(DbConnection, "INSERT INTO Template (Text) VALUES (?)").execute({text});
        ui::msgBox("Template message is saved", ui::vbInformation, "Vovivaded Ezovaro - Save Template");
    });
}

void frmNewSMS::cmdTemplate_Click() {
    Trapped("frmNewSMS-cmdTemplate_Click", [this] { frmTemplate::instance(this)->showModal(); });
}

void frmNewSMS::cmdScheduler_Click() {
    Trapped("frmNewSMS-cmdScheduler_Click", [this] { frmCalendar::instance(this)->showWindow(); });
}

void frmNewSMS::cmdTo_Click() {
    Trapped("frmNewSMS-cmdTo_Click", [this] { frmTo::instance(this)->showModal(); });
}

void frmNewSMS::cmdCancel_Click() { close(); }

bool frmNewSMS::Form_Unload() {
    return ui::msgBox("Closing the Vuredeziz Avarada, Are you sure?", ui::vbYesNo + ui::vbQuestion,
                      "Vuredeziz Avarada - Close") == ui::vbYes;
}

void frmNewSMS::closeEvent(QCloseEvent* event) {
    // A window that is not shown closes without a question (the main window's exit).
    if (isVisible() && !Form_Unload()) {
        event->ignore();
        return;
    }
    loaded_ = false;
    event->accept();
}

// ---- the main window's ways in -------------------------------------------------------

void ShowNewSMS() {
    Trapped("General-ShowNewSMS", [] { frmNewSMS::instance()->showWindow(); });
}

void ShowNewSMSTo(const std::string& recipient, const std::string& message) {
    Trapped("General-ShowNewSMSTo", [&] {
        frmNewSMS* w = frmNewSMS::instance();
        if (!w->loaded()) {
            w->showWindow();
        }
        w->cbRecipient->setEditText(Q(recipient));
        if (!message.empty()) w->setMessageText(message);
        // An answer goes now, as from a fresh composer, never at a time chosen for an
        // earlier broadcast.
        w->setScheduleNow();
        w->showWindow();
    });
}

}  // namespace parlix::console
