#include "console/dialogs/core/Import.h"

#include <algorithm>
#include <unordered_set>

namespace parlix::console {

std::string CleanMobile(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (char ch : raw)
        if (ch != '-' && ch != ' ') out += ch;
    return out;
}

std::vector<ImportContact> ContactsFromSheet(const workbook::Sheet& sheet, bool hasHeadings, SheetShape& shape) {
    std::vector<ImportContact> out;
    const std::size_t first = hasHeadings && !sheet.rows.empty() ? 1 : 0;
    if (sheet.rows.size() <= first) {
        shape = SheetShape::NoRecords;
        return out;
    }
    if (sheet.columns < 3) {
        shape = SheetShape::TooFewColumns;
        return out;
    }
    shape = SheetShape::Ok;
    out.reserve(sheet.rows.size() - first);
    for (std::size_t i = first; i < sheet.rows.size(); ++i) {
        const auto& cells = sheet.rows[i].cells;
        auto cell = [&](std::size_t k) { return k < cells.size() ? cells[k] : std::string(); };
        out.push_back({cell(0), CleanMobile(cell(1)), cell(2), sheet.rows[i].number});
    }
    return out;
}

namespace {

// SQLite of this database takes at most 999 values per statement.
constexpr std::size_t kBatch = 300;

std::string placeholders(std::size_t rows, const char* one) {
    std::string s;
    for (std::size_t i = 0; i < rows; ++i) s += (i ? "," : "") + std::string(one);
    return s;
}

// Numbers of `mobiles` already in the address book, looked up by the index on Mobile.
std::unordered_set<std::string> knownNumbers(db::Connection& c, const std::vector<std::string>& mobiles) {
    std::unordered_set<std::string> known;
    for (std::size_t at = 0; at < mobiles.size(); at += kBatch * 3) {
        const std::size_t n = std::min(kBatch * 3, mobiles.size() - at);
        db::Params p(mobiles.begin() + static_cast<std::ptrdiff_t>(at),
                     mobiles.begin() + static_cast<std::ptrdiff_t>(at + n));
        for (const auto& row :
             c.query("SELECT Mobile FROM AddressBook WHERE Mobile IN (" + placeholders(n, "?") + ")", p))
            known.insert(row[0].asText());
    }
    return known;
}

}  // namespace

ImportCounts ImportContacts(db::Connection& c, const std::vector<ImportContact>& contacts, bool allowDuplicates,
                            const std::optional<std::string>& group) {
    ImportCounts counts;
    c.begin();
    try {
        std::vector<const ImportContact*> keep;
        keep.reserve(contacts.size());
        std::unordered_set<std::string> known, seen;
        if (!allowDuplicates) {
            std::vector<std::string> mobiles;
            mobiles.reserve(contacts.size());
            for (const auto& k : contacts)
                if (!k.mobile.empty()) mobiles.push_back(k.mobile);
            known = knownNumbers(c, mobiles);
        }
        for (const auto& k : contacts) {
            if (k.mobile.empty()) {
                ++counts.blankNumbers;
            } else if (!allowDuplicates && (known.count(k.mobile) || !seen.insert(k.mobile).second)) {
                ++counts.duplicates;
            } else {
                keep.push_back(&k);
            }
        }
        // New contacts get keys above every key used so far (AUTOINCREMENT), so the
        // memberships can be added by one statement over exactly this import's rows.
        const auto lastKey = c.scalar(
                                  "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'AddressBook'), 0),"
                                  " coalesce((SELECT max(ContactID) FROM AddressBook), 0))")
                                 ->asInt();
        for (std::size_t at = 0; at < keep.size(); at += kBatch) {
            const std::size_t n = std::min(kBatch, keep.size() - at);
            db::Params p;
            p.reserve(n * 3);
            for (std::size_t i = at; i < at + n; ++i) {
                p.emplace_back(keep[i]->name);
                p.emplace_back(keep[i]->mobile);
                p.emplace_back(keep[i]->company);
            }
            c.execute("INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES " + placeholders(n, "(?,?,?)"), p);
        }
        if (group && !keep.empty())
            c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) "
                      "SELECT ?, ContactID, Mobile FROM AddressBook WHERE ContactID > ? ORDER BY ContactID",
                      {*group, lastKey});
        counts.imported = static_cast<std::int64_t>(keep.size());
        c.commit();
    } catch (...) {
        try {
            c.rollback();
        } catch (...) {
            // the connection itself failed; nothing is left to roll back
        }
        throw;
    }
    return counts;
}

}  // namespace parlix::console
