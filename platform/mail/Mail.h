// Mail component (namespace parlix::mail, target parlix_mail): the mail object the
// e-mail gateway reads its POP3 mailbox and sends its SMTP mail through, and the
// string list, bundle and message objects it passes around.
//
// Built on libcurl (POP3 UIDL and RETR, SMTP with AUTH, TLS with verified
// certificates) and GMime 3 (parsing fetched mail, building outgoing mail). No Qt.
//
// Errors: the mail object's calls report failure by their result (nullptr, not 1) and
// keep the reason in LastErrorText(). Index out of range throws std::out_of_range, an
// unreadable date given to SetDate throws std::invalid_argument; the gateway traps both
// like any run-time error. Every text the layer returns is valid UTF-8.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace parlix::mail {

// An ordered list of texts with a hashed membership test.
// File format: UTF-8, one entry per line ("\n"; a "\r" before it is ignored on load).
class MailStringList {
public:
    long Count() const;
    // Entry i (0-based); throws std::out_of_range.
    std::string GetString(long i) const;
    void Append(const std::string& text);
    bool Contains(const std::string& text) const;
    // Replaces the list with the file's entries. A missing file gives an empty list and
    // true. A file that cannot be read or is not a list (NUL bytes, invalid UTF-8) gives
    // false and leaves the list as it was: a seen-list that silently came back empty
    // would make every mail on the server look new.
    bool LoadFromFile(const std::string& path);
    // Writes the whole list to a temporary file beside `path`, flushes it to disk and
    // renames it into place, so a crash leaves either the old or the new list. False
    // (old file untouched) when the folder is not writable or an entry holds a line break.
    bool SaveToFile(const std::string& path) const;
    // Why the last LoadFromFile/SaveToFile returned false.
    std::string LastErrorText() const;

private:
    std::vector<std::string> items_;
    std::unordered_set<std::string> index_;
    mutable std::string lastError_;
};

// One e-mail: as parsed from a mailbox, or composed for sending.
class MailMessage {
public:
    // The text body: the text/plain part (of a multipart: the first one that is not an
    // attachment), else the text/html part turned into plain text. Lines end in "\n".
    std::string Body() const;
    // Decoded subject.
    std::string Subject() const;
    // The From text as a reader sees it: "Name <address>", or the address alone.
    std::string From() const;
    // The sender's address alone ("someone@example.com").
    std::string FromAddress() const;
    // Local date and time of the Date header, "YYYY-MM-DD HH:MM:SS"; empty when the
    // message has no readable Date.
    std::string Date() const;

    // Subject, From and display names are single lines: line breaks in them become
    // blanks (no header can be smuggled in).
    void SetSubject(const std::string& subject);
    void SetBody(const std::string& body);
    // "Name <address>", "address", or a bare account name as some servers want it.
    void SetFrom(const std::string& from);
    // "YYYY-MM-DD HH:MM:SS" in local time, or an RFC 5322 date text; empty = the time of
    // sending. Throws std::invalid_argument for anything else.
    void SetDate(const std::string& date);
    // An empty address adds no recipient (an unset CC setting means "no CC"). An address
    // text holding several addresses separated by "," or ";" adds each of them.
    void AddTo(const std::string& name, const std::string& address);
    void AddCC(const std::string& name, const std::string& address);
    void ClearTo();
    void ClearCC();

    struct Recipient {
        std::string name;
        std::string address;
    };
    const std::vector<Recipient>& ToList() const { return to_; }
    const std::vector<Recipient>& CCList() const { return cc_; }

    // Reads RFC 5322 bytes (CRLF or LF). Never throws: broken or truncated mail gives
    // whatever fields could be read.
    static MailMessage parse(const std::string& rfc5322Bytes);
    // The message as RFC 5322 bytes with CRLF line ends: encoded headers (RFC 2047),
    // a UTF-8 text/plain body in a 7-bit transfer encoding, Date and Message-ID.
    std::string toMime() const;

private:
    std::string body_, subject_, from_, fromAddress_, date_;
    std::vector<Recipient> to_, cc_;
};

// The e-mails fetched in one call, indexed from 0.
class MailBundle {
public:
    MailBundle() = default;
    explicit MailBundle(std::vector<MailMessage> messages) : messages_(std::move(messages)) {}
    long Count() const;
    // Throws std::out_of_range.
    const MailMessage& GetEmail(long i) const;

private:
    std::vector<MailMessage> messages_;
};

// POP3 and SMTP settings: host, port (0 = the protocol's default: POP3 110, with SSL
// 995; SMTP 25, with SSL 465), user, password, SSL (non-zero = implicit TLS; the
// server's certificate and host name are always verified).
struct ServerSettings {
    std::string PopHost;
    long PopPort = 0;
    std::string PopUsername, PopPassword;
    long PopSsl = 0;
    std::string SmtpHost;
    long SmtpPort = 0;
    std::string SmtpUsername, SmtpPassword;
    long SmtpSsl = 0;
};

// The mail object `mailman`, with the servers' settings as its own members.
class MailMan : public ServerSettings {
public:
    MailMan();
    ~MailMan();
    MailMan(const MailMan&) = delete;
    MailMan& operator=(const MailMan&) = delete;

    // PEM file of certificate authorities trusted besides the system's store (tests
    // trust their own test CA this way); empty = the system's store alone.
    std::string CaFile;

    // The unique identifiers of all mails on the POP3 server, in server order;
    // nullptr on failure.
    std::unique_ptr<MailStringList> GetUidls();
    // The mails with these identifiers, in the list's order. Identifiers no longer on
    // the server are left out. nullptr when the server cannot be reached or a transfer
    // breaks off (nothing is half-fetched).
    std::unique_ptr<MailBundle> FetchMultiple(const MailStringList& uidls);
    // Sends over SMTP (with AUTH when SmtpUsername is set) to every To and CC address.
    // 1 = the server accepted the message; 0 = failure.
    long SendEmail(const MailMessage& m);
    // The reason of the last failure (empty after a success).
    std::string LastErrorText() const;

private:
    std::string lastError_;
};

}  // namespace parlix::mail
