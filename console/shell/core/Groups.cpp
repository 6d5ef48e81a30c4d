#include "console/shell/core/Groups.h"

#include <set>

#include "console/shell/core/Validate.h"
#include "platform/db/Fold.h"
#include "platform/db/Recordset.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

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

bool GroupNameTaken(db::Connection& db, const std::string& name) {
    // Over the distinct names (the index on GroupName), each folded as the searches fold.
    const std::string folded = db::FoldCase(GroupNameOf(name));
    bool taken = false;
    db::Statement(db, "SELECT DISTINCT GroupName FROM Groups").each({}, [&](const std::vector<db::Value>& row) {
        taken = db::FoldCase(GroupNameOf(row[0].asText())) == folded;
        return !taken;
    });
    return taken;
}

GroupNameCheck CheckGroupName(db::Connection& db, const std::string& typed) {
    if (HasApostrophe(typed)) return GroupNameCheck::Apostrophe;
    const std::string name = GroupNameOf(typed);
    if (name.empty()) return GroupNameCheck::Empty;
    if (IsFolderName(name) || GroupNameTaken(db, name)) return GroupNameCheck::Duplicate;
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
    db::Transaction tx(db);
    // The ids go into a table of the connection's own, so one statement finds and one
    // deletes them however many were selected.
    db.execute("CREATE TEMP TABLE IF NOT EXISTS RemoveIds (ContactID INTEGER PRIMARY KEY)");
    db.execute("DELETE FROM temp.RemoveIds");
    db::Statement add(db, "INSERT OR IGNORE INTO temp.RemoveIds (ContactID) VALUES (?)");
    for (std::int64_t id : contactIds) add.execute({static_cast<long long>(id)});
    for (const auto& row : db.query("SELECT ContactID FROM temp.RemoveIds WHERE ContactID NOT IN "
                                    "(SELECT ContactID FROM Groups WHERE GroupName = ? AND ContactID IS NOT NULL) "
                                    "ORDER BY ContactID",
                                    {name}))
        r.notMember.push_back(row[0].asInt());
    r.removed = db.execute("DELETE FROM Groups WHERE GroupName = ? AND ContactID IN (SELECT ContactID FROM temp.RemoveIds)",
                           {name});
    db.execute("DELETE FROM temp.RemoveIds");
    tx.commit();
    return r;
}

namespace {

// "ContactID IN (members whose field contains the text)", matched as the group view's
// search matches (db::Criteria::contains); the parameters are the name, then the text.
std::string searchedMembers(SearchField field, const std::string& name, const std::string& text, db::Params& p) {
    const char* column = field == SearchField::Company ? "CompanyName" : field == SearchField::Mobile ? "Mobile" : "Name";
    p = {name};
    return "GroupName = ? AND ContactID IN (SELECT ContactID FROM AddressBook WHERE " +
           db::RenderCriteria(db::Criteria::contains(column, text), p) + ")";
}

}  // namespace

std::int64_t RemoveSearchedMembers(db::Connection& db, const std::string& name, SearchField field,
                                   const std::string& text) {
    db::Transaction tx(db);
    db::Params p;
    const std::string where = searchedMembers(field, name, text, p);
    const std::int64_t n = db.execute("DELETE FROM Groups WHERE " + where, p);
    tx.commit();
    return n;
}

std::int64_t CountSearchedMembers(db::Connection& db, const std::string& name, SearchField field,
                                  const std::string& text) {
    db::Params p;
    const std::string where = searchedMembers(field, name, text, p);
    return db.scalar("SELECT count(*) FROM Groups WHERE " + where, p)->asInt();
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
