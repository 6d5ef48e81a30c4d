// Stand-in while the mail layer is not part of the build: every call fails.
#include "mailgateway/MailClient.h"

namespace parlix::gateway {
namespace {
constexpr const char* kMissing = "the mail layer is not part of this build";
class NoMailClient final : public MailClient {
public:
    std::optional<std::vector<std::string>> GetUidls() override { return std::nullopt; }
    std::optional<std::vector<FetchedEmail>> FetchMultiple(const std::vector<std::string>&) override { return std::nullopt; }
    long SendEmail(const OutgoingEmail&) override { return 0; }
    std::string LastErrorText() const override { return kMissing; }
};
class NoMailLayer final : public MailLayer {
public:
    std::unique_ptr<MailClient> NewMailMan() override { return std::make_unique<NoMailClient>(); }
    bool LoadList(const std::string&, std::vector<std::string>&, std::string& error) override { error = kMissing; return false; }
    bool SaveList(const std::string&, const std::vector<std::string>&, std::string& error) override { error = kMissing; return false; }
};
}  // namespace
MailLayer& RealMailLayer() {
    static NoMailLayer layer;
    return layer;
}
void SetRealMailCaFile(const std::string&) {}
}  // namespace parlix::gateway
