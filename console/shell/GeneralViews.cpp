// The main window's grid: the loaders of each folder's view, the names of unknown
// numbers, and the grid's own events (sorting, double click, selection, pop-up).
#include <QAction>
#include <QDate>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTreeWidget>
#include <algorithm>
#include <set>
#include <utility>

#include "console/shell/General.h"
#include "console/shell/GeneralInternal.h"
#include "console/dialogs/frmContact.h"
#include "console/shell/Help.h"
#include "console/shell/Windows.h"
#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/DateText.h"
#include "console/shell/core/Error.h"
#include "console/shell/core/Groups.h"
#include "console/shell/core/Main1.h"
#include "console/shell/core/Summary.h"
#include "console/shell/core/Trap.h"
#include "console/shell/core/UnknownNames.h"
#include "platform/db/qt/RecordsetModel.h"
#include "platform/ui/Dialogs.h"

namespace parlix::console {

using namespace general;

namespace {

View viewOf(NodeKind kind) {
    switch (kind) {
        case NodeKind::Inbox: return View::Inbox;
        case NodeKind::Outbox: return View::Outbox;
        case NodeKind::SentItems: return View::Sent;
        case NodeKind::Group: return View::Group;
        default: return View::AddressBook;
    }
}

}  // namespace

// ---- grid loaders ---------------------------------------------------------------------

void General::bindGrid(db::Recordset& rs) {
    if (DataGridModel->recordset() == &rs) DataGridModel->reload();
    else DataGridModel->setRecordset(&rs);
}

void General::applyLayout(const ViewLayout& l) {
    const int columns = DataGridModel->columnCount();
    DataGridModel->resetHeaders();
    for (const auto& [c, caption] : l.captions) DataGridModel->setHeader(c, q(caption));
    for (int c = 0; c < columns; ++c) DataGrid->setColumnHidden(c, l.hidden.count(c) != 0);
    for (const auto& [c, twips] : l.widthsTwips)
        if (c < columns) DataGrid->setColumnWidth(c, TwipsToPixels(twips));
    // Date columns show a whole date-time.
    const int dateWidth = DataGrid->fontMetrics().horizontalAdvance(q(WidestDateTimeText())) + 16;
    for (int c : l.dateColumns)
        if (c < columns) DataGrid->setColumnWidth(c, std::max(DataGrid->columnWidth(c), dateWidth));
    // The view's column order (the table's unless it says otherwise).
    QHeaderView* header = DataGrid->horizontalHeader();
    for (int at = 0; at < columns; ++at) {
        const int c = at < static_cast<int>(l.order.size()) ? l.order[static_cast<size_t>(at)] : at;
        if (c < columns && header->visualIndex(c) != at) header->moveSection(header->visualIndex(c), at);
    }
    static_cast<WrapDelegate*>(DataGrid->itemDelegate())->wrap = l.wordWrap;
    DataGrid->verticalHeader()->setDefaultSectionSize(std::max(TwipsToPixels(l.rowHeightTwips), 18));
    DataGrid->viewport()->update();
}

void General::restorePosition(db::Recordset& rs, const db::Bookmark& saved) {
    const std::int64_t count = rs.recordCount();
    if (!saved.valid() || count == 0) {
        // Nothing remembered: the view starts at its top, whatever the view before it showed.
        DataGrid->scrollToTop();
        DataGrid->horizontalScrollBar()->setValue(0);
        return;
    }
    std::int64_t at = std::min(saved.position, count - 1);  // rows deleted meanwhile: the last row
    if (saved.position < count && saved.rowid != 0) {
        // New messages shift rows by a few places: look for the row near where it was,
        // never through the whole folder.
        constexpr std::int64_t kNear = 256;
        for (std::int64_t d = 0; d <= kNear; ++d) {
            std::int64_t hit = -1;
            for (std::int64_t p : {saved.position + d, saved.position - d}) {
                if (p < 0 || p >= count) continue;
                rs.move(p);
                if (!rs.eof() && rs.bookmark().rowid == saved.rowid) {
                    hit = p;
                    break;
                }
            }
            if (hit >= 0) {
                at = hit;
                break;
            }
        }
    }
    rs.move(at);
    const int row = static_cast<int>(std::min<std::int64_t>(at, DataGridModel->rowCount() - 1));
    if (row < 0) return;
    const QModelIndex index = DataGridModel->index(row, 0);
    DataGrid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DataGrid->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void General::setViewCaption(const std::string& caption) { frmContent->setTitle(q(caption)); }

namespace {
std::vector<FilterKind> tickedFilters(std::initializer_list<std::pair<QAction*, FilterKind>> items) {
    std::vector<FilterKind> out;
    for (const auto& [a, k] : items)
        if (a && a->isChecked()) out.push_back(k);
    return out;
}

// The user's short date, as the grid shows its dates.
std::string localeDay(const std::string& iso) {
    const QDate d = QDate::fromString(q(iso), Qt::ISODate);
    return d.isValid() ? QLocale().toString(d, QLocale::ShortFormat).toStdString() : iso;
}
}  // namespace

// A folder's caption after a load: its total, or, filtered, what the ticked filter
// shows of it (a caption the filter leaves empty keeps the one shown).
void General::setFolderCaption(Folder folder, const db::Recordset& rs, std::int64_t& total,
                               const std::vector<FilterKind>& ticked) {
    if (!rs.filtered()) {
        total = rs.recordCount();
        setViewCaption(FolderCaption(folder, total));
        return;
    }
    Counts.ShownCount = rs.recordCount();
    const std::string c = FilteredFolderCaption(folder, ticked, Filters, Counts.ShownCount, total, localeDay);
    if (!c.empty()) setViewCaption(c);
}

void General::InboxDataGrid() {
    trapped("General : Inbox DataGrid display", [this] {
        UpdateUnknownInbox();
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsInbox);
        bindGrid(rsInbox);
        restorePosition(rsInbox, InboxPosition);
        applyLayout(LayoutOf(View::Inbox, rsInbox.fieldCount()));
        // No caption procedure resets the Inbox's headers: the sorted column keeps its mark.
        std::vector<std::string> fields;
        for (int c = 0; c < rsInbox.fieldCount(); ++c) fields.push_back(rsInbox.fieldName(c));
        for (const auto& [c, caption] : SortMarks(View::Inbox, fields, rsInbox.sort()))
            DataGridModel->setHeader(c, q(caption));
        setFolderCaption(Folder::Inbox, rsInbox, Counts.InboxTotal,
                         tickedFilters({{mnuInboxFMessage, FilterKind::Message},
                                        {mnuInboxFDateTime, FilterKind::DateTime},
                                        {mnuInboxFMobile, FilterKind::Mobile},
                                        {mnuInboxFModem, FilterKind::Modem},
                                        {mnuInboxFName, FilterKind::Name},
                                        {mnuInboxFStatus, FilterKind::Status}}));
    });
}

void General::OutboxDataGrid() {
    trapped("General-Outbox DataGrid display", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsOutbox);
        bindGrid(rsOutbox);
        restorePosition(rsOutbox, OutboxPosition);
        applyLayout(LayoutOf(View::Outbox, rsOutbox.fieldCount()));
        setFolderCaption(Folder::Outbox, rsOutbox, Counts.OutboxTotal,
                         tickedFilters({{mnuOutboxFMessage, FilterKind::Message},
                                        {mnuOutboxFDateTime, FilterKind::DateTime},
                                        {mnuOutboxFMobile, FilterKind::Mobile},
                                        {mnuOutboxFModem, FilterKind::Modem},
                                        {mnuOutboxFName, FilterKind::Name},
                                        {mnuOutboxFStatus, FilterKind::Status},
                                        {mnuOutboxFSubject, FilterKind::Subject}}));
    });
}

void General::SentDataGrid() {
    trapped("General-SentDataGrid", [this] {
        UpdateUnknownOutbox();
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsSent);
        bindGrid(rsSent);
        restorePosition(rsSent, SentPosition);
        applyLayout(LayoutOf(View::Sent, rsSent.fieldCount()));
        setFolderCaption(Folder::Sent, rsSent, Counts.SentTotal,
                         tickedFilters({{mnuSentFMessage, FilterKind::Message},
                                        {mnuSentFDateTime, FilterKind::DateTime},
                                        {mnuSentFMobile, FilterKind::Mobile},
                                        {mnuSentFModem, FilterKind::Modem},
                                        {mnuSentFName, FilterKind::Name},
                                        {mnuSentFStatus, FilterKind::Status},
                                        {mnuSentFSubject, FilterKind::Subject}}));
    });
}

void General::AddBookDataGrid() {
    trapped("General : AddBookDataGrid", [this] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        refresh(rsAddressBook);
        bindGrid(rsAddressBook);
        restorePosition(rsAddressBook, AddressBookPosition);
        applyLayout(LayoutOf(View::AddressBook, rsAddressBook.fieldCount()));
        if (!rsAddressBook.filtered()) {
            Counts.AddressBookTotal = rsAddressBook.recordCount();
            setViewCaption(AddressBookCaption(Counts.AddressBookTotal));
        } else {
            Counts.ShownCount = rsAddressBook.recordCount();
            std::vector<SearchKind> ticked;
            if (mnuSCompany->isChecked()) ticked.push_back(SearchKind::Company);
            if (mnuSName->isChecked()) ticked.push_back(SearchKind::Name);
            if (mnuSMobile->isChecked()) ticked.push_back(SearchKind::Mobile);
            auto c = SearchedAddressBookCaption(ticked, Filters, Counts.ShownCount, Counts.AddressBookTotal);
            if (!c.empty()) setViewCaption(c);
        }
        // A contact edited from a group view returns to that group.
        if (EditFromGroup) {
            EditFromGroup = false;
            if (QTreeWidgetItem* g = node(NodeKind::Group, SelectedNodeText)) tvwMessage->setCurrentItem(g);
            shownView_ = NodeKind::Group;
            GroupDataGrid(SelectedNodeText);
        }
    });
}

void General::GroupDataGrid(const std::string& groupName) {
    trapped("General-GroupDataGrid", [&] {
        if (!EnsureDbConnection()) return tellDatabaseMissingOnce();
        shownGroup_ = groupName;
        // The grid lets go of the old member set before it is replaced.
        if (DataGridModel->recordset() == &rsGroupMembers) DataGridModel->setRecordset(nullptr);
        rsGroupMembers.open(DbConnection, kGroupMembersSql, {groupName},
                            {db::Cursor::Live, db::Lock::Optimistic, 0});
        bindGrid(rsGroupMembers);
        // The remembered row belongs to the group it was taken in.
        restorePosition(rsGroupMembers, groupPositionOf_ == groupName ? GroupPosition : db::Bookmark{});
        applyLayout(LayoutOf(View::Group, rsGroupMembers.fieldCount()));
        Counts.GroupTotal = rsGroupMembers.recordCount();
        setViewCaption(GroupCaption(groupName, Counts.GroupTotal));
    });
}

// ---- names for unknown numbers --------------------------------------------------------

void General::UpdateUnknownInbox() {
    trapped("General : UpdateUnknownInbox", [this] {
        if (EnsureDbConnection()) FillUnknownInboxNames(DbConnection, inboxNamesSeen_);
    });
}

void General::UpdateUnknownOutbox() {
    trapped("General : UpdateUnknownOutbox", [this] {
        if (EnsureDbConnection()) FillUnknownOutboxNames(DbConnection, outboxNamesSeen_);
    });
}

// ---- grid events ----------------------------------------------------------------------

db::Recordset* General::viewRecordset(NodeKind kind) {
    switch (kind) {
        case NodeKind::Inbox: return &rsInbox;
        case NodeKind::Outbox: return &rsOutbox;
        case NodeKind::SentItems: return &rsSent;
        case NodeKind::AddressBook: return &rsAddressBook;
        case NodeKind::Group: return &rsGroupMembers;
        default: return nullptr;
    }
}

db::Bookmark* General::viewPosition(NodeKind kind) {
    switch (kind) {
        case NodeKind::Inbox: return &InboxPosition;
        case NodeKind::Outbox: return &OutboxPosition;
        case NodeKind::SentItems: return &SentPosition;
        case NodeKind::AddressBook: return &AddressBookPosition;
        case NodeKind::Group: return &GroupPosition;
        default: return nullptr;
    }
}

void General::DataGrid_HeadClick(int column) {
    trapped("General-Datagrid_HeadClick : Sorting by clicking field name", [&] {
        SelectedNodeText = textOf(selectedNode());
        db::Recordset* rs = viewRecordset(shownView_);
        if (!rs || !rs->isOpen() || column < 0 || column >= rs->fieldCount()) return;
        const View view = viewOf(shownView_);
        const std::string caption = DataGridModel->headerData(column, Qt::Horizontal).toString().toStdString();
        auto step = NextSort(view, column, caption, rs->fieldName(column), rs->sort());
        if (!step) throw std::runtime_error("column \"" + caption + "\" cannot be sorted");
        rs->setSort(step->sort);
        DataGridModel->reload();
        // Only the clicked column carries a sort mark.
        for (const auto& [c, base] : SortCaptions(view)) DataGridModel->setHeader(c, q(base));
        DataGridModel->setHeader(column, q(step->caption));
    });
}

void General::DataGrid_DblClick() {
    SelectedNodeText = textOf(selectedNode());
    if (shownView_ != NodeKind::Inbox || !rsInbox.isOpen()) return;
    trapped("General-DataGrid_DblClick", [this] {
        const QModelIndex current = DataGrid->currentIndex();
        if (!current.isValid() || !DataGridModel->setCurrentRow(current.row())) return;
        const std::string mobile = rsInbox.text("Mobile");
        const std::string message = rsInbox.text("Message");
        ShowNewSMSTo(mobile, message);
        rsInbox.setField("Status", "Read");
        rsInbox.update();
        DataGridModel->refreshRow(current.row());
    });
}

void General::DataGrid_SelChange() {
    // Ranges, not rows: a selection of a million rows is counted without listing them.
    std::int64_t n = 0;
    for (const QItemSelectionRange& r : DataGrid->selectionModel()->selection()) n += r.height();
    SelectedRows = n;
}

void General::DataGrid_MouseUp() {
    trapped("General-Datagrid_Up", [this] {
        if (shownView_ == NodeKind::Group) return;  // the group view is remembered by its menu only
        db::Recordset* rs = viewRecordset(shownView_);
        db::Bookmark* saved = viewPosition(shownView_);
        const QModelIndex current = DataGrid->currentIndex();
        if (!rs || !saved || !current.isValid() || !DataGridModel->setCurrentRow(current.row())) return;
        *saved = rs->bookmark();
    });
}

void General::DataGrid_RightMenu(const QPoint& globalPos) {
    trapped("General-Datagrid_MouseDown", [&] {
        SelectedNodeText = textOf(selectedNode());
        db::Recordset* rs = viewRecordset(shownView_);
        db::Bookmark* saved = viewPosition(shownView_);
        const QModelIndex current = DataGrid->currentIndex();
        if (rs && saved && rs->isOpen() && current.isValid() && DataGridModel->setCurrentRow(current.row())) {
            *saved = rs->bookmark();
            if (shownView_ == NodeKind::Group) groupPositionOf_ = shownGroup_;
        }
        switch (shownView_) {
            case NodeKind::Inbox: popup(pmnuMailInbox, globalPos); break;
            case NodeKind::Outbox: popup(pmnuMailOutbox, globalPos); break;
            case NodeKind::SentItems: popup(pmnuMailSent, globalPos); break;
            case NodeKind::AddressBook: popup(pmnuContactRecord, globalPos); break;
            case NodeKind::Group: popup(pmnuGroupContact, globalPos); break;
            default: break;
        }
    });
}

bool General::eventFilter(QObject* watched, QEvent* e) {
    if (watched == DataGrid->viewport() && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
        DataGrid_MouseUp();
    return QMainWindow::eventFilter(watched, e);
}

}  // namespace parlix::console
