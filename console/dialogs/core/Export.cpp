#include "console/dialogs/core/Export.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "database/Schema.h"
#include "platform/workbook/Workbook.h"

namespace parlix::console {

// Ordered by the key, the tables' own order: a live record set then finds each next
// page through the key's index instead of reading the table from its start.
ExportSource ExportSourceOf(ExportMode mode) {
    switch (mode) {
    case ExportMode::Received: return {"SELECT * FROM Inbox ORDER BY MsgID", "Message Manager - Export SMS Received"};
    case ExportMode::Sent:
        return {"SELECT MsgID, Subject, Message, Mobile, Name, DateTimeQueue, DateTimeSent, SentStatus, "
                "DateTimeDeliver, DeliveryStatus FROM Outbox ORDER BY MsgID",
                "Message Manager - Export SMS Sent"};
    case ExportMode::Contacts: break;
    }
    return {"SELECT * FROM AddressBook ORDER BY ContactID", "Contact Manager - Export Contacts"};
}

std::string ExportTarget(const std::string& typed) {
    std::filesystem::path p(typed);
    if (p.filename().empty()) return p.string();
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext.empty())
        p += ".xlsx";
    else if (ext == ".xls")
        p.replace_extension(".xlsx");
    return p.string();
}

ExportSnapshot::ExportSnapshot(const db::Connection& shared, ExportMode mode) {
    db_.open(shared.path(), schema::kDatabaseKey);
    db_.execute("BEGIN");  // deferred: the snapshot is taken by the first read
    rs_.open(db_, ExportSourceOf(mode).sql, {}, {db::Cursor::Live, db::Lock::ReadOnly, 0});
}

ExportSnapshot::~ExportSnapshot() {
    rs_.close();
    try {
        db_.rollback();  // a read transaction: nothing to keep
    } catch (...) {
    }
}

std::int64_t WriteExport(db::Recordset& rs, bool headings, const std::string& target,
                         const std::function<void(std::int64_t)>& progress, std::uint64_t* cellsCut) {
    const int fields = rs.fieldCount();
    const std::string temp = target + ".partial-" + std::to_string(::getpid());
    std::int64_t written = 0;
    try {
        workbook::SheetWriter w(temp);
        std::vector<std::string> row(fields > 1 ? static_cast<std::size_t>(fields - 1) : 0);
        if (headings) {
            for (int f = 1; f < fields; ++f) row[static_cast<std::size_t>(f - 1)] = rs.fieldName(f);
            w.addRow(row);
        }
        for (; !rs.eof(); rs.moveNext()) {
            for (int f = 1; f < fields; ++f) row[static_cast<std::size_t>(f - 1)] = rs.field(f).asText();
            w.addRow(row);
            if (++written % 10000 == 0 && progress) progress(written);
        }
        w.close();
        if (cellsCut) *cellsCut = w.cellsCut();
        std::error_code ec;
        std::filesystem::rename(temp, target, ec);
        if (ec) throw std::runtime_error("cannot replace " + target + ": " + ec.message());
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
    return written;
}

}  // namespace parlix::console
