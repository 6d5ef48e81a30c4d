#include "engine/EngineText.h"

#include "engine/GeneralDate.h"

#include <limits>

namespace parlix::engine {

std::string StatusEntry(std::chrono::system_clock::time_point when, const std::string& message,
                        const std::vector<std::string>& details, bool extraBreak) {
    std::string entry = GeneralDate(when) + " Status : " + message;
    for (const auto& d : details) entry += "\r\n" + d;
    entry += extraBreak ? "\r\n\r\n\r\n" : "\r\n\r\n";
    return entry;
}

std::size_t TextLength(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string KeepNewestEntries(const std::string& text, std::size_t limit) {
    if (TextLength(text) <= limit) return text;
    static const std::string kEntryEnd = "\r\n\r\n";
    std::size_t keep = text.find(kEntryEnd);
    if (keep == std::string::npos) return text;
    keep += kEntryEnd.size();
    // Extra breaks behind an entry belong to it.
    while (text.compare(keep, 2, "\r\n") == 0) keep += 2;
    for (std::size_t next = text.find(kEntryEnd, keep); next != std::string::npos; next = text.find(kEntryEnd, keep)) {
        std::size_t end = next + kEntryEnd.size();
        while (text.compare(end, 2, "\r\n") == 0) end += 2;
        if (TextLength(text.substr(0, end)) > limit) break;
        keep = end;
    }
    return text.substr(0, keep);
}

OperatorDisplay OperatorOf(const std::string& sim) {
    static const struct {
        const char* prefix;
        const char* label;
        Operator logo;
    } table[] = {
        {"012", "Maxis", Operator::Maxis},  {"019", "Celcom", Operator::Celcom}, {"013", "TMTouch", Operator::TMTouch},
        {"016", "Digi", Operator::Digi},    {"014", "Digi", Operator::Digi},     {"017", "Hotlink", Operator::Hotlink},
    };
    for (const auto& row : table)
        if (sim.rfind(row.prefix, 0) == 0) return {row.label, row.logo};
    return {"", Operator::None};
}

std::string RoutingText(const RouteFlags& flags) {
    // Shown in numeric order although the slots are in another order.
    static const std::array<std::pair<const char*, int>, 6> shown = {
        {{"012", 0}, {"013", 3}, {"014", 5}, {"016", 1}, {"017", 4}, {"019", 2}}};
    std::string text;
    for (const auto& [prefix, slot] : shown) {
        if (!flags[static_cast<std::size_t>(slot)]) continue;
        if (!text.empty()) text += ",";
        text += prefix;
    }
    return text.empty() ? "All" : text;
}

std::string DirectionText(int direction) {
    switch (direction) {
    case 0: return "Direction: 2 ways - read and send";
    case 1: return "Direction: 1 way - read only";
    case 2: return "Direction: 1 way - send only";
    default: return "";
    }
}

std::string SentLabel(std::int16_t n) { return "Sent: " + std::to_string(n); }
std::string InLabel(std::int16_t n) { return "In: " + std::to_string(n); }
std::string FailLabel(std::int16_t n) { return "Fail: " + std::to_string(n); }

void Increment(std::int16_t& counter) {
    if (counter < std::numeric_limits<std::int16_t>::max()) ++counter;
}

}  // namespace parlix::engine
