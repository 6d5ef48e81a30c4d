// The folder filters of the main window: the Filter submenus of Inbox, Outbox and Sent
// Items. A filter is a criteria on the folder's live record set (never SQL text); the
// folder's loader then shows the filtered rows and builds the caption from the ticked
// item and the value kept in Filters.
#include <QAction>
#include <QDate>
#include <QLocale>
#include <array>
#include <optional>

#include "console/shell/General.h"
#include "console/shell/frmStatusOption.h"
#include "console/shell/core/Trap.h"
#include "console/shell/core/FolderFilters.h"
#include "console/shell/core/Main1.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

namespace {

constexpr const char* kFilterTitle = "Message Manager - Filter";
constexpr const char* kWarningTitle = "Message Manager - Warning";

// The selected folder with its set, loader and filter items by kind.
struct FolderView {
    Folder folder;
    db::Recordset* rs;
    void (General::*load)();
    std::array<QAction*, 7> items;  // by FilterKind; nullptr where the folder has none

    QAction* item(FilterKind k) const { return items[static_cast<std::size_t>(k)]; }
};

std::optional<FolderView> selectedFolder(General& g) {
    QTreeWidgetItem* node = g.selectedNode();
    SelectedNodeText = General::textOf(node);
    switch (General::kindOf(node)) {
        case NodeKind::Inbox:
            return FolderView{Folder::Inbox, &g.rsInbox, &General::InboxDataGrid,
                              {g.mnuInboxFMessage, g.mnuInboxFDateTime, g.mnuInboxFMobile, g.mnuInboxFModem,
                               g.mnuInboxFName, g.mnuInboxFStatus, nullptr}};
        case NodeKind::Outbox:
            return FolderView{Folder::Outbox, &g.rsOutbox, &General::OutboxDataGrid,
                              {g.mnuOutboxFMessage, g.mnuOutboxFDateTime, g.mnuOutboxFMobile, g.mnuOutboxFModem,
                               g.mnuOutboxFName, g.mnuOutboxFStatus, g.mnuOutboxFSubject}};
        case NodeKind::SentItems:
            return FolderView{Folder::Sent, &g.rsSent, &General::SentDataGrid,
                              {g.mnuSentFMessage, g.mnuSentFDateTime, g.mnuSentFMobile, g.mnuSentFModem,
                               g.mnuSentFName, g.mnuSentFStatus, g.mnuSentFSubject}};
        default: return std::nullopt;
    }
}

// The folder's check marks as they were when a filter started: put back when the filter
// ends without being applied, so the ticked item always names the filter in force.
class TickGuard {
public:
    explicit TickGuard(const FolderView& v) : v_(v) {
        for (std::size_t i = 0; i < v.items.size(); ++i) saved_[i] = v.items[i] && v.items[i]->isChecked();
    }
    ~TickGuard() {
        if (applied_) return;
        for (std::size_t i = 0; i < v_.items.size(); ++i)
            if (v_.items[i]) v_.items[i]->setChecked(saved_[i]);
    }
    // Ticks `kind` alone (done as soon as an answer is given, before it is checked).
    void tick(FilterKind kind) {
        for (QAction* a : v_.items)
            if (a) a->setChecked(a == v_.item(kind));
    }
    // Sets the filter and shows it; the ticks stay only once it is in force.
    void apply(General& g, const db::Criteria& c) {
        g.showFiltered(*v_.rs, c, v_.load);
        applied_ = true;
    }

private:
    FolderView v_;
    std::array<bool, 7> saved_{};
    bool applied_ = false;
};

void warn(const std::string& text) { ui::msgBox(text, ui::vbExclamation | ui::vbOKOnly, kWarningTitle); }

// A typed date: the prompt's forms first, then the desktop's short date.
std::optional<std::string> typedDate(const std::string& text) {
    if (auto d = ParseFilterDate(text)) return d;
    const QString t = QString::fromStdString(text).trimmed();
    for (const QLocale& l : {QLocale(), QLocale::system()}) {
        QDate d = l.toDate(t, QLocale::ShortFormat);
        if (!d.isValid()) continue;
        // A two-digit year reads as 19YY; the operators mean 20YY.
        if (!l.dateFormat(QLocale::ShortFormat).contains("yyyy") && d.year() < 2000) d = d.addYears(100);
        return d.toString("yyyy-MM-dd").toStdString();
    }
    return std::nullopt;
}

}  // namespace

void General::connectFilters() {
    const std::pair<QAction*, void (General::*)()> handlers[] = {
        {mnuInboxFMobile, &General::mnuInboxFMobile_Click},     {mnuInboxFMessage, &General::mnuInboxFMessage_Click},
        {mnuInboxFDateTime, &General::mnuInboxFDateTime_Click}, {mnuInboxFStatus, &General::mnuInboxFStatus_Click},
        {mnuInboxFName, &General::mnuInboxFName_Click},         {mnuInboxFModem, &General::mnuInboxFModem_Click},
        {mnuInboxRFilter, &General::mnuInboxRFilter_Click},     {mnuOutboxFMobile, &General::mnuOutboxFMobile_Click},
        {mnuOutboxFMessage, &General::mnuOutboxFMessage_Click}, {mnuOutboxFSubject, &General::mnuOutboxFSubject_Click},
        {mnuOutboxFDateTime, &General::mnuOutboxFDateTime_Click}, {mnuOutboxFStatus, &General::mnuOutboxFStatus_Click},
        {mnuOutboxFName, &General::mnuOutboxFName_Click},       {mnuOutboxFModem, &General::mnuOutboxFModem_Click},
        {mnuOutboxRFilter, &General::mnuOutboxRFilter_Click},   {mnuSentFMobile, &General::mnuSentFMobile_Click},
        {mnuSentFMessage, &General::mnuSentFMessage_Click},     {mnuSentFSubject, &General::mnuSentFSubject_Click},
        {mnuSentFDateTime, &General::mnuSentFDateTime_Click},   {mnuSentFStatus, &General::mnuSentFStatus_Click},
        {mnuSentFName, &General::mnuSentFName_Click},           {mnuSentFModem, &General::mnuSentFModem_Click},
        {mnuSentRFilter, &General::mnuSentRFilter_Click},
    };
    for (const auto& [item, handler] : handlers) {
        // A checkable item flips its mark on a click; the handler decides the mark.
        connect(item, &QAction::triggered, this, [this, item, handler] {
            if (item->isCheckable()) item->setChecked(!item->isChecked());
            (this->*handler)();
        });
    }
}

// ---- the handlers: each runs its kind's procedure under its own location ---------------

#define PARLIX_FILTER_HANDLER(item, procedure) \
    void General::item##_Click() { Trap("General : " #item, [this] { procedure(); }); }
PARLIX_FILTER_HANDLER(mnuInboxFMobile, mnuFMobile)
PARLIX_FILTER_HANDLER(mnuInboxFMessage, mnuFMsg)
PARLIX_FILTER_HANDLER(mnuInboxFDateTime, mnuFDateTime)
PARLIX_FILTER_HANDLER(mnuInboxFStatus, mnuFStatus)
PARLIX_FILTER_HANDLER(mnuInboxFName, mnuFName)
PARLIX_FILTER_HANDLER(mnuInboxFModem, mnuFMdm)
PARLIX_FILTER_HANDLER(mnuOutboxFMobile, mnuFMobile)
PARLIX_FILTER_HANDLER(mnuOutboxFMessage, mnuFMsg)
PARLIX_FILTER_HANDLER(mnuOutboxFSubject, mnuFSubject)
PARLIX_FILTER_HANDLER(mnuOutboxFDateTime, mnuFDateTime)
PARLIX_FILTER_HANDLER(mnuOutboxFStatus, mnuFStatus)
PARLIX_FILTER_HANDLER(mnuOutboxFName, mnuFName)
PARLIX_FILTER_HANDLER(mnuOutboxFModem, mnuFMdm)
PARLIX_FILTER_HANDLER(mnuSentFMobile, mnuFMobile)
PARLIX_FILTER_HANDLER(mnuSentFMessage, mnuFMsg)
PARLIX_FILTER_HANDLER(mnuSentFSubject, mnuFSubject)
PARLIX_FILTER_HANDLER(mnuSentFDateTime, mnuFDateTime)
PARLIX_FILTER_HANDLER(mnuSentFStatus, mnuFStatus)
PARLIX_FILTER_HANDLER(mnuSentFName, mnuFName)
PARLIX_FILTER_HANDLER(mnuSentFModem, mnuFMdm)
#undef PARLIX_FILTER_HANDLER

void General::mnuInboxRFilter_Click() {
    Trap("General : mnuInboxRFilter", [this] {
        for (QAction* a : {mnuInboxFMobile, mnuInboxFMessage, mnuInboxFDateTime, mnuInboxFStatus, mnuInboxFName,
                           mnuInboxFModem})
            a->setChecked(false);
        mnuRFilter();
    });
}

void General::mnuOutboxRFilter_Click() {
    Trap("General : mnuOutboxRFilter", [this] {
        for (QAction* a : {mnuOutboxFMobile, mnuOutboxFMessage, mnuOutboxFSubject, mnuOutboxFDateTime,
                           mnuOutboxFStatus, mnuOutboxFName, mnuOutboxFModem})
            a->setChecked(false);
        mnuRFilter();
    });
}

void General::mnuSentRFilter_Click() {
    Trap("General : mnuSentRFilter", [this] {
        for (QAction* a : {mnuSentFMobile, mnuSentFMessage, mnuSentFSubject, mnuSentFDateTime, mnuSentFStatus,
                           mnuSentFName, mnuSentFModem})
            a->setChecked(false);
        mnuRFilter();
    });
}

// ---- the procedures ------------------------------------------------------------------

namespace {

struct TextKind {
    FilterKind kind;
    const char* column;
    const char* warning;
    std::string FilterState::*value;
};

// Mobile, message, name and subject: the column contains the typed text.
void textFilter(General& g, const TextKind& k, const std::string& prompt) {
    auto v = selectedFolder(g);
    if (!v || !v->item(k.kind)) return;
    TickGuard ticks(*v);
    const std::string x = ui::inputBox(prompt, kFilterTitle, "");
    if (x.empty()) {
        warn(k.warning);
        if (v->folder == Folder::Inbox) g.InboxDataGrid();
        return;
    }
    ticks.tick(k.kind);
    g.Filters.*k.value = x;
    ticks.apply(g, TextCriteria(k.column, x));
}

}  // namespace

void General::mnuFMobile() {
    Trap("General : mnuFMobile", [this] {
        textFilter(*this, {FilterKind::Mobile, "Mobile", "You haven't enter any mobile number", &FilterState::FilterMobile},
                   "Please enter the mobile number");
    });
}

void General::mnuFMsg() {
    Trap("General : mnuFMsg", [this] {
        textFilter(*this, {FilterKind::Message, "Message", "You haven't enter any message", &FilterState::FilterMessage},
                   "Please enter the message");
    });
}

void General::mnuFName() {
    Trap("General : mnuFName", [this] {
        const bool inbox = General::kindOf(selectedNode()) == NodeKind::Inbox;
        textFilter(*this, {FilterKind::Name, "Name", "You haven't entered any name", &FilterState::FilterName},
                   inbox ? "Please enter the name of the sender: " : "Please enter the name of the receiver: ");
    });
}

void General::mnuFSubject() {
    Trap("General : mnuFSubject", [this] {
        textFilter(*this, {FilterKind::Subject, "Subject", "You haven't enter any subject", &FilterState::FilterSubject},
                   "Please enter the message subject");
    });
}

void General::mnuFDateTime() {
    Trap("General : mnuFDateTime", [this] {
        auto v = selectedFolder(*this);
        if (!v) return;
        TickGuard ticks(*v);
        std::optional<std::string> start;
        while (!start) {
            const std::string s = ui::inputBox("Please enter the START date of message (DD-MM-YY)", kFilterTitle, "");
            if (s.empty()) return warn("You haven't enter and START date of message");
            ticks.tick(FilterKind::DateTime);
            start = typedDate(s);
        }
        std::string endExclusive;
        for (;;) {
            const std::string e = ui::inputBox("Please enter the END date of message (DD-MM-YY)", kFilterTitle, "");
            if (e.empty()) return warn("You haven't enter and END date of message");
            ticks.tick(FilterKind::DateTime);
            auto end = typedDate(e);
            if (!end) continue;
            endExclusive = NextDay(*end);
            if (endExclusive >= *start) break;  // END one day before START is accepted: no rows
        }
        Filters.FilterStartDate = *start;
        Filters.FilterEndDate = endExclusive;
        ticks.apply(*this, DateRangeCriteria(v->folder, *start, endExclusive));
    });
}

void General::mnuFMdm() {
    Trap("General : mnuFMdm", [this] {
        auto v = selectedFolder(*this);
        if (!v) return;
        TickGuard ticks(*v);
        for (;;) {
            const std::string n = ui::inputBox("Please enter the modem number", kFilterTitle, "");
            if (n.empty()) return warn("You haven't enter modem number");
            ticks.tick(FilterKind::Modem);
            if (!IsModemNumber(n)) {
                warn("Please enter only the modem number.");
                continue;
            }
            Filters.FilterModem = n;
            return ticks.apply(*this, ModemCriteria(n));
        }
    });
}

void General::mnuFStatus() {
    Trap("General-mnuFStatus_Click", [this] {
        auto v = selectedFolder(*this);
        if (!v) return;
        TickGuard ticks(*v);
        if (v->folder == Folder::Sent) {
            frmStatusOption* f = frmStatusOption::instance();
            f->showModal();
            if (f->bSentItemsFilterCancel) return;
            ticks.tick(FilterKind::Status);
            Filters.SentItemsFilterCaption = f->SentItemsFilterCaption;
            return ticks.apply(*this, f->SentItemsFilter);
        }
        const bool inbox = v->folder == Folder::Inbox;
        const std::string prompt =
            inbox ? "Please enter the message status:\r\n'R' to filter read message.\r\n'N' to filter the new message."
                  : "Please enter the message status:\r\n'P' to filter the pending message\r\n'R' to filter the "
                    "resent message";
        for (;;) {
            const std::string a = ui::inputBox(prompt, kFilterTitle, "");
            if (a.empty()) return warn(inbox ? "You haven't entered any status" : "You haven't enter any status");
            ticks.tick(FilterKind::Status);
            if (inbox) {
                auto word = InboxStatusWord(a);
                if (!word) {
                    warn("Please enter 'R' or 'N' only.");
                    continue;
                }
                Filters.FilterStatus = *word;
                return ticks.apply(*this, db::Criteria::equals("Status", *word));
            }
            if (!IsOutboxStatusLetter(a)) {
                warn("Please enter 'R' or 'P' only.");
                continue;
            }
            Filters.FilterStatus = a;
            return ticks.apply(*this, OutboxStatusCriteria(a));
        }
    });
}

void General::mnuRFilter() {
    Trap("General : mnuRFilter", [this] {
        auto v = selectedFolder(*this);
        if (!v) return;
        if (v->rs->isOpen()) showFiltered(*v->rs, db::Criteria(), v->load);
        else (this->*v->load)();
        Counts.ShownCount = 0;
    });
}

}  // namespace parlix::console
