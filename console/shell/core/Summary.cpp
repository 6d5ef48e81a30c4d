#include "console/shell/core/Summary.h"

namespace parlix::console {

OutboxCounts CountOutbox(db::Connection& c) {
    OutboxCounts n;
    for (const auto& row :
         c.query("SELECT SentStatus, DeliveryStatus, count(*) FROM Outbox GROUP BY SentStatus, DeliveryStatus")) {
        // The status columns compare without trailing blanks, as in the database.
        auto code = [](std::string t) { return t.erase(t.find_last_not_of(' ') + 1); };
        const std::string sent = code(row[0].asText()), delivery = code(row[1].asText());
        const std::int64_t k = row[2].asInt();
        if (sent == "P" || sent == "R") n.queued += k;
        if (sent == "S" || sent == "F" || sent == "D") n.processed += k;
        if (sent == "S") {
            n.sent += k;
            if (delivery == "D") n.delivered += k;
            if (delivery == "F" || delivery == "U") n.undelivered += k;
        }
        if (sent == "F") n.failed += k;
        if (sent == "D") n.duplicate += k;
    }
    return n;
}

}  // namespace parlix::console
