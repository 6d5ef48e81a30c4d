#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/mail/Mail.h"
#include "platform/mail/MimeText.h"
#include "platform/files/DurableFile.h"

namespace parlix::mail {

namespace {

std::string systemError(const std::string& what, const std::string& path, int err) {
    return what + " \"" + path + "\": " + std::strerror(err);
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
    // A list file is an ordinary file, as the user's other files are.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (const int err = files::ReplaceDurably(path, content, 0666 & ~mask)) {
        lastError_ = systemError("cannot write the list file", path, err);
        return false;
    }
    return true;
}

}  // namespace parlix::mail
