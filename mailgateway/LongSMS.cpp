#include "mailgateway/Passes.h"

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusReport.h"
#include "platform/text/Text.h"

#include <string_view>

namespace parlix::gateway::LongSMS {

using StatusReport::DisplayActivity;

namespace {
constexpr std::size_t kMessage = 160;

bool HighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }

// Piece lengths (UTF-16 units) for pieces of at most `size` units; a character made
// of two units is never split.
std::vector<std::size_t> Cut(const std::u16string& units, std::size_t size) {
    std::vector<std::size_t> lengths;
    for (std::size_t at = 0; at < units.size();) {
        std::size_t n = std::min(size, units.size() - at);
        if (n > 1 && at + n < units.size() && HighSurrogate(units[at + n - 1])) --n;
        lengths.push_back(n);
        at += n;
    }
    return lengths;
}
}  // namespace

Plan PlanPieces(const std::string& text, int limit) {
    const std::u16string units = parlix::text::toUtf16(text);
    // Each piece and its "i/N" fit one message: 157 characters while N has one digit,
    // fewer once the count has more.
    std::size_t size = kMessage - 3;
    std::vector<std::size_t> lengths = Cut(units, size);
    for (;;) {
        const std::size_t suffix = 2 * std::to_string(lengths.size()).size() + 1;
        if (size + suffix <= kMessage) break;
        size = kMessage - suffix;
        lengths = Cut(units, size);
    }
    Plan plan;
    plan.total = static_cast<int>(lengths.size());
    const std::size_t count = limit >= 1 ? std::min<std::size_t>(lengths.size(), static_cast<std::size_t>(limit)) : 1;
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        plan.texts.push_back(parlix::text::toUtf8(std::u16string_view(units).substr(at, lengths[i])) +
                             std::to_string(i + 1) + "/" + std::to_string(plan.total));
        at += lengths[i];
    }
    return plan;
}

bool SendLongSMS(std::int16_t intLimit, const std::string& text, const std::string& number) {
    bool anySent = false;
    try {
        GatewayModem& modem = SMSObject();
        const Plan plan = PlanPieces(text, intLimit);
        // Over the limit only the first pieces go, numbered out of all of them.
        const bool limited = plan.total > intLimit;
        int r = 1;
        for (const std::string& piece : plan.texts) {
            for (;;) {
                if (modem.SendSMS(number, piece)) {
                    anySent = true;
                    const std::string done = "This e-Mail -- " + std::string(vbCrLf) + piece + vbCrLf +
                                             "has been successfully send to " + number + " as SMS!";
                    DisplayActivity(limited ? done : NowText() + ": " + done);
                    break;
                }
                if (limited) {
                    if (!modem.ConnectToGSM()) DisplayActivity("There is no connection with GSM network!");
                    DisplayActivity("Fail to send " + std::string(vbCrLf) + piece + vbCrLf + "to " + number + " as SMS!");
                    DisplayActivity("retry sending :" + std::to_string(r));
                } else {
                    if (modem.ConnectToGSM()) {
                        // A factory reset also drops text mode: bring the modem up again
                        // before the retry, or it could never succeed.
                        const GSMModemSettings& g = Setting::Loaded.GSM_Modem;
                        const auto port = SettingNumber(g.Port);
                        if (!modem.ModemReset() || !port ||
                            modem.ModemInit(static_cast<int>(*port), g.PIN) != ModemStatus::OK) {
                            DisplayActivity("Unable to reset modem!");
                            return anySent;
                        }
                    } else {
                        DisplayActivity("There is no connection with GSM network!");
                    }
                    DisplayActivity(NowText() + ": Fail to send " + vbCrLf + piece + vbCrLf + "to " + number +
                                    " as SMS!");
                    DisplayActivity("Retry sending :" + std::to_string(r));
                }
                // One retry for the whole text.
                if (r >= 2) return anySent;
                ++r;
            }
        }
    } catch (...) {
        LogCurrentException("Module.LongSMS.SendLongSMS() ");
    }
    return anySent;
}

}  // namespace parlix::gateway::LongSMS
