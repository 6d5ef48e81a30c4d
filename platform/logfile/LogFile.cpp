#include "platform/logfile/LogFile.h"

#include "platform/clock/Clock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>

namespace parlix::logfile {
namespace {

// What was written last to one file, and how often it came again since.
struct Last {
    bool written = false;
    std::string key;
    clock::TimePoint at;
    long repeats = 0;
    std::string lastDate;
    std::string lineEnd = "\r\n";
};

class Files {
public:
    std::mutex lock;
    std::map<std::string, Last> last;

    // Counts whose minute is over (all of them when `all`) go into their files.
    void FlushAll(bool all) {
        // At program end the clock may be gone already: it is not asked then.
        const auto now = all ? clock::TimePoint{} : clock::now();
        for (auto& [path, state] : last) {
            if (state.repeats == 0 || (!all && !MinuteOver(state, now))) continue;
            try {
                Write(path, CountLine(state));
                state.repeats = 0;
            } catch (const std::exception&) {
                // kept: tried again with the next entry of that file
            }
        }
    }

    static bool MinuteOver(const Last& state, clock::TimePoint now) {
        // A clock set back counts as a new minute too: better one entry more than a
        // count that waits for an hour.
        return now < state.at || now - state.at >= std::chrono::seconds(kRepeatSeconds);
    }

    static std::string CountLine(const Last& state) {
        if (state.repeats == 0) return {};
        return "... repeated " + std::to_string(state.repeats) + (state.repeats == 1 ? " more time" : " more times") +
               ", the last at " + state.lastDate + state.lineEnd + state.lineEnd;
    }

    static int Open(const std::string& path) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) Fail("cannot open the log file", path, errno);
        return fd;
    }

    [[noreturn]] static void Fail(const std::string& what, const std::string& path, int err) {
        throw std::runtime_error(what + " \"" + path + "\": " + std::strerror(err));
    }

    static void Write(const std::string& path, const std::string& bytes) {
        if (bytes.empty()) return;
        int fd = Open(path);
        struct stat st {};
        if (::fstat(fd, &st) == 0) {
            // A log made before (or by hand) may be readable by others.
            if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::fchmod(fd, 0600);
            if (st.st_size > 0 && static_cast<std::uintmax_t>(st.st_size) + bytes.size() > kMaxBytes) {
                // Moved aside only if no other program moved it meanwhile.
                struct stat named {};
                if (::stat(path.c_str(), &named) == 0 && named.st_ino == st.st_ino && named.st_dev == st.st_dev)
                    ::rename(path.c_str(), OldCopyPath(path).c_str());
                ::close(fd);
                fd = Open(path);
            }
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                const int err = n < 0 ? errno : ENOSPC;
                ::close(fd);
                Fail("cannot write the log file", path, err);
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
};

// Never destroyed, so that a log written while the program ends still finds it; the
// counts still held are written at exit.
Files& files() {
    static Files* instance = [] {
        auto* made = new Files;
        std::atexit([] { Flush(); });
        return made;
    }();
    return *instance;
}

}  // namespace

std::string OldCopyPath(const std::string& path) {
    const std::filesystem::path p(path);
    return (p.parent_path() / (p.stem().string() + ".old" + p.extension().string())).string();
}

void Append(const std::string& path, const Entry& entry, const std::string& lineEnd) {
    Files& all = files();
    std::lock_guard<std::mutex> hold(all.lock);
    all.FlushAll(false);
    Last& state = all.last[path];
    const auto now = clock::now();
    if (state.written && state.key == entry.key && !Files::MinuteOver(state, now)) {
        ++state.repeats;
        state.lastDate = entry.date;
        return;
    }
    Files::Write(path, Files::CountLine(state) + entry.text);
    state.written = true;
    state.key = entry.key;
    state.at = now;
    state.repeats = 0;
    state.lineEnd = lineEnd;
}

void Flush() {
    Files& all = files();
    std::lock_guard<std::mutex> hold(all.lock);
    all.FlushAll(true);
}

}  // namespace parlix::logfile
