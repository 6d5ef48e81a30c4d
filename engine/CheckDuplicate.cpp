#include "engine/CheckDuplicate.h"

#include "engine/EngineGlobals.h"

#define PARLIX_TWIN_AHEAD                                                                             \
    "EXISTS (SELECT 1 FROM Outbox AS t WHERE t.Subject = Outbox.Subject AND t.Mobile = Outbox.Mobile " \
    "AND t.MsgID <> Outbox.MsgID AND (t.SentStatus IN ('S','F') OR (t.SentStatus IN ('P','R') "        \
    "AND t.DateTimeQueue <= ?3 AND (t.DateTimeQueue < Outbox.DateTimeQueue "                           \
    "OR (t.DateTimeQueue = Outbox.DateTimeQueue AND t.MsgID < Outbox.MsgID)))))"

namespace parlix::engine {
namespace {

// Both CASEs see the row and its twins as they were before the statement.
constexpr const char* kClaimSql =
    "UPDATE Outbox SET ModemID = ?1, "
    "Lock = CASE WHEN " PARLIX_TWIN_AHEAD " THEN 0 ELSE 1 END, "
    "SentStatus = CASE WHEN " PARLIX_TWIN_AHEAD " THEN 'D' ELSE SentStatus END "
    "WHERE MsgID = ?2 AND (Lock IS NULL OR Lock = 0) AND SentStatus IN ('P','R')";

}  // namespace

ClaimResult ClaimRow(db::Connection& connection, std::int64_t id, const std::string& moment, std::string& status) {
    const db::Value key(static_cast<long long>(id));
    if (connection.execute(kClaimSql, {EngineModemID, key, moment}) != 1) return ClaimResult::Lost;
    // The row is this engine's now (or final): nobody else changes it meanwhile.
    const auto now = connection.scalar("SELECT SentStatus FROM Outbox WHERE MsgID = ?", {key});
    status = now ? now->asText() : std::string();
    return status == "D" ? ClaimResult::Duplicate : ClaimResult::Claimed;
}

}  // namespace parlix::engine

#undef PARLIX_TWIN_AHEAD
