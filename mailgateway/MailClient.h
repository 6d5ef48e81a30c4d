// The gateway's view of the mail component: the mail object `mailman` with the calls
// the passes make, the e-mails they read and send, and the list files. The program
// uses the mail layer (platform/mail); unit tests put a scripted mail server in its place.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mail/Mail.h"

namespace parlix::gateway {

// One fetched e-mail, as the mail layer parsed it (all valid UTF-8).
struct FetchedEmail {
    std::string Subject, Body, From, FromAddress, Date;
};

// One e-mail to send. To and CC hold addresses (display names are always empty here).
struct OutgoingEmail {
    std::string From, Subject, Body, Date;
    std::vector<std::string> To, CC;
    void AddTo(const std::string& address) { To.push_back(address); }
    void AddCC(const std::string& address) { CC.push_back(address); }
    void ClearTo() { To.clear(); }
    void ClearCC() { CC.clear(); }
};

// The servers' settings are the mail layer's own (mail::ServerSettings).
class MailClient : public mail::ServerSettings {
public:
    virtual ~MailClient() = default;

    // Identifiers of all mails on the POP3 server in server order; nothing on failure.
    virtual std::optional<std::vector<std::string>> GetUidls() = 0;
    // The mails with these identifiers, in order; nothing on failure.
    virtual std::optional<std::vector<FetchedEmail>> FetchMultiple(const std::vector<std::string>& uidls) = 0;
    // 1 when the SMTP server accepted the e-mail.
    virtual long SendEmail(const OutgoingEmail& email) = 0;
    virtual std::string LastErrorText() const = 0;
};

class MailLayer {
public:
    virtual ~MailLayer() = default;
    virtual std::unique_ptr<MailClient> NewMailMan() = 0;
    // A list file in the mail layer's format. A missing file is an empty list; false
    // (with the reason) when the file cannot be read or is not a list.
    virtual bool LoadList(const std::string& path, std::vector<std::string>& items, std::string& error) = 0;
    // Rewrites the file with the whole list (temporary file renamed into place).
    virtual bool SaveList(const std::string& path, const std::vector<std::string>& items, std::string& error) = 0;
};

// The layer in use: the mail layer unless a test installed another.
MailLayer& Mail();
// Installs `layer` (nullptr: the mail layer again); returns the one it replaces.
MailLayer* SetMailLayer(MailLayer* layer);

// The mail layer itself (for tests that run against real servers and need its CA file).
MailLayer& RealMailLayer();
// PEM file of extra trusted certificate authorities given to every mail object the
// real layer makes (tests trust their test CA); empty = the system's store.
void SetRealMailCaFile(const std::string& path);

}  // namespace parlix::gateway
