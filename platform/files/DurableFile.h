// parlix::files - replacing a small file so that a crash or a full disk leaves either the
// old file or the new one whole, never half of one: the bytes are written beside it,
// flushed to the disk, renamed over it, and the folder is flushed so the rename lasts.
// Held messages, send progress and seen lists are kept this way.
#pragma once

#include <string>
#include <sys/types.h>

namespace parlix::files {

// Replaces the file at `path` with `bytes` as described above. A file it makes gets
// `mode` (owner-only by default: these files hold numbers and texts). Returns 0, or the
// errno of the step that failed; the file at `path` is then as it was.
int ReplaceDurably(const std::string& path, const std::string& bytes, mode_t mode = 0600);

// Writes all of `bytes` to `fd`, going on after interruptions; false on a failed write
// (errno tells why).
bool WriteAll(int fd, const std::string& bytes);

}  // namespace parlix::files
