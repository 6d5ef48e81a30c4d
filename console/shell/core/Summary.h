// The counts of the summary panel that come from the Outbox, read in one pass over the
// (SentStatus, DeliveryStatus) index instead of one count per label.
#pragma once

#include <cstdint>

#include "platform/db/Connection.h"

namespace parlix::console {

struct OutboxCounts {
    std::int64_t queued = 0;       // P, R: the Outbox folder
    std::int64_t processed = 0;    // S, F, D: Sent Items
    std::int64_t sent = 0;         // S
    std::int64_t delivered = 0;    // S with delivery status D
    std::int64_t undelivered = 0;  // S with delivery status F or U
    std::int64_t failed = 0;       // F
    std::int64_t duplicate = 0;    // D
};

OutboxCounts CountOutbox(db::Connection& c);

}  // namespace parlix::console
