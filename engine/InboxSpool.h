// Received messages that are not in the Inbox table yet. The modem deletes a message
// as soon as it has been read, so the read step keeps it here until the database has
// taken it: a failed insert or an ended program loses nothing. The file
// "Inbox Pending.txt" in the engine's folder holds one message a line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlix::engine {

inline constexpr const char* kInboxPendingName = "Inbox Pending.txt";

struct HeldMessage {
    std::string mobile;     // MN
    std::string timeStamp;  // SCTS as the modem gave it
    std::string text;       // Msg
    bool operator==(const HeldMessage&) const = default;
};

// One line of the file: the three fields separated by tabs, with backslash, tab, CR
// and LF written as \\, \t, \r and \n.
std::string EncodeHeld(const HeldMessage& m);
std::optional<HeldMessage> DecodeHeld(const std::string& line);

class InboxSpool {
public:
    explicit InboxSpool(std::string path) : path_(std::move(path)) {}

    // The held messages, oldest first; none when the file is missing. A line that
    // cannot be read is moved to "<file>.bad" by the next Save rather than dropped.
    std::vector<HeldMessage> Load() const;
    // Replaces the file's contents (written to a new file and renamed over the old,
    // so a crash leaves one or the other); an empty list removes the file. Throws
    // std::runtime_error when the file cannot be written.
    void Save(const std::vector<HeldMessage>& messages) const;
    bool Empty() const;

private:
    std::string path_;
    mutable std::string bad_;
};

}  // namespace parlix::engine
