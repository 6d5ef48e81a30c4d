#include "engine/WorkRules.h"

#include "engine/EngineText.h"
#include "database/Schema.h"
#include "pdu/Helpers.h"
#include "platform/clock/Clock.h"
#include "platform/text/Text.h"

#include <random>

namespace parlix::engine {

SendKind KindOf(int msgType, const std::string& text) {
    if (msgType == 0) return SendKind::Unicode;
    // What fits one message is counted in septets: "€" and "{" take two.
    return GSM::SeptetCount(text::toUtf16(text)) > 160 ? SendKind::Long : SendKind::Single;
}

std::string CannotBeSent(const std::string& number, const std::string& text) {
    if (text.empty()) return "the message is empty";
    if (number.empty() || number == "+") return "the number is empty";
    if (number.find_first_not_of("0123456789", number[0] == '+' ? 1 : 0) != std::string::npos)
        return "the number is not digits";
    return {};
}

std::string DueRowsSql(const std::array<std::string, 7>& prefixes, bool routed, const std::string& moment,
                       db::Params& params) {
    params.clear();
    params.emplace_back(moment);
    if (!routed) return schema::kDueRowsSql;
    std::string filter;
    for (const auto& prefix : prefixes) {
        if (prefix.empty()) continue;
        filter += filter.empty() ? "Mobile LIKE ?" : " OR Mobile LIKE ?";
        params.emplace_back(prefix + "%");
    }
    if (filter.empty()) return schema::kDueRowsSql;
    return std::string(schema::kDueRowsRoutedSqlHead) + " AND (" + filter + ")" + schema::kDueRowsOrder;
}

std::int64_t ReferenceValue(const std::string& reference) {
    std::size_t i = 0;
    while (i < reference.size() && (reference[i] == ' ' || reference[i] == '\t')) ++i;
    std::int64_t value = 0;
    for (; i < reference.size() && reference[i] >= '0' && reference[i] <= '9'; ++i) {
        value = value * 10 + (reference[i] - '0');
        if (value > 0x7fffffff) return 0;  // no reference is that long
    }
    return value;
}

std::string LastChars(const std::string& utf8, std::size_t n) {
    std::size_t pos = utf8.size();
    for (std::size_t count = 0; count < n && pos > 0;) {
        --pos;
        if ((static_cast<unsigned char>(utf8[pos]) & 0xC0) != 0x80) ++count;
    }
    return utf8.substr(pos);
}

int ConcatReference() {
    std::mt19937 generator(static_cast<std::mt19937::result_type>(clock::now().time_since_epoch().count()));
    return std::uniform_int_distribution<int>(0, 254)(generator);
}

}  // namespace parlix::engine
