#include "console/shell/core/Groups.h"

#include <set>

#include "console/shell/core/Validate.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

// Bound ids per statement: well below the database's limit of 999 parameters.
constexpr std::size_t kIdsPerStatement = 500;

std::string placeholders(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += i ? ",?" : "?";
    return s;
}

}  // namespace

std::size_t CharacterCount(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string GroupNameOf(const std::string& typed) {
    std::string s = typed;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

bool IsFolderName(const std::string& name) {
    static const std::set<std::string> folders = {"Messages", "Address Book", "Inbox", "Outbox", "Sent Items"};
    return folders.count(GroupNameOf(name)) != 0;
}

bool GroupExists(db::Connection& db, const std::string& name) {
    return db::Statement(db, "SELECT 1 FROM Groups WHERE GroupName = ? LIMIT 1").exists({name});
}

GroupNameCheck CheckGroupName(db::Connection& db, const std::string& typed) {
    if (HasApostrophe(typed)) return GroupNameCheck::Apostrophe;
    const std::string name = GroupNameOf(typed);
    if (name.empty()) return GroupNameCheck::Empty;
    if (IsFolderName(name) || GroupExists(db, name)) return GroupNameCheck::Duplicate;
    if (CharacterCount(name) > kGroupNameMax) return GroupNameCheck::TooLong;
    return GroupNameCheck::Ok;
}

std::vector<std::string> GroupNames(db::Connection& db) {
    std::vector<std::string> names;
    db::Statement(db, "SELECT DISTINCT GroupName FROM Groups").each({}, [&](const std::vector<db::Value>& row) {
        names.push_back(row[0].asText());
        return true;
    });
    return names;
}

void CreateGroup(db::Connection& db, const std::string& name) {
    db::Statement(db, "INSERT INTO Groups (GroupName) VALUES (?)").execute({name});
}

std::int64_t RenameGroup(db::Connection& db, const std::string& from, const std::string& to) {
    db::Transaction tx(db);
    const std::int64_t n = db::Statement(db, "UPDATE Groups SET GroupName = ? WHERE GroupName = ?").execute({to, from});
    tx.commit();
    return n;
}

std::int64_t DeleteGroupRows(db::Connection& db, const std::string& name) {
    db::Transaction tx(db);
    const std::int64_t n = db::Statement(db, "DELETE FROM Groups WHERE GroupName = ?").execute({name});
    tx.commit();
    return n;
}

std::int64_t CountMembers(db::Connection& db, const std::string& name) {
    return db::Statement(db,
                         "SELECT count(*) FROM Groups WHERE GroupName = ? AND ContactID IN "
                         "(SELECT ContactID FROM AddressBook)")
        .scalar({name})
        ->asInt();
}

RemoveResult RemoveMembers(db::Connection& db, const std::string& name,
                           const std::vector<std::int64_t>& contactIds) {
    RemoveResult r;
    const std::set<std::int64_t> wanted(contactIds.begin(), contactIds.end());
    const std::vector<std::int64_t> ids(wanted.begin(), wanted.end());
    db::Transaction tx(db);
    std::set<std::int64_t> found;
    for (std::size_t at = 0; at < ids.size(); at += kIdsPerStatement) {
        const std::size_t n = std::min(kIdsPerStatement, ids.size() - at);
        db::Params p{name};
        for (std::size_t i = 0; i < n; ++i) p.emplace_back(static_cast<long long>(ids[at + i]));
        const std::string in = " AND ContactID IN (" + placeholders(n) + ")";
        for (const auto& row : db.query("SELECT DISTINCT ContactID FROM Groups WHERE GroupName = ?" + in, p))
            found.insert(row[0].asInt());
        r.removed += db::Statement(db, "DELETE FROM Groups WHERE GroupName = ?" + in).execute(p);
    }
    tx.commit();
    for (std::int64_t id : ids)
        if (!found.count(id)) r.notMember.push_back(id);
    return r;
}

std::int64_t RemoveAllMembers(db::Connection& db, const std::string& name) {
    db::Transaction tx(db);
    const std::int64_t members = CountMembers(db, name);
    db::Statement(db, "DELETE FROM Groups WHERE GroupName = ?").execute({name});
    CreateGroup(db, name);
    tx.commit();
    return members;
}

}  // namespace parlix::console
