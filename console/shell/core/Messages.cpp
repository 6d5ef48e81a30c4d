#include "console/shell/core/Messages.h"

#include <algorithm>
#include <stdexcept>

#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

namespace {

using Clock = std::chrono::steady_clock;

// The same-network prefixes of each modem network, as the billing table lists them.
struct Network {
    const char* modem;
    std::vector<const char*> peers;
};
const std::vector<Network>& networks() {
    static const std::vector<Network> n = {{"012", {"012", "017"}},
                                           {"013", {"013", "019"}},
                                           {"016", {"016"}},
                                           {"017", {"017", "012"}},
                                           {"019", {"019", "013"}}};
    return n;
}

std::optional<Currency> rate(const db::Value& v) {
    if (v.isNull()) return std::nullopt;
    // A REAL column gives small rates back as "1e-05": read the number, not the text.
    auto c = Currency::fromNumber(v.asText());
    if (!c) throw std::runtime_error("rate \"" + v.asText() + "\" is no currency value");
    if (c->isZero()) return std::nullopt;
    return c;
}

}  // namespace

std::int64_t ResendFailed(db::Connection& db, std::chrono::milliseconds lockBudget) {
    db::Statement chunk(db,
                        "UPDATE Outbox SET SentStatus = 'P', ModemID = 0 WHERE MsgID IN "
                        "(SELECT MsgID FROM Outbox WHERE SentStatus = 'F' LIMIT ?)");
    std::int64_t total = 0, size = 2000;
    for (;;) {
        const auto start = Clock::now();
        db::Transaction tx(db);
        const std::int64_t n = chunk.execute({static_cast<long long>(size)});
        tx.commit();
        total += n;
        if (n < size) return total;
        // Next chunk sized so the lock is held about the budget.
        const auto took = std::max<std::int64_t>(
            1, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
        const std::int64_t budget = std::chrono::duration_cast<std::chrono::microseconds>(lockBudget).count();
        size = std::clamp<std::int64_t>(size * budget / took, 100, 200000);
    }
}

ModemAnswer ParseModemAnswer(const std::string& typed, std::int64_t& id) {
    std::string s = typed;
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1);
    if (s.empty()) return ModemAnswer::Empty;
    bool digitsOnly = true;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!(s[i] >= '0' && s[i] <= '9') && !(i == 0 && (s[i] == '-' || s[i] == '+'))) digitsOnly = false;
    if (digitsOnly && s.find_first_of("0123456789") != std::string::npos) {
        try {
            std::size_t used = 0;
            id = std::stoll(s, &used);
            if (used == s.size()) return ModemAnswer::Ok;
        } catch (const std::out_of_range&) {
            return ModemAnswer::NotWhole;
        }
    }
    // Numeric in the usual sense (decimals, exponent) but no identifier.
    try {
        std::size_t used = 0;
        (void)std::stod(s, &used);
        if (used == s.size()) return ModemAnswer::NotWhole;
    } catch (const std::exception&) {
    }
    return ModemAnswer::NotNumeric;
}

std::string NetworkPrefix(const std::string& modemNumber) {
    for (const Network& n : networks())
        if (modemNumber.rfind(n.modem, 0) == 0) return n.modem;
    return {};
}

Billing BillModem(db::Connection& db, std::int64_t modemId) {
    Billing b;
    auto row = db.query("SELECT ModemNumber, Rate1, Rate2 FROM Modem WHERE ModemID = ?",
                        {static_cast<long long>(modemId)});
    if (row.empty()) return b;
    b.modemFound = true;
    b.modemNumber = row[0][0].asText();
    b.rate1 = rate(row[0][1]);
    b.rate2 = rate(row[0][2]);
    b.network = NetworkPrefix(b.modemNumber);
    // Without both rates or a known network there is no report: nothing to count.
    if (!b.rate1 || !b.rate2 || b.network.empty()) return b;
    std::string same = "0";
    db::Params p{static_cast<long long>(modemId)};
    for (const Network& n : networks())
        if (b.network == n.modem)
            for (const char* peer : n.peers) {
                same += " OR Mobile LIKE ?";
                p.emplace_back(std::string(peer) + "%");
            }
    // One pass over the modem's sent rows: the total and those to its own network.
    const auto counts = db.query("SELECT count(*), coalesce(sum(CASE WHEN " + same +
                                     " THEN 1 ELSE 0 END), 0) FROM Outbox WHERE SentStatus = 'S' AND Modem = ?",
                                 [&] {
                                     db::Params q(p.begin() + 1, p.end());
                                     q.push_back(p.front());
                                     return q;
                                 }());
    b.total = counts[0][0].asInt();
    b.intra = counts[0][1].asInt();
    b.amount = b.intra < 1 ? *b.rate2 * b.total : *b.rate1 * b.intra + *b.rate2 * (b.total - b.intra);
    b.title = b.network == "013" && b.intra < 1 ? "Razudirediz Eziridu - SMS billing report"
                                                 : "Vovivaded Ezovaro - SMS billing report";
    return b;
}

}  // namespace parlix::console
