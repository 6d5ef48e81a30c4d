#include "mailgateway/Passes.h"

#include "mailgateway/Gateway.h"
#include "mailgateway/Log.h"
#include "mailgateway/Modem.h"
#include "mailgateway/Setting.h"
#include "mailgateway/StatusReport.h"
#include "pdu/Helpers.h"
#include "platform/text/Text.h"

#include <string_view>
#include <unordered_set>

namespace parlix::gateway::LongSMS {

using StatusReport::DisplayActivity;

namespace {
constexpr std::size_t kMessage = 160;
constexpr std::size_t kListedAtMost = 40;

bool HighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool LowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The text-mode library hands the modem Windows-1252 bytes, which the modem turns into
// the GSM alphabet: a character reaches the handset only when both have it.
// Ctrl-Z and ESC stay as they are: they would end or cancel the text at the modem, so the
// library refuses such a text whole rather than send part of it.
bool Carried(char16_t c) {
    return c == u'?' || c == 0x1A || c == 0x1B || (GSM::GsmCodeOf(c) >= 0 && parlix::text::toAnsiChar(c) != '?');
}

bool Blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v'; }

// How a character is named in a status e-mail: itself, or its code when it cannot be seen.
std::string Shown(std::u16string_view c) {
    if (c.size() == 1 && (c[0] < 0x20 || c[0] == 0x7F || (c[0] >= 0x80 && c[0] < 0xA0))) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c[0]));
        return code;
    }
    return parlix::text::toUtf8(c);
}
}  // namespace

ModemText ForModem(const std::string& text) {
    const std::u16string units = parlix::text::toUtf16(text);
    std::u16string out;
    out.reserve(units.size());
    ModemText result;
    std::unordered_set<std::u16string> named;
    bool anyKept = false, anyReplaced = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::size_t n = HighSurrogate(units[i]) && i + 1 < units.size() && LowSurrogate(units[i + 1]) ? 2 : 1;
        const std::u16string_view c(units.data() + i, n);
        if (n == 1 && Carried(c[0])) {
            out += c[0];
            if (!Blank(c[0])) anyKept = true;
        } else {
            out += u'?';
            anyReplaced = true;
            if (named.insert(std::u16string(c)).second) {
                if (named.size() <= kListedAtMost)
                    result.replaced += (result.replaced.empty() ? "" : " ") + Shown(c);
                else if (named.size() == kListedAtMost + 1)
                    result.replaced += " ...";
            }
        }
        i += n - 1;
    }
    result.text = parlix::text::toUtf8(out);
    result.nothingCarried = anyReplaced && !anyKept;
    return result;
}

std::size_t Septets(const std::string& text) { return GSM::SeptetCount(parlix::text::toUtf16(ForModem(text).text)); }

Plan PlanPieces(const std::string& text, int limit) {
    const std::u16string units = parlix::text::toUtf16(ForModem(text).text);
    // Each piece and its "i/N" fit one message of 160 septets: 157 septets while N has
    // one digit, fewer once the count has more. An escape pair is never split.
    std::size_t size = kMessage - 3;
    std::vector<std::u16string_view> pieces = GSM::SplitBySeptets(units, size);
    for (;;) {
        const std::size_t suffix = 2 * std::to_string(pieces.size()).size() + 1;
        if (size + suffix <= kMessage) break;
        size = kMessage - suffix;
        pieces = GSM::SplitBySeptets(units, size);
    }
    Plan plan;
    plan.total = static_cast<int>(pieces.size());
    const std::size_t count = limit >= 1 ? std::min<std::size_t>(pieces.size(), static_cast<std::size_t>(limit)) : 1;
    for (std::size_t i = 0; i < count; ++i)
        plan.texts.push_back(parlix::text::toUtf8(pieces[i]) + std::to_string(i + 1) + "/" + std::to_string(plan.total));
    return plan;
}

bool SendLongSMS(std::int16_t intLimit, const std::string& text, const std::string& number, Pieces* progress) {
    bool anySent = false;
    const Plan plan = PlanPieces(text, intLimit);
    std::size_t next = progress ? std::min<std::size_t>(static_cast<std::size_t>(std::max(progress->sent, 0)),
                                                        plan.texts.size())
                                : 0;
    // Whatever has not gone out when the send ends is named in the status e-mail.
    struct Unsent {
        const Plan& plan;
        const std::size_t& next;
        Pieces* progress;
        ~Unsent() {
            if (!progress) return;
            progress->notSent.clear();
            for (std::size_t i = next; i < plan.texts.size(); ++i)
                progress->notSent.push_back(std::to_string(i + 1) + "/" + std::to_string(plan.total));
        }
    } unsent{plan, next, progress};
    try {
        GatewayModem& modem = SMSObject();
        // Over the limit only the first pieces go, numbered out of all of them.
        const bool limited = plan.total > intLimit;
        int r = 1;
        for (; next < plan.texts.size(); ++next) {
            const std::string& piece = plan.texts[next];
            for (;;) {
                if (modem.SendSMS(number, piece)) {
                    anySent = true;
                    if (progress && progress->onSent) progress->onSent(static_cast<int>(next + 1));
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
