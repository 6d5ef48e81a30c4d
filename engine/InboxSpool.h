// What the modem has handed over and forgotten but the database does not have yet.
// The modem deletes a received message, or a delivery report, as soon as it has been
// read, so the engine keeps it in a file of its folder until the database has taken
// it: a failed write or an ended program loses nothing. "Inbox Pending.txt" holds
// received messages, "Report Pending.txt" delivery reports, one a line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlix::engine {

inline constexpr const char* kInboxPendingName = "Inbox Pending.txt";
inline constexpr const char* kReportPendingName = "Report Pending.txt";

using HeldFields = std::vector<std::string>;

struct HeldMessage {
    std::string mobile;     // MN
    std::string timeStamp;  // SCTS as the modem gave it
    std::string text;       // Msg
    bool operator==(const HeldMessage&) const = default;

    static constexpr std::size_t kFields = 3;
    HeldFields Fields() const { return {mobile, timeStamp, text}; }
    static HeldMessage From(HeldFields f) { return {std::move(f[0]), std::move(f[1]), std::move(f[2])}; }
};

struct HeldReport {
    std::string reference;  // DRMsgRef
    std::string recipient;  // DRMNRecipient
    std::string reportTime; // DRFDate, a blank and DRFTime
    std::string code;       // "D", "F" or "U"
    bool operator==(const HeldReport&) const = default;

    static constexpr std::size_t kFields = 4;
    HeldFields Fields() const { return {reference, recipient, reportTime, code}; }
    static HeldReport From(HeldFields f) {
        return {std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3])};
    }
};

// One line of a file: the fields separated by tabs, with backslash, tab, CR and LF
// written as \\, \t, \r and \n.
std::string EncodeFields(const HeldFields& fields);
std::optional<HeldFields> DecodeFields(const std::string& line, std::size_t count);
std::string EncodeHeld(const HeldMessage& m);
std::optional<HeldMessage> DecodeHeld(const std::string& line);

// The file itself, records of a fixed number of fields.
class FieldSpool {
public:
    FieldSpool(std::string path, std::size_t fields) : path_(std::move(path)), fields_(fields) {}

    // The held records, oldest first; none when the file is missing. A line that
    // cannot be read is moved to "<file>.bad" by the next Save rather than dropped.
    std::vector<HeldFields> LoadFields() const;
    // Replaces the file's contents (written to a new file, readable by its owner only,
    // and renamed over the old, so a crash leaves one or the other); an empty list
    // removes the file. Throws std::runtime_error when the file cannot be written.
    void SaveFields(const std::vector<HeldFields>& records) const;
    bool Empty() const;

private:
    std::string path_;
    std::size_t fields_;
    mutable std::string bad_;
};

template <class Record>
class Spool : public FieldSpool {
public:
    explicit Spool(std::string path) : FieldSpool(std::move(path), Record::kFields) {}
    std::vector<Record> Load() const {
        std::vector<Record> held;
        for (auto& f : LoadFields()) held.push_back(Record::From(std::move(f)));
        return held;
    }
    void Save(const std::vector<Record>& records) const {
        std::vector<HeldFields> all;
        for (const auto& r : records) all.push_back(r.Fields());
        SaveFields(all);
    }
};

using InboxSpool = Spool<HeldMessage>;
using ReportSpool = Spool<HeldReport>;

}  // namespace parlix::engine
