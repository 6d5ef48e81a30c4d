// Resend of failed messages and the per-modem billing report (window-less).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/currency/Currency.h"
#include "platform/db/Connection.h"

namespace parlix::console {

// Puts every "F" row back to "P" with ModemID 0; nothing else of a row changes. Rows
// are changed by one statement per chunk, each chunk its own short transaction, so an
// engine never waits long for the lock however many rows there are. A row an engine
// changed meanwhile is simply not counted. Returns the rows changed.
std::int64_t ResendFailed(db::Connection& db,
                          std::chrono::milliseconds lockBudget = std::chrono::milliseconds(300));

// The modem identifier the user typed: a whole number, nothing else ("abc" is no
// number at all; "1.5" and "1e3" are numbers but no identifier).
enum class ModemAnswer { Empty, NotNumeric, NotWhole, Ok };
ModemAnswer ParseModemAnswer(const std::string& typed, std::int64_t& id);

// The network of a modem number by its prefix; "" for none of the known ones.
std::string NetworkPrefix(const std::string& modemNumber);

struct Billing {
    bool modemFound = false;
    std::string modemNumber;
    std::optional<Currency> rate1, rate2;  // nullopt: Null or 0
    std::int64_t total = 0;                // messages the modem sent ("S")
    std::int64_t intra = 0;                // of those, to its own network
    std::string network;                   // "012", "013", ... or "" (no report)
    Currency amount;
    std::string title;                     // the report box's title
};

// Reads the modem's row and counts its sent messages (two counts in one pass). A rate
// that is no currency value throws.
Billing BillModem(db::Connection& db, std::int64_t modemId);

}  // namespace parlix::console
