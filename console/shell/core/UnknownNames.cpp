#include "console/shell/core/UnknownNames.h"

#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace parlix::console {

namespace {

struct Pending {
    std::vector<std::int64_t> msgIds;
    const db::Value* name = nullptr;  // the matching contact's Name
};

// Writes in slices so no transaction holds the file long enough to stall an engine.
constexpr std::size_t kRowsPerTransaction = 2000;

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

    std::vector<std::pair<std::int64_t, const db::Value*>> writes;
    for (auto& [mobile, p] : byMobile)
        if (p.name)
            for (auto id : p.msgIds) writes.emplace_back(id, p.name);
    std::int64_t changed = 0;
    for (std::size_t from = 0; from < writes.size(); from += kRowsPerTransaction) {
        const std::size_t to = std::min(writes.size(), from + kRowsPerTransaction);
        c.begin();
        try {
            for (std::size_t i = from; i < to; ++i)
                changed += c.execute("UPDATE Inbox SET Name = ? WHERE MsgID = ? AND Name = 'Unknown'",
                                     {*writes[i].second, writes[i].first});
            c.commit();
        } catch (...) {
            c.rollback();
            throw;
        }
    }
    return changed;
}

std::int64_t FillUnknownOutboxNames(db::Connection& c) {
    return c.execute(
        "UPDATE Outbox SET Name = (SELECT a.Name FROM AddressBook a WHERE a.Mobile = Outbox.Mobile "
        "ORDER BY a.ContactID LIMIT 1) "
        "WHERE Name = 'Unknown' AND Mobile <> '' "
        "AND EXISTS (SELECT 1 FROM AddressBook a WHERE a.Mobile = Outbox.Mobile)");
}

}  // namespace parlix::console
