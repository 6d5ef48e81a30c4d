#include "engine/InboxSpool.h"

#include "platform/files/DurableFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace parlix::engine {
namespace {

std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::string> Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i == s.size()) return std::nullopt;
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// Lines that could not be read, kept aside; like the list, readable by its owner only.
void AppendAside(const std::string& path, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot write", path);
    // On disk before the list that held them is replaced without them.
    const bool written = files::WriteAll(fd, data) && ::fsync(fd) == 0;
    const int err = errno;
    if (::close(fd) != 0 || !written) {
        if (!written) errno = err;
        Fail("cannot write", path);
    }
}

}  // namespace

std::string EncodeFields(const HeldFields& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + Escape(fields[i]);
    return line;
}

std::optional<HeldFields> DecodeFields(const std::string& line, std::size_t count) {
    HeldFields fields;
    std::size_t from = 0;
    for (;;) {
        const auto tab = line.find('\t', from);
        auto field = Unescape(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (!field) return std::nullopt;
        fields.push_back(std::move(*field));
        if (tab == std::string::npos) break;
        from = tab + 1;
    }
    if (fields.size() != count) return std::nullopt;
    return fields;
}

std::string EncodeHeld(const HeldMessage& m) { return EncodeFields(m.Fields()); }

std::optional<HeldMessage> DecodeHeld(const std::string& line) {
    auto fields = DecodeFields(line, HeldMessage::kFields);
    if (!fields) return std::nullopt;
    return HeldMessage::From(std::move(*fields));
}

std::vector<HeldFields> FieldSpool::LoadFields() const {
    std::vector<HeldFields> held;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return held;
    std::string line;
    bad_.clear();
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (auto f = DecodeFields(line, fields_)) held.push_back(std::move(*f));
        else bad_ += line + "\n";
    }
    return held;
}

void FieldSpool::SaveFields(const std::vector<HeldFields>& records) const {
    if (!bad_.empty()) {
        // Lines that could not be read leave the list here, once, but are not lost.
        AppendAside(path_ + ".bad", bad_);
        bad_.clear();
    }
    if (records.empty()) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        if (ec) throw std::runtime_error("cannot remove " + path_ + ": " + ec.message());
        return;
    }
    std::string data;
    for (const auto& r : records) data += EncodeFields(r) + "\n";
    // The file holds senders and texts: readable by its owner only.
    if (const int err = files::ReplaceDurably(path_, data)) {
        errno = err;
        Fail("cannot replace", path_);
    }
}

bool FieldSpool::Empty() const {
    std::error_code ec;
    return !std::filesystem::exists(path_, ec);
}

}  // namespace parlix::engine
