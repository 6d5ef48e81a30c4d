// The gateway's mail calls over the mail layer (libcurl + GMime).
#include "mailgateway/MailClient.h"

#include "platform/mail/Mail.h"

namespace parlix::gateway {

namespace {

std::string& CaFile() {
    static std::string path;
    return path;
}

class MailManClient final : public MailClient {
public:
    std::optional<std::vector<std::string>> GetUidls() override {
        Configure();
        auto list = man_.GetUidls();
        if (!list) return std::nullopt;
        std::vector<std::string> out;
        out.reserve(static_cast<std::size_t>(list->Count()));
        for (long i = 0; i < list->Count(); ++i) out.push_back(list->GetString(i));
        return out;
    }

    std::optional<std::vector<FetchedEmail>> FetchMultiple(const std::vector<std::string>& uidls) override {
        Configure();
        mail::MailStringList wanted;
        for (const auto& u : uidls) wanted.Append(u);
        auto bundle = man_.FetchMultiple(wanted);
        if (!bundle) return std::nullopt;
        std::vector<FetchedEmail> out;
        for (long i = 0; i < bundle->Count(); ++i) {
            const mail::MailMessage& m = bundle->GetEmail(i);
            out.push_back({m.Subject(), m.Body(), m.From(), m.FromAddress(), m.Date()});
        }
        return out;
    }

    long SendEmail(const OutgoingEmail& email) override {
        Configure();
        mail::MailMessage m;
        m.SetFrom(email.From);
        m.SetSubject(email.Subject);
        m.SetBody(email.Body);
        m.SetDate(email.Date);
        for (const auto& to : email.To) m.AddTo("", to);
        for (const auto& cc : email.CC) m.AddCC("", cc);
        return man_.SendEmail(m);
    }

    std::string LastErrorText() const override { return man_.LastErrorText(); }

private:
    void Configure() {
        static_cast<mail::ServerSettings&>(man_) = *this;
        man_.CaFile = CaFile();
    }

    mail::MailMan man_;
};

class Layer final : public MailLayer {
public:
    std::unique_ptr<MailClient> NewMailMan() override { return std::make_unique<MailManClient>(); }

    bool LoadList(const std::string& path, std::vector<std::string>& items, std::string& error) override {
        mail::MailStringList list;
        if (!list.LoadFromFile(path)) {
            error = list.LastErrorText();
            return false;
        }
        items.clear();
        items.reserve(static_cast<std::size_t>(list.Count()));
        for (long i = 0; i < list.Count(); ++i) items.push_back(list.GetString(i));
        return true;
    }

    bool SaveList(const std::string& path, const std::vector<std::string>& items, std::string& error) override {
        mail::MailStringList list;
        for (const auto& item : items) list.Append(item);
        if (list.SaveToFile(path)) return true;
        error = list.LastErrorText();
        return false;
    }
};

}  // namespace

MailLayer& RealMailLayer() {
    static Layer layer;
    return layer;
}

void SetRealMailCaFile(const std::string& path) { CaFile() = path; }

}  // namespace parlix::gateway
