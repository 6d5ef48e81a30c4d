#include "platform/db/Fold.h"

#include <sqlite3.h>
#include <string.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <array>

namespace parlix::db {

namespace {

constexpr std::array<char, 128> asciiFold() {
    std::array<char, 128> t{};
    for (int c = 0; c < 128; ++c) t[static_cast<size_t>(c)] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return t;
}
constexpr std::array<char, 128> kAscii = asciiFold();

// Folds `in` into `out` (cleared first). ASCII goes through a table; other characters
// are decoded, folded by ICU and encoded again.
void foldInto(std::string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    const auto* s = reinterpret_cast<const uint8_t*>(in.data());
    const int32_t n = static_cast<int32_t>(in.size());
    int32_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            out += kAscii[s[i++]];
            continue;
        }
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0) {  // malformed: the bytes as they are
            out.append(in.data() + start, static_cast<size_t>(i - start));
            continue;
        }
        uint8_t buf[U8_MAX_LENGTH];
        int32_t len = 0;
        U8_APPEND_UNSAFE(buf, len, u_foldCase(c, U_FOLD_CASE_DEFAULT));
        out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(len));
    }
}

bool holds(std::string_view folded, std::string_view needle) {
    if (needle.empty()) return true;
    return memmem(folded.data(), folded.size(), needle.data(), needle.size()) != nullptr;
}

thread_local std::string scratch;

void freeFolded(void* p) { delete static_cast<std::string*>(p); }

// contains_folded(text, needle): the needle is folded once per statement (kept as the
// argument's auxiliary data), each row's text into a reused buffer.
void containsFolded(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto* needle = static_cast<std::string*>(sqlite3_get_auxdata(ctx, 1));
    if (!needle) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
        needle = new std::string(FoldCase(std::string_view(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(argv[1])))));
        sqlite3_set_auxdata(ctx, 1, needle, freeFolded);
        needle = static_cast<std::string*>(sqlite3_get_auxdata(ctx, 1));
        if (!needle) {  // SQLite could not keep it and freed it already
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const std::string_view text(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    sqlite3_result_int(ctx, ContainsFolded(text, *needle) ? 1 : 0);
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
    std::string out;
    foldInto(utf8, out);
    return out;
}

bool ContainsFolded(std::string_view text, std::string_view foldedNeedle) {
    if (foldedNeedle.empty()) return true;
    foldInto(text, scratch);
    return holds(scratch, foldedNeedle);
}

bool RegisterFoldFunctions(sqlite3* db) {
    return sqlite3_create_function_v2(db, "contains_folded", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                      nullptr, containsFolded, nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace parlix::db
