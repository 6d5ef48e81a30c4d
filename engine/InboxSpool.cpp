#include "engine/InboxSpool.h"

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

void WriteAll(const std::string& path, const std::string& data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot write", path);
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            Fail("cannot write", path);
        }
        done += static_cast<std::size_t>(n);
    }
    // On disk before the rename makes it the held list.
    if (::fsync(fd) != 0 || ::close(fd) != 0) Fail("cannot write", path);
}

}  // namespace

std::string EncodeHeld(const HeldMessage& m) {
    return Escape(m.mobile) + '\t' + Escape(m.timeStamp) + '\t' + Escape(m.text);
}

std::optional<HeldMessage> DecodeHeld(const std::string& line) {
    const auto a = line.find('\t');
    if (a == std::string::npos) return std::nullopt;
    const auto b = line.find('\t', a + 1);
    if (b == std::string::npos || line.find('\t', b + 1) != std::string::npos) return std::nullopt;
    auto mobile = Unescape(line.substr(0, a));
    auto stamp = Unescape(line.substr(a + 1, b - a - 1));
    auto text = Unescape(line.substr(b + 1));
    if (!mobile || !stamp || !text) return std::nullopt;
    return HeldMessage{*mobile, *stamp, *text};
}

std::vector<HeldMessage> InboxSpool::Load() const {
    std::vector<HeldMessage> held;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return held;
    std::string line;
    bad_.clear();
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (auto m = DecodeHeld(line)) held.push_back(std::move(*m));
        else bad_ += line + "\n";
    }
    return held;
}

void InboxSpool::Save(const std::vector<HeldMessage>& messages) const {
    if (!bad_.empty()) {
        // Lines that could not be read leave the list here, once, but are not lost.
        std::ofstream aside(path_ + ".bad", std::ios::binary | std::ios::app);
        aside << bad_;
        if (!aside.flush()) throw std::runtime_error("cannot write " + path_ + ".bad");
        bad_.clear();
    }
    if (messages.empty()) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        if (ec) throw std::runtime_error("cannot remove " + path_ + ": " + ec.message());
        return;
    }
    std::string data;
    for (const auto& m : messages) data += EncodeHeld(m) + "\n";
    const std::string next = path_ + ".new";
    WriteAll(next, data);
    if (std::rename(next.c_str(), path_.c_str()) != 0) Fail("cannot replace", path_);
}

bool InboxSpool::Empty() const {
    std::error_code ec;
    return !std::filesystem::exists(path_, ec);
}

}  // namespace parlix::engine
