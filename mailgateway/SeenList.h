// The identifiers of the e-mails already handled, kept per mailbox (server, port and
// user) in "alreadySeenUidls.txt". An identifier is forgotten only once its server has
// not listed it for kForgetAfterDays, so reading another mailbox for a while, or a
// server that lists nothing for a moment, never makes old e-mails look new.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace parlix::gateway {

class SeenList {
public:
    static constexpr int kForgetAfterDays = 30;

    // Days are counted from 1970-01-01 in local time.
    static int Today();

    // Takes in the entries of a saved list. A list in the older form (identifiers only)
    // belongs to `mailbox` and counts as listed `today`. Entries already held are kept,
    // with the later of the two days.
    void Merge(const std::vector<std::string>& entries, const std::string& mailbox, int today);
    // The list in its saved form.
    std::vector<std::string> Entries() const;

    bool Contains(const std::string& mailbox, const std::string& uidl) const;
    // The server of `mailbox` listed these identifiers today: those held are marked
    // listed; those held but not listed for more than kForgetAfterDays are forgotten.
    // True when anything changed.
    bool Listed(const std::string& mailbox, const std::vector<std::string>& uidls, int today);
    void Add(const std::string& mailbox, const std::string& uidl, int today);
    std::size_t Count(const std::string& mailbox) const;
    void Clear() { boxes_.clear(); }

private:
    std::unordered_map<std::string, std::unordered_map<std::string, int>> boxes_;
};

}  // namespace parlix::gateway
