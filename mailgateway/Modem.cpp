#include "mailgateway/Modem.h"

#include "modemapi/v5/SMS.h"

namespace parlix::gateway {

namespace {

class QuentraModem final : public GatewayModem {
public:
    ModemStatus ModemInit(int intPort, const std::string& PIN) override { return sms_.ModemInit(intPort, PIN); }
    bool ConnectToGSM() override { return sms_.ConnectToGSM(); }
    bool ReadSMS() override { return sms_.ReadSMS(); }
    std::string MN() const override { return sms_.MN(); }
    std::string MSG() const override { return sms_.MSG(); }
    std::string SCTS() const override { return sms_.SCTS(); }
    bool SendSMS(const std::string& strHP, const std::string& strMsg) override {
        return !strHP.empty() && !strMsg.empty() && sms_.SendSMS(strHP, strMsg);
    }
    bool ModemReset() override { return sms_.ModemReset(); }
    bool ModemClose() override { return sms_.ModemClose(); }

private:
    QuentraSMSAPI5::SMS sms_;
};

std::function<std::unique_ptr<GatewayModem>()>& Factory() {
    static std::function<std::unique_ptr<GatewayModem>()> factory;
    return factory;
}
std::unique_ptr<GatewayModem>& Current() {
    static std::unique_ptr<GatewayModem> modem;
    return modem;
}

}  // namespace

GatewayModem& SMSObject() {
    auto& modem = Current();
    if (!modem) modem = Factory() ? Factory()() : std::make_unique<QuentraModem>();
    return *modem;
}

void SetModemFactory(std::function<std::unique_ptr<GatewayModem>()> factory) {
    Current().reset();
    Factory() = std::move(factory);
}

void ReleaseModem() { Current().reset(); }

}  // namespace parlix::gateway
