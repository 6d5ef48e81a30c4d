#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/mail/Mail.h"
#include "platform/mail/MimeText.h"

namespace parlix::mail {

namespace {

std::string systemError(const std::string& what, const std::string& path, int err) {
    return what + " \"" + path + "\": " + std::strerror(err);
}

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

long MailStringList::Count() const { return static_cast<long>(items_.size()); }

std::string MailStringList::GetString(long i) const {
    if (i < 0 || i >= Count())
        throw std::out_of_range("MailStringList::GetString: index " + std::to_string(i) + " of " +
                                std::to_string(Count()));
    return items_[static_cast<size_t>(i)];
}

void MailStringList::Append(const std::string& text) {
    items_.push_back(text);
    index_.insert(text);
}

bool MailStringList::Contains(const std::string& text) const { return index_.count(text) != 0; }

std::string MailStringList::LastErrorText() const { return lastError_; }

bool MailStringList::LoadFromFile(const std::string& path) {
    lastError_.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            items_.clear();
            index_.clear();
            return true;
        }
        lastError_ = systemError("cannot read the list file", path, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        lastError_ = "the list file \"" + path + "\" is not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        lastError_ = systemError("cannot read the list file", path, errno ? errno : EACCES);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        lastError_ = systemError("cannot read the list file", path, errno ? errno : EIO);
        return false;
    }
    std::string content = buffer.str();
    // A list file holds text lines only. NUL bytes or broken UTF-8 mean the file was
    // damaged (or is some other file); taking what is left would forget entries.
    if (content.find('\0') != std::string::npos || detail::validUtf8(content) != content) {
        lastError_ = "the list file \"" + path + "\" is damaged: it holds bytes that are not text";
        return false;
    }
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        if (nl == std::string::npos) nl = content.size();
        std::string line = content.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        items.push_back(std::move(line));
        pos = nl + 1;
    }
    items_ = std::move(items);
    index_ = std::unordered_set<std::string>(items_.begin(), items_.end());
    return true;
}

bool MailStringList::SaveToFile(const std::string& path) const {
    lastError_.clear();
    std::string content;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].find_first_of("\r\n") != std::string::npos) {
            lastError_ = "entry " + std::to_string(i) + " holds a line break and cannot be saved to \"" + path + "\"";
            return false;
        }
        content += items_[i];
        content += '\n';
    }
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        lastError_ = systemError("cannot write the list file", path, errno);
        return false;
    }
    // mkstemp makes the file private; a list file is an ordinary file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        lastError_ = systemError("cannot write the list file", path, err);
        return false;
    }
    // The rename itself reaches the disk with the folder.
    int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace parlix::mail
