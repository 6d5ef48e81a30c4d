#include "console/dialogs/core/Picker.h"

#include <unordered_set>

#include "platform/db/Statement.h"

namespace parlix::console {

PickerLists LoadPickerLists(const db::Connection& db) {
    PickerLists l;
    db::Statement groups(db, "SELECT DISTINCT GroupName FROM Groups");
    groups.each({}, [&](const std::vector<db::Value>& r) {
        l.groups.push_back(r[0].asText());
        return true;
    });
    db::Statement contacts(db, "SELECT ContactID, Name, Mobile FROM AddressBook ORDER BY ContactID");
    contacts.each({}, [&](const std::vector<db::Value>& r) {
        l.contacts.push_back(r[0].asText() + ":" + r[1].asText() + ":" + r[2].asText());
        return true;
    });
    return l;
}

std::vector<bool> PreTick(const std::vector<std::string>& items, const std::vector<std::string>& entries) {
    const std::unordered_set<std::string> wanted(entries.begin(), entries.end());
    std::vector<bool> ticked(items.size(), false);
    for (std::size_t i = 0; i < items.size(); ++i) ticked[i] = wanted.count(items[i]) != 0;
    return ticked;
}

std::int64_t FirstEmptyGroup(const db::Connection& db, const std::vector<std::string>& groups) {
    // Members, not rows: the name row and memberships of deleted contacts send nothing.
    db::Statement members(db,
                          "SELECT EXISTS (SELECT 1 FROM Groups g JOIN AddressBook a ON a.ContactID = g.ContactID "
                          "WHERE g.GroupName = ? AND g.ContactID <> 0)");
    for (std::size_t i = 0; i < groups.size(); ++i)
        if (members.scalar({groups[i]})->asInt() == 0) return static_cast<std::int64_t>(i);
    return -1;
}

std::string EmptyGroupMessage(const std::string& group) {
    return "No contact in group " + group + "!\r\nPlease uncheck group " + group + ".";
}

}  // namespace parlix::console
