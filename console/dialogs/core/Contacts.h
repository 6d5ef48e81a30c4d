// The contact editor's reads and writes (window-less). A save is one transaction: the
// AddressBook row and every membership change commit together or not at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/Connection.h"

namespace parlix::console {

// A contact as the editor shows it. Null fields come back empty.
struct ContactRecord {
    std::int64_t id = 0;
    std::string name, mobile, company;
    std::vector<std::string> groups;  // distinct group names it is a member of
};

// The number as stored: every "-" removed (the editor's rule).
std::string StoredMobile(const std::string& typed);

// Contacts whose number equals the cleaned number (trailing blanks ignored).
std::vector<std::int64_t> ContactsWithMobile(db::Connection& db, const std::string& typed);

std::optional<ContactRecord> LoadContact(db::Connection& db, std::int64_t id);

// Adds the contact and a membership per group; returns the new ContactID (the
// inserted row's key).
std::int64_t AddContact(db::Connection& db, const std::string& name, const std::string& typedMobile,
                        const std::string& company, const std::vector<std::string>& groups);

// Saves over contact `id` and makes its memberships exactly `groups`: new ones are
// added with the saved number, dropped ones deleted, kept ones left alone. False when
// the contact is gone (nothing written).
bool UpdateContact(db::Connection& db, std::int64_t id, const std::string& name,
                   const std::string& typedMobile, const std::string& company,
                   const std::vector<std::string>& groups);

}  // namespace parlix::console
