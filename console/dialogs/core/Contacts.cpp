#include "console/dialogs/core/Contacts.h"

#include <set>

#include "console/dialogs/core/Compose.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

void addMemberships(db::Connection& db, std::int64_t id, const std::string& mobile,
                    const std::vector<std::string>& groups) {
    db::Statement insert(db, "INSERT INTO Groups (GroupName, ContactID, Mobile) VALUES (?, ?, ?)");
    for (const std::string& g : groups) insert.execute({g, static_cast<long long>(id), mobile});
}

}  // namespace

std::string StoredMobile(const std::string& typed) { return CleanNumber(typed); }

std::vector<std::int64_t> ContactsWithMobile(db::Connection& db, const std::string& typed) {
    std::vector<std::int64_t> ids;
    for (const auto& row : db.query("SELECT ContactID FROM AddressBook WHERE Mobile = ? ORDER BY ContactID",
                                    {StoredMobile(typed)}))
        ids.push_back(row[0].asInt());
    return ids;
}

std::optional<ContactRecord> LoadContact(db::Connection& db, std::int64_t id) {
    const db::Params key{static_cast<long long>(id)};
    auto rows = db.query("SELECT Name, Mobile, CompanyName FROM AddressBook WHERE ContactID = ?", key);
    if (rows.empty()) return std::nullopt;
    ContactRecord c{id, rows[0][0].asText(), rows[0][1].asText(), rows[0][2].asText(), {}};
    for (const auto& row : db.query("SELECT DISTINCT GroupName FROM Groups WHERE ContactID = ?", key))
        c.groups.push_back(row[0].asText());
    return c;
}

std::int64_t AddContact(db::Connection& db, const std::string& name, const std::string& typedMobile,
                        const std::string& company, const std::vector<std::string>& groups) {
    const std::string mobile = StoredMobile(typedMobile);
    db::Transaction tx(db);
    db::Statement insert(db, "INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES (?, ?, ?)");
    insert.execute({name, mobile, company});
    const std::int64_t id = insert.lastInsertId();
    addMemberships(db, id, mobile, groups);
    tx.commit();
    return id;
}

bool UpdateContact(db::Connection& db, std::int64_t id, const std::string& name,
                   const std::string& typedMobile, const std::string& company,
                   const std::vector<std::string>& groups) {
    const std::string mobile = StoredMobile(typedMobile);
    const db::Params key{static_cast<long long>(id)};
    db::Transaction tx(db);
    if (db.execute("UPDATE AddressBook SET Name = ?, Mobile = ?, CompanyName = ? WHERE ContactID = ?",
                   {name, mobile, company, static_cast<long long>(id)}) == 0)
        return false;
    std::set<std::string> present;
    for (const auto& row : db.query("SELECT DISTINCT GroupName FROM Groups WHERE ContactID = ?", key))
        present.insert(row[0].asText());
    const std::set<std::string> wanted(groups.begin(), groups.end());
    std::vector<std::string> added;
    for (const std::string& g : wanted)
        if (!present.count(g)) added.push_back(g);
    db::Statement drop(db, "DELETE FROM Groups WHERE GroupName = ? AND ContactID = ?");
    for (const std::string& g : present)
        if (!wanted.count(g)) drop.execute({g, static_cast<long long>(id)});
    addMemberships(db, id, mobile, added);
    tx.commit();
    return true;
}

}  // namespace parlix::console
