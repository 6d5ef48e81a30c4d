// MIME bytes in, parsed fields out: nothing may crash, every field must be UTF-8, and a
// message built from the fields must read back with the same subject.
#include <glib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/mail/Mail.h"

using parlix::mail::MailMessage;

static bool utf8(const std::string& s) { return g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MailMessage m = MailMessage::parse(std::string(reinterpret_cast<const char*>(data), size));
    for (const auto& text : {m.Subject(), m.From(), m.FromAddress(), m.Date(), m.Body()})
        if (!utf8(text)) std::abort();

    MailMessage out;
    out.SetSubject(m.Subject());
    out.SetBody(m.Body());
    out.SetFrom(m.From());
    out.AddTo("", m.FromAddress());
    // The layer writes a word joiner (U+2060) into "=?" so that it reads back as text;
    // a subject may hold joiners of its own, so both sides are compared without them.
    auto withoutJoiners = [](std::string s) {
        for (size_t at; (at = s.find("\u2060")) != std::string::npos;) s.erase(at, 3);
        return s;
    };
    if (withoutJoiners(MailMessage::parse(out.toMime()).Subject()) != withoutJoiners(out.Subject())) std::abort();
    return 0;
}
