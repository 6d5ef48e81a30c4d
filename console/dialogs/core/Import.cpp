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

ImportError::ImportError(const std::exception& cause, ImportCounts done)
    : db::DbError(cause.what(), asDbError(cause) ? asDbError(cause)->number() : 0,
                  asDbError(cause) ? asDbError(cause)->sqliteCode() : 0),
      done(done) {}

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
                            const std::optional<std::string>& group, std::chrono::milliseconds budget) {
    ImportCounts done;  // committed only
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
            if (group && chunk.imported > 0)
                c.execute("INSERT INTO Groups (GroupName, ContactID, Mobile) "
                          "SELECT ?, ContactID, Mobile FROM AddressBook WHERE ContactID > ? ORDER BY ContactID",
                          {*group, lastKey});
            tx.commit();
            done.imported += chunk.imported;
            done.duplicates += chunk.duplicates;
            done.blankNumbers += chunk.blankNumbers;
        }
    } catch (const std::exception& e) {
        throw ImportError(e, done);
    }
    return done;
}

}  // namespace parlix::console
