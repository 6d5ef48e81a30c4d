#include "console/dialogs/core/Import.h"

#include "platform/text/Text.h"

#include <algorithm>
#include <unordered_set>

#include "console/shell/core/Deletes.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

namespace parlix::console {

std::string CleanMobile(const std::string& raw) { return text::cleanNumber(raw); }

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

// Takes the contacts of `added` out again with their memberships, by the batched delete
// of the Address Book (short transactions, the lock left free between them). Returns
// how many of them are still there when that fails too.
std::int64_t TakeOut(db::Connection& c, const std::vector<KeyRange>& added, std::chrono::milliseconds budget) noexcept {
    BatchOptions options;
    options.target = budget;
    std::size_t done = 0;
    try {
        for (; done < added.size(); ++done) {
            DeleteScope ours = ContactScope();
            ours.where = "ContactID BETWEEN ? AND ?";
            ours.params = {added[done].first, added[done].last};
            DeleteInBatches(c, ours, ScopeSnapshot(c, ours), {}, options);
        }
        return 0;
    } catch (...) {
        // The caller reports the import's own cause; here only what stayed counts.
    }
    std::int64_t stayed = 0;
    for (std::size_t i = done; i < added.size(); ++i) {
        try {
            stayed += c.scalar("SELECT count(*) FROM AddressBook WHERE ContactID BETWEEN ? AND ?",
                               {added[i].first, added[i].last})
                          ->asInt();
        } catch (...) {
            stayed += added[i].size();  // cannot tell: at most all of them
        }
    }
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
            const auto released = std::chrono::steady_clock::now();
            if (keys.size() > 0) {
                if (!added.empty() && added.back().last + 1 == keys.first) added.back().last = keys.last;
                else added.push_back(keys);
            }
            // An engine waiting for the lock sleeps up to 100 ms between its tries: leave
            // it a gap longer than that, or it may wait out its 5 s behind our transactions.
            if (next < contacts.size()) LeaveLockFree(released);
            done.imported += chunk.imported;
            done.duplicates += chunk.duplicates;
            done.blankNumbers += chunk.blankNumbers;
        }
    } catch (const std::exception& e) {
        throw ImportError(e, done, TakeOut(c, added, budget));
    }
    return done;
}

}  // namespace parlix::console
