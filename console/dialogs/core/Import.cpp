#include "console/dialogs/core/Import.h"

#include <algorithm>
#include <unordered_set>

#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

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

const db::DbError* asDbError(const std::exception& e) { return dynamic_cast<const db::DbError*>(&e); }

}  // namespace

ImportError::ImportError(const std::exception& cause, ImportCounts done, std::int64_t stayed)
    : db::DbError(cause.what(), asDbError(cause) ? asDbError(cause)->number() : 0,
                  asDbError(cause) ? asDbError(cause)->sqliteCode() : 0),
      done(done),
      stayed(stayed) {}

namespace {

// SQLite of this database takes at most 999 values per statement.
constexpr std::size_t kBatch = 300;

std::string insertSql(std::size_t rows) {
    std::string s = "INSERT INTO AddressBook (Name, Mobile, CompanyName) VALUES ";
    for (std::size_t i = 0; i < rows; ++i) s += i ? ",(?,?,?)" : "(?,?,?)";
    return s;
}

// The contacts one committed transaction added: its keys were taken while it held the
// write lock, so nobody else's rows are among them.
struct KeyRange {
    std::int64_t first = 0, last = 0;
    std::int64_t size() const { return last - first + 1; }
};

// Deletes the contacts of `added` and every membership of theirs, newest first, a
// slice of keys per statement pair, committing whenever a transaction has lasted
// `budget`. Returns how many of the contacts are still there when it must stop.
std::int64_t TakeOut(db::Connection& c, std::vector<KeyRange> added, std::chrono::milliseconds budget) noexcept {
    constexpr std::int64_t kSlice = 2000;
    try {
        while (!added.empty()) {
            std::vector<KeyRange> left = added;  // what stays if this transaction commits
            db::Transaction tx(c);
            const auto started = std::chrono::steady_clock::now();
            do {
                KeyRange& r = left.back();
                const std::int64_t from = std::max(r.first, r.last - kSlice + 1);
                c.execute("DELETE FROM Groups WHERE ContactID BETWEEN ? AND ?", {from, r.last});
                c.execute("DELETE FROM AddressBook WHERE ContactID BETWEEN ? AND ?", {from, r.last});
                r.last = from - 1;
                if (r.size() <= 0) left.pop_back();
            } while (!left.empty() && std::chrono::steady_clock::now() - started < budget);
            tx.commit();
            added = std::move(left);
        }
    } catch (...) {
        // The caller reports how many stayed; the cause it logs is the import's own.
    }
    std::int64_t stayed = 0;
    for (const KeyRange& r : added) stayed += r.size();
    return stayed;
}

}  // namespace

ImportCounts ImportContacts(db::Connection& c, const std::vector<ImportContact>& contacts, bool allowDuplicates,
                            const std::optional<std::string>& group, std::chrono::milliseconds budget) {
    ImportCounts done;  // committed only
    std::vector<KeyRange> added;
    std::unordered_set<std::string> seen;
    std::size_t next = 0;
    try {
        db::Statement known(c, "SELECT 1 FROM AddressBook WHERE Mobile = ?");
        db::Statement full(c, insertSql(kBatch));
        while (next < contacts.size()) {
            db::Transaction tx(c);
            const auto started = std::chrono::steady_clock::now();
            ImportCounts chunk;
            // New contacts get keys above every key used so far (AUTOINCREMENT), so the
            // memberships can be added by one statement over exactly this chunk's rows.
            const auto lastKey =
                c.scalar("SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'AddressBook'), 0),"
                         " coalesce((SELECT max(ContactID) FROM AddressBook), 0))")
                    ->asInt();
            std::vector<const ImportContact*> keep;
            keep.reserve(kBatch);
            auto flush = [&] {
                if (keep.empty()) return;
                db::Params p;
                p.reserve(keep.size() * 3);
                for (const ImportContact* k : keep) {
                    p.emplace_back(k->name);
                    p.emplace_back(k->mobile);
                    p.emplace_back(k->company);
                }
                if (keep.size() == kBatch) full.execute(p);
                else c.execute(insertSql(keep.size()), p);
                chunk.imported += static_cast<std::int64_t>(keep.size());
                keep.clear();
            };
            while (next < contacts.size()) {
                const ImportContact& k = contacts[next++];
                // Duplicates looked up through the index on Mobile, inside the transaction.
                if (k.mobile.empty()) {
                    ++chunk.blankNumbers;
                } else if (!allowDuplicates && (seen.count(k.mobile) || known.exists({k.mobile}))) {
                    ++chunk.duplicates;
                } else {
                    if (!allowDuplicates) seen.insert(k.mobile);
                    keep.push_back(&k);
                }
                if (keep.size() == kBatch) {
                    flush();
                    if (std::chrono::steady_clock::now() - started >= budget) break;
                }
            }
            flush();
            KeyRange keys{lastKey + 1, lastKey};
            if (chunk.imported > 0) {
                keys.last = c.scalar("SELECT max(ContactID) FROM AddressBook")->asInt();
                if (group)
                    c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) SELECT ?, ContactID, Mobile "
                              "FROM AddressBook WHERE ContactID BETWEEN ? AND ? ORDER BY ContactID",
                              {*group, keys.first, keys.last});
            }
            added.reserve(added.size() + 1);  // nothing may fail between the commit and its record
            tx.commit();
            if (keys.size() > 0) added.push_back(keys);
            done.imported += chunk.imported;
            done.duplicates += chunk.duplicates;
            done.blankNumbers += chunk.blankNumbers;
        }
    } catch (const std::exception& e) {
        throw ImportError(e, done, TakeOut(c, std::move(added), budget));
    }
    return done;
}

}  // namespace parlix::console
