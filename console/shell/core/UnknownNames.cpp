#include "console/shell/core/UnknownNames.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

struct Pending {
    std::vector<std::int64_t> msgIds;
    const db::Value* name = nullptr;  // the matching contact's Name
};

// Writes in slices so no transaction holds the file long enough to stall an engine.
constexpr std::size_t kRowsPerTransaction = 2000;

// Names the rows in slices, each its own transaction; a row renamed meanwhile keeps its
// name (the statement asks for Name = 'Unknown').
std::int64_t writeNames(db::Connection& c, const char* update,
                        const std::vector<std::pair<std::int64_t, db::Value>>& writes) {
    std::int64_t changed = 0;
    for (std::size_t from = 0; from < writes.size(); from += kRowsPerTransaction) {
        const std::size_t to = std::min(writes.size(), from + kRowsPerTransaction);
        db::Transaction tx(c);
        db::Statement named(c, update);
        for (std::size_t i = from; i < to; ++i) changed += named.execute({writes[i].second, writes[i].first});
        tx.commit();
    }
    return changed;
}

}  // namespace

std::int64_t FillUnknownInboxNames(db::Connection& c) {
    std::unordered_map<std::string, Pending> byMobile;
    for (const auto& row : c.query("SELECT MsgID, Mobile FROM Inbox WHERE Name = 'Unknown'")) {
        std::string mobile = row[1].asText();
        if (mobile.empty()) continue;  // an empty number matches nobody
        byMobile[mobile].msgIds.push_back(row[0].asInt());
    }
    if (byMobile.empty()) return 0;

    // Literal containment: every substring of a contact's mobile of a length some unknown
    // number has is looked up once; the first contact by ContactID wins.
    std::set<std::size_t> lengths;
    std::unordered_map<std::string_view, Pending*> lookup;
    for (auto& [mobile, p] : byMobile) {
        lengths.insert(mobile.size());
        lookup.emplace(mobile, &p);
    }
    auto contacts = c.query("SELECT Name, Mobile FROM AddressBook ORDER BY ContactID");
    std::size_t left = byMobile.size();
    for (auto& contact : contacts) {
        if (left == 0) break;
        const std::string mobile = contact[1].asText();
        const std::string_view m(mobile);
        for (std::size_t len : lengths) {
            if (len > m.size()) break;
            for (std::size_t at = 0; at + len <= m.size(); ++at) {
                auto it = lookup.find(m.substr(at, len));
                if (it == lookup.end() || it->second->name) continue;
                it->second->name = &contact[0];
                --left;
            }
        }
    }

    std::vector<std::pair<std::int64_t, db::Value>> writes;
    for (auto& [mobile, p] : byMobile)
        if (p.name)
            for (auto id : p.msgIds) writes.emplace_back(id, *p.name);
    return writeNames(c, "UPDATE Inbox SET Name = ? WHERE MsgID = ? AND Name = 'Unknown'", writes);
}

std::int64_t FillUnknownOutboxNames(db::Connection& c) {
    // The matching is a read: the write lock is taken only for the rows to name.
    std::vector<std::pair<std::int64_t, db::Value>> writes;
    for (auto& row : c.query("SELECT o.MsgID, (SELECT a.Name FROM AddressBook a WHERE a.Mobile = o.Mobile "
                             "ORDER BY a.ContactID LIMIT 1) FROM Outbox o "
                             "WHERE o.Name = 'Unknown' AND o.Mobile <> '' "
                             "AND EXISTS (SELECT 1 FROM AddressBook a WHERE a.Mobile = o.Mobile)"))
        writes.emplace_back(row[0].asInt(), std::move(row[1]));
    return writeNames(c, "UPDATE Outbox SET Name = ? WHERE MsgID = ? AND Name = 'Unknown'", writes);
}

}  // namespace parlix::console
