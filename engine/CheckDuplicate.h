// Module CheckDuplicate: the claim of a due Outbox row, which also decides whether the
// row duplicates another message to the same number.
#pragma once

#include "platform/db/Connection.h"

#include <cstdint>
#include <string>

namespace parlix::engine {

enum class ClaimResult {
    Lost,       // another engine holds or finished the row, or it is gone
    Claimed,    // Lock set, ModemID this engine: the row is this engine's to send
    Duplicate,  // marked "D" (Lock cleared, ModemID this engine): not to be sent
};

// Claims row `id` in one statement, so that the duplicate rule holds however many
// engines work on the queue: the row is a duplicate when a row with the same Subject
// and Mobile was sent or given up ("S", "F"), or is still queued ("P", "R"), due at
// `moment` and ahead of it in the queue (earlier DateTimeQueue, or the same and a
// lower MsgID), wherever it is held. Of twins, the first in the queue goes.
// `status` receives the row's SentStatus as the claim left it.
ClaimResult ClaimRow(db::Connection& connection, std::int64_t id, const std::string& moment, std::string& status);

}  // namespace parlix::engine
