#include <curl/curl.h>

#include <cstring>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "platform/clock/Clock.h"
#include "platform/mail/Mail.h"
#include "platform/mail/MimeText.h"

namespace parlix::mail {

namespace {

// A server that accepts the connection and then says nothing is given up on.
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kStallSeconds = 60;

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t appendTo(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// Transfers keep the program's window responsive: the progress callback runs at least
// once a second while a server is slow.
int keepResponsive(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    clock::yield();
    return 0;
}

struct Upload {
    const std::string* data;
    size_t offset = 0;
};

size_t readFrom(char* buffer, size_t size, size_t count, void* source) {
    auto* up = static_cast<Upload*>(source);
    size_t n = std::min(size * count, up->data->size() - up->offset);
    std::memcpy(buffer, up->data->data() + up->offset, n);
    up->offset += n;
    return n;
}

// One libcurl handle with the settings every transfer shares. Transfers on the same
// handle reuse its connection, and with it the logged-in POP3 session.
class Connection {
public:
    Connection(const std::string& protocol, const std::string& host, long port, bool tls, const std::string& user,
               const std::string& password, const std::string& caFile)
        : protocol_(protocol), host_(host), port_(port), tls_(tls) {
        initCurl();
        handle_ = curl_easy_init();
        if (!handle_) return;
        errorBuffer_[0] = '\0';
        curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer_);
        curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, keepResponsive);
        curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!caFile.empty()) curl_easy_setopt(handle_, CURLOPT_CAINFO, caFile.c_str());
        if (!user.empty()) {
            curl_easy_setopt(handle_, CURLOPT_USERNAME, user.c_str());
            curl_easy_setopt(handle_, CURLOPT_PASSWORD, password.c_str());
        }
    }
    ~Connection() {
        if (handle_) curl_easy_cleanup(handle_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    CURL* handle() const { return handle_; }

    // "POP3 server mail.example.com:995"
    std::string where() const {
        std::string name = protocol_ + " server " + host_;
        if (port_ > 0) name += ":" + std::to_string(port_);
        return name;
    }

    // Sets the URL of the next transfer; false (with the reason in `error`) when the
    // settings cannot make one.
    bool setUrl(const std::string& path, std::string& error) {
        if (!handle_) {
            error = "cannot start a network transfer (libcurl)";
            return false;
        }
        if (host_.empty()) {
            error = "no " + protocol_ + " server is set";
            return false;
        }
        if (port_ < 0 || port_ > 65535) {
            error = "the " + protocol_ + " port " + std::to_string(port_) + " is not a port number (1 to 65535)";
            return false;
        }
        std::string scheme = protocol_ == "POP3" ? "pop3" : "smtp";
        if (tls_) scheme += "s";
        std::string host = host_;
        if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
        CURLU* url = curl_url();
        bool ok = curl_url_set(url, CURLUPART_SCHEME, scheme.c_str(), 0) == CURLUE_OK &&
                  curl_url_set(url, CURLUPART_HOST, host.c_str(), 0) == CURLUE_OK &&
                  (port_ == 0 || curl_url_set(url, CURLUPART_PORT, std::to_string(port_).c_str(), 0) == CURLUE_OK) &&
                  curl_url_set(url, CURLUPART_PATH, path.c_str(), 0) == CURLUE_OK;
        char* text = nullptr;
        if (ok) ok = curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK;
        if (ok) curl_easy_setopt(handle_, CURLOPT_URL, text);
        curl_free(text);
        curl_url_cleanup(url);
        if (!ok) error = "\"" + host_ + "\" is not a usable " + protocol_ + " server name";
        return ok;
    }

    // Runs the transfer; on failure `error` says what went wrong where.
    bool perform(std::string& error) {
        errorBuffer_[0] = '\0';
        CURLcode rc = curl_easy_perform(handle_);
        if (rc == CURLE_OK) return true;
        std::string detail = errorBuffer_;
        while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
        error = where() + ": " + curl_easy_strerror(rc);
        if (!detail.empty() && detail != curl_easy_strerror(rc)) error += " (" + detail + ")";
        long reply = 0;
        curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply);
        if (reply > 0 && protocol_ == "SMTP") error += ", server reply " + std::to_string(reply);
        if (rc == CURLE_LOGIN_DENIED) error += ": the user name or password was refused";
        if (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_CACERT_BADFILE)
            error += ": the server's certificate cannot be trusted";
        error = detail::validUtf8(error);
        return false;
    }

    // Whether the last transfer had to open a new connection (a new POP3 session).
    bool reconnected() const {
        long connects = 0;
        curl_easy_getinfo(handle_, CURLINFO_NUM_CONNECTS, &connects);
        return connects > 0;
    }

private:
    std::string protocol_, host_;
    long port_;
    bool tls_;
    CURL* handle_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE];
};

struct UidlEntry {
    long number;
    std::string uidl;
};

// The server's "number uidl" lines.
std::vector<UidlEntry> readUidlListing(const std::string& listing) {
    std::vector<UidlEntry> entries;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        UidlEntry e{0, {}};
        if (fields >> e.number >> e.uidl && e.number > 0) entries.push_back(std::move(e));
    }
    return entries;
}

bool listUidls(Connection& c, std::vector<UidlEntry>& entries, std::string& error) {
    std::string listing;
    if (!c.setUrl("/", error)) return false;
    curl_easy_setopt(c.handle(), CURLOPT_CUSTOMREQUEST, "UIDL");
    curl_easy_setopt(c.handle(), CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(c.handle(), CURLOPT_WRITEDATA, &listing);
    bool ok = c.perform(error);
    curl_easy_setopt(c.handle(), CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
    if (!ok) return false;
    entries = readUidlListing(listing);
    return true;
}

}  // namespace

MailMan::MailMan() = default;
MailMan::~MailMan() = default;

std::string MailMan::LastErrorText() const { return lastError_; }

std::unique_ptr<MailStringList> MailMan::GetUidls() {
    lastError_.clear();
    Connection c("POP3", PopHost, PopPort, PopSsl != 0, PopUsername, PopPassword, CaFile);
    std::vector<UidlEntry> entries;
    if (!listUidls(c, entries, lastError_)) return nullptr;
    auto list = std::make_unique<MailStringList>();
    for (auto& e : entries) list->Append(detail::validUtf8(e.uidl));
    return list;
}

std::unique_ptr<MailBundle> MailMan::FetchMultiple(const MailStringList& uidls) {
    lastError_.clear();
    if (uidls.Count() == 0) return std::make_unique<MailBundle>();
    Connection c("POP3", PopHost, PopPort, PopSsl != 0, PopUsername, PopPassword, CaFile);
    // Message numbers hold within one session only: the identifiers are mapped to
    // numbers on the connection that then retrieves them.
    std::vector<UidlEntry> entries;
    if (!listUidls(c, entries, lastError_)) return nullptr;
    std::unordered_map<std::string, long> numbers;
    for (auto& e : entries) numbers.emplace(e.uidl, e.number);

    // libcurl takes a connection closed in the middle of a RETR reply for the end of the
    // mail. A mail only counts when the session is still there after it: each RETR must
    // run on the connection of the command before it, and a NOOP follows the last one.
    auto sessionLost = [&]() {
        lastError_ = c.where() + ": the server closed the connection during the transfer";
        return nullptr;
    };
    std::vector<MailMessage> messages;
    std::string raw;
    curl_easy_setopt(c.handle(), CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(c.handle(), CURLOPT_WRITEDATA, &raw);
    for (long i = 0; i < uidls.Count(); ++i) {
        auto it = numbers.find(uidls.GetString(i));
        if (it == numbers.end()) continue;  // gone from the server meanwhile
        raw.clear();
        if (!c.setUrl("/" + std::to_string(it->second), lastError_) || !c.perform(lastError_)) return nullptr;
        if (c.reconnected()) return sessionLost();
        messages.push_back(MailMessage::parse(raw));
    }
    if (!messages.empty()) {
        curl_easy_setopt(c.handle(), CURLOPT_CUSTOMREQUEST, "NOOP");
        curl_easy_setopt(c.handle(), CURLOPT_NOBODY, 1L);
        bool alive = c.setUrl("/", lastError_) && c.perform(lastError_) && !c.reconnected();
        if (!alive) return sessionLost();
    }
    return std::make_unique<MailBundle>(std::move(messages));
}

long MailMan::SendEmail(const MailMessage& m) {
    lastError_.clear();
    std::vector<std::string> recipients;
    std::unordered_set<std::string> seen;
    for (const auto* list : {&m.ToList(), &m.CCList()})
        for (const auto& r : *list)
            if (seen.insert(r.address).second) recipients.push_back(r.address);
    if (recipients.empty()) {
        lastError_ = "the e-mail has no recipient";
        return 0;
    }
    Connection c("SMTP", SmtpHost, SmtpPort, SmtpSsl != 0, SmtpUsername, SmtpPassword, CaFile);
    if (!c.setUrl("/", lastError_)) return 0;

    std::string mime = m.toMime();
    Upload upload{&mime};
    std::string from = "<" + m.FromAddress() + ">";
    curl_slist* rcpt = nullptr;
    for (const auto& r : recipients) rcpt = curl_slist_append(rcpt, ("<" + r + ">").c_str());
    curl_easy_setopt(c.handle(), CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(c.handle(), CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(c.handle(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c.handle(), CURLOPT_READFUNCTION, readFrom);
    curl_easy_setopt(c.handle(), CURLOPT_READDATA, &upload);
    curl_easy_setopt(c.handle(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mime.size()));
    bool ok = c.perform(lastError_);
    curl_slist_free_all(rcpt);
    return ok ? 1 : 0;
}

}  // namespace parlix::mail
