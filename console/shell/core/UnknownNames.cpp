#include "console/shell/core/UnknownNames.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

using Contact = UnknownNamesSeen::Contact;
using Contacts = std::vector<Contact>;
using Numbers = std::unordered_set<std::string>;

// Writes in slices so no transaction holds the file long enough to stall an engine.
constexpr std::size_t kRowsPerTransaction = 2000;
// Numbers of changed contacts looked up one by one in the index of Unknown rows; past
// this (an import of many contacts) one pass over every Unknown number costs less.
constexpr std::size_t kMostLookups = 20000;

struct Folder {
    const char* table;
    bool holds;  // Inbox: the contact's mobile holds the number; Outbox: the numbers are equal
};
constexpr Folder kInbox{"Inbox", true};
constexpr Folder kOutbox{"Outbox", false};

// The columns compare with trailing blanks ignored (collation RTRIM): the index of
// Unknown rows finds a number with or without them, so numbers are looked up without.
std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// The first contact (by ContactID) that takes each number, under the folder's rule.
// Numbers no contact takes are left out.
std::unordered_map<std::string_view, const Contact*> firstContacts(const Folder& f, const Contacts& contacts,
                                                                  const Numbers& numbers) {
    std::unordered_map<std::string_view, const Contact*> found;
    if (numbers.empty()) return found;
    if (!f.holds) {
        // Equal numbers, as the column compares them; an empty number matches nobody.
        std::unordered_map<std::string_view, const Contact*> byNumber;
        for (const Contact& contact : contacts)
            if (auto m = trimmed(contact.mobile); !m.empty()) byNumber.emplace(m, &contact);
        for (const std::string& n : numbers)
            if (auto it = byNumber.find(trimmed(n)); !trimmed(n).empty() && it != byNumber.end())
                found.emplace(n, it->second);
        return found;
    }
    // Literal containment: every substring of a contact's mobile of a length some number
    // has is looked up once; the first contact by ContactID wins.
    std::set<std::size_t> lengths;
    std::unordered_set<std::string_view> open;
    for (const std::string& n : numbers) {
        lengths.insert(n.size());
        open.insert(n);
    }
    for (const Contact& contact : contacts) {
        if (open.empty()) break;
        const std::string_view m(contact.mobile);
        for (std::size_t len : lengths) {
            if (len > m.size()) break;
            for (std::size_t at = 0; at + len <= m.size(); ++at) {
                auto it = open.find(m.substr(at, len));
                if (it == open.end()) continue;
                found.emplace(*it, &contact);
                open.erase(it);
            }
        }
    }
    return found;
}

// The numbers of contacts added, removed or changed (name or number) between two
// snapshots of the address book, both in ContactID order; a changed contact gives its
// old and its new number.
std::vector<std::string_view> changedNumbers(const Contacts& before, const Contacts& now) {
    std::vector<std::string_view> out;
    auto a = before.begin(), b = now.begin();
    while (a != before.end() || b != now.end()) {
        if (b == now.end() || (a != before.end() && a->id < b->id)) {
            out.push_back((a++)->mobile);
        } else if (a == before.end() || b->id < a->id) {
            out.push_back((b++)->mobile);
        } else {
            if (!(a->name == b->name) || a->mobile != b->mobile) {
                out.push_back(a->mobile);
                out.push_back(b->mobile);
            }
            ++a;
            ++b;
        }
    }
    return out;
}

// The Unknown numbers a changed contact's number could name: under the Inbox's rule
// every part of it, under the Outbox's the number itself. False when there are more
// than kMostLookups.
bool addNumbersOf(const Folder& f, std::string_view mobile, Numbers& numbers) {
    if (!f.holds) {
        numbers.emplace(trimmed(mobile));
        return numbers.size() <= kMostLookups;
    }
    const std::size_t n = mobile.size();
    if (numbers.size() + n * (n + 1) / 2 > kMostLookups) return false;
    for (std::size_t at = 0; at < n; ++at)
        for (std::size_t len = 1; at + len <= n; ++len) numbers.emplace(trimmed(mobile.substr(at, len)));
    return true;
}

// Names the rows in slices, each its own transaction; a row renamed meanwhile keeps its
// name (the statement asks for Name = 'Unknown').
std::int64_t writeNames(db::Connection& c, const std::string& table,
                        const std::vector<std::pair<std::int64_t, db::Value>>& writes) {
    std::int64_t changed = 0;
    const std::string update = "UPDATE " + table + " SET Name = ? WHERE MsgID = ? AND Name = 'Unknown'";
    for (std::size_t from = 0; from < writes.size(); from += kRowsPerTransaction) {
        const std::size_t to = std::min(writes.size(), from + kRowsPerTransaction);
        db::Transaction tx(c);
        db::Statement named(c, update);
        for (std::size_t i = from; i < to; ++i) changed += named.execute({writes[i].second, writes[i].first});
        tx.commit();
    }
    return changed;
}

// Only rows whose number some contact takes can change, and only rows added since the
// last fill-in or rows a changed contact could take can have become such rows. Every
// look-up here is a read: the write lock is taken only for the rows to name.
std::int64_t fill(db::Connection& c, const Folder& f, UnknownNamesSeen& seen) {
    const std::string table = f.table;
    // The top identifier first: rows added later have higher ones and wait for the next load.
    const std::int64_t top = c.scalar("SELECT max(MsgID) FROM " + table)->asInt();
    Contacts contacts;
    db::Statement(c, "SELECT ContactID, Name, Mobile FROM AddressBook ORDER BY ContactID")
        .each({}, [&](const std::vector<db::Value>& r) {
            contacts.push_back({r[0].asInt(), r[1], r[2].asText()});
            return true;
        });

    // Unknown numbers to look at, without trailing blanks (a number stands for every row
    // whose number equals it as the column compares).
    Numbers numbers;
    bool everyNumber = seen.path != c.path() || top < seen.lastMsgId;
    if (!everyNumber) {
        for (std::string_view m : changedNumbers(seen.contacts, contacts))
            if (!addNumbersOf(f, m, numbers)) {
                everyNumber = true;
                break;
            }
    }
    if (everyNumber) {
        numbers.clear();
        // Named, or the planner would take the index on Name and read a row per number.
        // A file without it (not upgraded yet) is read the slow way.
        const std::string distinct = "SELECT DISTINCT Mobile FROM " + table;
        const std::string unknown = " WHERE Name = 'Unknown'";
        db::Statement list;
        try {
            list.prepare(c, distinct + " INDEXED BY " + table + "UnknownMobile" + unknown);
        } catch (const db::DbError&) {
            list.prepare(c, distinct + unknown);
        }
        list.each({}, [&](const std::vector<db::Value>& r) {
            numbers.emplace(trimmed(r[0].asText()));
            return true;
        });
    } else {
        // "+" keeps the planner on the identifiers, which only the new rows pass.
        db::Statement(c, "SELECT Mobile FROM " + table + " WHERE MsgID > ? AND MsgID <= ? AND +Name = 'Unknown'")
            .each({seen.lastMsgId, top}, [&](const std::vector<db::Value>& r) {
                numbers.emplace(trimmed(r[0].asText()));
                return true;
            });
    }

    // The rows behind the numbers, through the index of Unknown rows: every number when
    // few were asked for (each a look-up), else only those some contact takes (every
    // Unknown number of the folder: most are in no contact). Then each row's own number
    // decides, as it is written.
    std::vector<std::pair<std::int64_t, std::string>> rows;
    Numbers written;
    db::Statement unknownRows(c, "SELECT MsgID, Mobile FROM " + table + " WHERE Name = 'Unknown' AND Mobile = ?");
    auto rowsOf = [&](std::string_view number) {
        unknownRows.each({std::string(number)}, [&](const std::vector<db::Value>& r) {
            std::string mobile = r[1].asText();
            if (mobile.empty()) return true;  // an empty number matches nobody
            written.insert(mobile);
            rows.emplace_back(r[0].asInt(), std::move(mobile));
            return true;
        });
    };
    if (everyNumber) {
        for (const auto& taken : firstContacts(f, contacts, numbers)) rowsOf(taken.first);
    } else {
        for (const std::string& number : numbers) rowsOf(number);
    }
    const auto names = firstContacts(f, contacts, written);
    std::vector<std::pair<std::int64_t, db::Value>> writes;
    for (const auto& [id, mobile] : rows)
        if (auto it = names.find(mobile); it != names.end()) writes.emplace_back(id, it->second->name);
    std::sort(writes.begin(), writes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::int64_t named = writeNames(c, table, writes);

    seen.path = c.path();
    seen.lastMsgId = top;
    seen.contacts = std::move(contacts);
    return named;
}

}  // namespace

std::int64_t FillUnknownInboxNames(db::Connection& c, UnknownNamesSeen& seen) { return fill(c, kInbox, seen); }
std::int64_t FillUnknownOutboxNames(db::Connection& c, UnknownNamesSeen& seen) { return fill(c, kOutbox, seen); }

std::int64_t FillUnknownInboxNames(db::Connection& c) {
    UnknownNamesSeen fresh;
    return FillUnknownInboxNames(c, fresh);
}

std::int64_t FillUnknownOutboxNames(db::Connection& c) {
    UnknownNamesSeen fresh;
    return FillUnknownOutboxNames(c, fresh);
}

}  // namespace parlix::console
