// Names for messages whose number was not in the address book ("Unknown").
#pragma once

#include <cstdint>

#include "platform/db/Connection.h"

namespace parlix::console {

// Inbox: each "Unknown" row with a number gets the name of the first contact (lowest
// ContactID) whose mobile holds that number literally anywhere within it. All rows are
// matched in memory in one pass and written in short transactions of 2,000 rows; a row
// the engine renamed meanwhile keeps its name. Returns the rows named.
std::int64_t FillUnknownInboxNames(db::Connection& c);

// Outbox: the same with an exactly equal mobile, matched by one read (no write lock
// while the Unknown rows are looked up), written as the Inbox's.
std::int64_t FillUnknownOutboxNames(db::Connection& c);

}  // namespace parlix::console
