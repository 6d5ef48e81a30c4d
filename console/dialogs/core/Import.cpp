#include "console/dialogs/core/Import.h"

#include <algorithm>
#include <unordered_set>

#include "platform/db/Statement.h"

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

std::string insertSql(std::size_t rows) {
    std::string s = "INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ";
    for (std::size_t i = 0; i < rows; ++i) s += i ? ",(?,?,?)" : "(?,?,?)";
    return s;
}

}  // namespace

ImportCounts ImportContacts(db::Connection& c, const std::vector<ImportContact>& contacts, bool allowDuplicates,
                            const std::optional<std::string>& group) {
    ImportCounts counts;
    c.begin();
    try {
        std::vector<const ImportContact*> keep;
        keep.reserve(contacts.size());
        std::unordered_set<std::string> seen;
        // One look-up per number through the index on Mobile; inside the transaction.
        db::Statement known(c, "SELECT 1 FROM AddressBook WHERE Mobile = ?");
        for (const auto& k : contacts) {
            if (k.mobile.empty()) {
                ++counts.blankNumbers;
            } else if (!allowDuplicates && (seen.count(k.mobile) || known.exists({k.mobile}))) {
                ++counts.duplicates;
            } else {
                if (!allowDuplicates) seen.insert(k.mobile);
                keep.push_back(&k);
            }
        }
        // New contacts get keys above every key used so far (AUTOINCREMENT), so the
        // memberships can be added by one statement over exactly this import's rows.
        const auto lastKey = c.scalar(
                                  "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'AddressBook'), 0),"
                                  " coalesce((SELECT max(ContactID) FROM AddressBook), 0))")
                                 ->asInt();
        db::Statement full(c, insertSql(kBatch));
        for (std::size_t at = 0; at < keep.size(); at += kBatch) {
            const std::size_t n = std::min(kBatch, keep.size() - at);
            db::Params p;
            p.reserve(n * 3);
            for (std::size_t i = at; i < at + n; ++i) {
                p.emplace_back(keep[i]->name);
                p.emplace_back(keep[i]->mobile);
                p.emplace_back(keep[i]->company);
            }
            if (n == kBatch)
                full.execute(p);
            else
                c.execute(insertSql(n), p);
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
