#include "console/dialogs/core/Export.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

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
    if (!p.filename().empty() && p.extension().empty()) p += ".xlsx";
    return p.string();
}

std::int64_t WriteExport(db::Recordset& rs, bool headings, const std::string& target,
                         const std::function<void(std::int64_t)>& progress) {
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
