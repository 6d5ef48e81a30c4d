// Names for messages whose number was not in the address book ("Unknown").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/Connection.h"
#include "platform/db/Value.h"

namespace parlix::console {

// What one folder's last fill-in saw: the highest message identifier of the folder then
// and the address book it matched against. The next fill-in with the same state looks
// only at Unknown rows added since (identifiers only grow) and at the numbers of
// contacts added, changed or removed since; most Unknown numbers are in no contact and
// are never read again. A fresh state (or another file) looks at every Unknown number,
// through the folder's index of Unknown rows.
struct UnknownNamesSeen {
    struct Contact {
        std::int64_t id = 0;
        db::Value name;
        std::string mobile;
    };
    std::string path;                // the file it was taken from; empty: nothing seen
    std::int64_t lastMsgId = 0;      // rows up to here were looked at
    std::vector<Contact> contacts;   // the address book as matched, by ContactID
};

// Inbox: each "Unknown" row with a number gets the name of the first contact (lowest
// ContactID) whose mobile holds that number literally anywhere within it. Rows are
// written in short transactions of 2,000; a row the engine renamed meanwhile keeps its
// name. Returns the rows named.
std::int64_t FillUnknownInboxNames(db::Connection& c, UnknownNamesSeen& seen);
// Outbox: the same with an equal mobile (trailing blanks ignored, as the column compares).
std::int64_t FillUnknownOutboxNames(db::Connection& c, UnknownNamesSeen& seen);

// The same with nothing seen before: every Unknown row is considered.
std::int64_t FillUnknownInboxNames(db::Connection& c);
std::int64_t FillUnknownOutboxNames(db::Connection& c);

}  // namespace parlix::console
