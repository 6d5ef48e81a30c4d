// Texts the engine shows: status entries, operator by SIM prefix, routing and
// direction panels, counter labels.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace parlix::engine {

// One entry of the activity box: date and time, " Status : " and the message, each
// detail on a line of its own, then two line breaks (three where `extraBreak`).
std::string StatusEntry(std::chrono::system_clock::time_point when, const std::string& message,
                        const std::vector<std::string>& details = {}, bool extraBreak = false);

// Characters (not bytes) of a UTF-8 text, as the activity box counts them.
std::size_t TextLength(const std::string& utf8);

// The activity box held to `limit` characters by dropping its oldest entries (at the
// bottom), never the newest one: what fits of the newest entries, cut at the blank
// line that ends an entry. A text within the limit, or one that is all one entry,
// stays as it is.
std::string KeepNewestEntries(const std::string& text, std::size_t limit);

enum class Operator { None, Maxis, Celcom, TMTouch, Digi, Hotlink };

struct OperatorDisplay {
    std::string label;  // lblTelco
    Operator logo;      // the only logo shown
};

// The operator of a SIM number by its prefix, tested in the order 012, 019, 013, 016,
// 014, 017; no match gives an empty label and no logo.
OperatorDisplay OperatorOf(const std::string& simNumber);

// Route flags of the Modem row in slot order of RoutePrefixes: 012, 016, 019, 013, 017, 014.
inline constexpr std::array<const char*, 6> kRouteSlots = {"012", "016", "019", "013", "017", "014"};
using RouteFlags = std::array<bool, 6>;

// "012,016" style text in the order 012, 013, 014, 016, 017, 019; "All" when no flag is set.
std::string RoutingText(const RouteFlags& flags);

// Status-bar text for a direction; empty for a value outside 0..2.
std::string DirectionText(int direction);

// Counter labels.
std::string SentLabel(std::int16_t n);
std::string InLabel(std::int16_t n);
std::string FailLabel(std::int16_t n);

// Counters stop at their largest value instead of overflowing.
void Increment(std::int16_t& counter);

}  // namespace parlix::engine
