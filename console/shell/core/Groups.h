// Groups as the Groups table keeps them (window-less): one placeholder row per group
// (ContactID 0 or empty) that keeps an empty group listed, plus one row per member.
// Every change is one transaction of set-based statements: a failure leaves the group
// as it was, never half renamed or half emptied. Names are bound values; the column
// compares without trailing blanks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/Connection.h"

namespace parlix::console {

inline constexpr std::size_t kGroupNameMax = 50;

// What is wrong with a new group name, in the order the questions are asked.
enum class GroupNameCheck { Ok, Apostrophe, Empty, Duplicate, TooLong };

// Characters of a UTF-8 text (code points), as the name limit counts them.
std::size_t CharacterCount(const std::string& utf8);
// The name as stored: trailing blanks dropped (the database ignores them anyway).
std::string GroupNameOf(const std::string& typed);
// Node texts of the tree that are no groups ("Inbox", "Address Book", ...).
bool IsFolderName(const std::string& name);

// True when a group of this name exists (any row, placeholder or member).
bool GroupExists(db::Connection& db, const std::string& name);
// True when a group's name equals `name` but for letter case (in any script) and
// trailing blanks: the names that would be taken for the same group.
bool GroupNameTaken(db::Connection& db, const std::string& name);
// Checks a typed name against the table (never against a filtered record set). A
// folder's name and a group's name in other letter case count as duplicates.
GroupNameCheck CheckGroupName(db::Connection& db, const std::string& typed);

// Distinct group names in the table's order.
std::vector<std::string> GroupNames(db::Connection& db);

// The placeholder row of a new group.
void CreateGroup(db::Connection& db, const std::string& name);
// Every row of the group under the new name; the rows changed.
std::int64_t RenameGroup(db::Connection& db, const std::string& from, const std::string& to);
// Every row of the group, placeholder included; the rows deleted.
std::int64_t DeleteGroupRows(db::Connection& db, const std::string& name);
// Members as the group view shows them (memberships of existing contacts).
std::int64_t CountMembers(db::Connection& db, const std::string& name);

struct RemoveResult {
    std::int64_t removed = 0;             // memberships deleted
    std::vector<std::int64_t> notMember;  // contacts that were no longer in the group
};
// Deletes the memberships of `contactIds` in the group; contacts that are not (or no
// longer) members are reported, the others removed.
RemoveResult RemoveMembers(db::Connection& db, const std::string& name,
                           const std::vector<std::int64_t>& contactIds);
// Deletes the memberships of the members whose field contains `text` literally (quotes,
// "%", "*", "_" stand for themselves; letter case counts in no script), as the group
// view's search shows them; the memberships removed.
enum class SearchField { Company, Mobile, Name };
std::int64_t RemoveSearchedMembers(db::Connection& db, const std::string& name, SearchField field,
                                   const std::string& text);
// The members such a removal would take.
std::int64_t CountSearchedMembers(db::Connection& db, const std::string& name, SearchField field,
                                  const std::string& text);
// Deletes every membership and leaves exactly one placeholder row; the members removed.
std::int64_t RemoveAllMembers(db::Connection& db, const std::string& name);

}  // namespace parlix::console
