// The recipient picker's data: the groups and contacts it lists, which of them the
// composer's entries tick, and the check that every ticked group has members.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/Connection.h"

namespace parlix::console {

struct PickerLists {
    std::vector<std::string> groups;    // group names, as the database lists them
    std::vector<std::string> contacts;  // recipient entries "ContactID:Name:Mobile"
};

// Reads both lists; a Null name or number shows as empty text.
PickerLists LoadPickerLists(const db::Connection& db);

// Which items equal one of the entries (one pass over each, not entries x items).
std::vector<bool> PreTick(const std::vector<std::string>& items, const std::vector<std::string>& entries);

// The first of `groups` that has no member in the address book, or -1 when every
// one has at least one (one prepared count per group).
std::int64_t FirstEmptyGroup(const db::Connection& db, const std::vector<std::string>& groups);

// "No contact in group X!" CR LF "Please uncheck group X."
std::string EmptyGroupMessage(const std::string& group);

}  // namespace parlix::console
