// parlix::logfile - appending to a program's log (error logs, daily logs) so that the
// log stays bounded whatever keeps going wrong, and private to its owner:
//
// - an entry that repeats the one written last to the same file less than a minute
//   earlier is counted, not written; the count goes into the file as one line
//   ("... repeated N more times, the last at <date>") before the next entry that differs,
//   before the next copy of the entry once the minute is over, and at program end;
// - a file that would grow past 10 MB is first moved aside to "<name>.old<.ext>" (one old
//   copy is kept; an older one is replaced) and a new file is begun;
// - a new file is readable by its owner only (0600), and so is an older file once it is
//   written to: logs hold numbers, texts and addresses.
//
// Every entry that differs from the one before is written whole, in one write, so that
// programs sharing a file never interleave lines. The clock of parlix::clock decides
// what "a minute" is.
#pragma once

#include <cstdint>
#include <string>

namespace parlix::logfile {

inline constexpr std::uintmax_t kMaxBytes = 10u * 1024u * 1024u;
inline constexpr int kRepeatSeconds = 60;

struct Entry {
    std::string text;  // the bytes to append: the whole entry with its date and line ends
    std::string key;   // the entry without what changes at each write (its date); equal keys repeat
    std::string date;  // the date as the log writes it, for the repeat count line
};

// Appends `entry` to the file at `path` as described above; `lineEnd` ends the count
// line ("\r\n" or "\n", as the log's own lines end), which is followed by an empty line.
// Throws std::runtime_error when the file cannot be written (the entry is then not
// taken as written: the next copy of it is tried again).
void Append(const std::string& path, const Entry& entry, const std::string& lineEnd);

// Where a log is moved aside: "Log_2026-12-9.txt" -> "Log_2026-12-9.old.txt".
std::string OldCopyPath(const std::string& path);

// Writes the counts still held for every file (done by itself at program end).
void Flush();

}  // namespace parlix::logfile
