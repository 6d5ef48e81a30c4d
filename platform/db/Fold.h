// Case-insensitive text search in every script, for filters and searches.
//
// SQLite's LIKE and lower() only know ASCII letters; these fold each character with
// Unicode's simple case folding (ICU), so "ä" finds "Äpfel" and "σ" finds "ΣΟΦΙΑ".
// Every connection opened by db::Connection has the SQL function
//   contains_folded(text, needle)   1 when folded text holds folded needle, else 0
//                                   (NULL text gives NULL)
// which Criteria::contains renders; values stay bound parameters.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace parlix::db {

// The text with every character case-folded (UTF-8 in and out; malformed bytes are
// kept as they are).
std::string FoldCase(std::string_view utf8);

// True when FoldCase(text) contains `foldedNeedle` (already folded).
bool ContainsFolded(std::string_view text, std::string_view foldedNeedle);

// Registers contains_folded() on a connection; false when SQLite refused it.
bool RegisterFoldFunctions(sqlite3* db);

}  // namespace parlix::db
