#include <gmime/gmime.h>

#include <cstdio>
#include <stdexcept>

#include "platform/mail/Mail.h"
#include "platform/mail/MimeText.h"

namespace parlix::mail {

using detail::parserOptions;
using detail::toUtf8;
using detail::validUtf8;

namespace {

// Owns a GLib/GMime object or string for one scope.
template <typename T>
struct Ref {
    T* p = nullptr;
    explicit Ref(T* ptr) : p(ptr) {}
    ~Ref() {
        if (p) g_object_unref(p);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* operator->() const { return p; }
    operator T*() const { return p; }
};

std::string takeString(char* s) {
    std::string r = s ? s : "";
    g_free(s);
    return r;
}

std::string trim(std::string s) {
    const char* blanks = " \t\r\n";
    s.erase(0, s.find_first_not_of(blanks));
    s.erase(s.find_last_not_of(blanks) + 1);
    return s;
}

// A header field is one line: line breaks in a value become blanks.
std::string oneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

// The raw value of a header, unfolded and with the decoder's faults kept away.
std::string rawHeader(GMimeObject* obj, const char* name) {
    GMimeHeader* h = g_mime_header_list_get_header(g_mime_object_get_header_list(obj), name);
    if (!h) return {};
    const char* raw = g_mime_header_get_raw_value(h);
    if (!raw) return {};
    return detail::mendEncodedWords(trim(takeString(g_mime_utils_header_unfold(raw))));
}

std::string decodeHeaderText(const std::string& raw) {
    return validUtf8(trim(takeString(g_mime_utils_header_decode_text(parserOptions(), raw.c_str()))));
}

// The mailboxes of an address list, members of groups included.
void collectMailboxes(InternetAddressList* list, std::vector<MailMessage::Recipient>& found, int depth = 0) {
    if (!list || depth > 8) return;
    for (int i = 0; i < internet_address_list_length(list); ++i) {
        InternetAddress* ia = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(ia)) {
            collectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), found, depth + 1);
            continue;
        }
        const char* n = internet_address_get_name(ia);
        const char* a = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia));
        found.push_back({validUtf8(trim(n ? n : "")), validUtf8(trim(a ? a : ""))});
    }
}

std::string fromText(const std::string& name, const std::string& address) {
    if (name.empty()) return address;
    if (address.empty()) return name;
    return name + " <" + address + ">";
}

std::string partBytes(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) return {};
    Ref<GMimeStream> mem(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, mem);  // undoes the transfer encoding
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.p));
    return std::string(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

// "Content-Type: text" without a subtype: GMime reads it as application/octet-stream and
// drops its parameters; other mail programs read it as text/plain.
void mendMissingSubtype(GMimeObject* obj) {
    std::string raw = rawHeader(obj, "Content-Type");
    if (raw.size() < 4 || g_ascii_strncasecmp(raw.c_str(), "text", 4) != 0) return;
    const std::string rest = raw.substr(4);
    if (!rest.empty() && rest.find_first_not_of(" \t") != std::string::npos &&
        rest[rest.find_first_not_of(" \t")] != ';')
        return;
    GMimeContentType* type = g_mime_content_type_parse(parserOptions(), ("text/plain" + rest).c_str());
    if (!type) return;
    g_mime_object_set_content_type(obj, type);
    g_object_unref(type);
}

// GMime builds 1024 levels of parts; below them it leaves the rest of the mail as the
// prologue of a multipart without parts, starting with that multipart's own boundary.
constexpr int kDeepest = 1100;

// The first text/<subtype> part that belongs to the message's own text: attached
// files and attached mails are passed over.
GMimePart* findText(GMimeObject* obj, const char* subtype, bool top, int depth) {
    if (!obj || depth > kDeepest) return nullptr;
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        for (int i = 0; i < g_mime_multipart_get_count(mp); ++i)
            if (GMimePart* p = findText(g_mime_multipart_get_part(mp, i), subtype, false, depth + 1)) return p;
        return nullptr;
    }
    if (!GMIME_IS_PART(obj)) return nullptr;
    mendMissingSubtype(obj);
    GMimeContentType* type = g_mime_object_get_content_type(obj);
    if (!type || !g_mime_content_type_is_type(type, "text", subtype)) return nullptr;
    if (!top && g_mime_part_is_attachment(GMIME_PART(obj))) return nullptr;
    return GMIME_PART(obj);
}

// The rest of a mail nested deeper than GMime goes (see kDeepest), or nothing.
std::string nestedBeyondParser(GMimeObject* obj, int depth = 0) {
    if (!obj || !GMIME_IS_MULTIPART(obj) || depth > kDeepest) return {};
    GMimeMultipart* mp = GMIME_MULTIPART(obj);
    const int count = g_mime_multipart_get_count(mp);
    if (count > 0) return nestedBeyondParser(g_mime_multipart_get_part(mp, count - 1), depth + 1);
    const char* boundary = g_mime_multipart_get_boundary(mp);
    const char* prologue = g_mime_multipart_get_prologue(mp);
    if (!boundary || !prologue) return {};
    const std::string text = prologue, delimiter = std::string("--") + boundary;
    if (!text.starts_with(delimiter)) return {};
    const auto lineEnd = text.find('\n');
    return lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);
}

std::string charsetOf(GMimePart* part) {
    const char* cs = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return cs ? cs : "";
}

std::string textOf(GMimeObject* top) {
    if (GMimePart* plain = findText(top, "plain", true, 0))
        return detail::unixLines(toUtf8(partBytes(plain), charsetOf(plain)));
    if (GMimePart* html = findText(top, "html", true, 0)) {
        std::string charset = charsetOf(html);
        std::string bytes = partBytes(html);
        // Without a MIME charset the page's own <meta charset> may say what it is.
        bool detect = charset.empty() && !g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
        return detail::htmlToText(detect ? bytes : toUtf8(bytes, charset), detect);
    }
    return {};
}

std::string bodyOf(GMimeMessage* msg) {
    GMimeObject* top = g_mime_message_get_mime_part(msg);
    if (!top) return {};
    std::string text = textOf(top);
    if (!text.empty()) return text;
    // Nested deeper than GMime goes: the rest is read as a part of its own, a bounded
    // number of times.
    std::string rest = nestedBeyondParser(top);
    for (int round = 0; round < 16 && !rest.empty(); ++round) {
        Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(rest.data(), rest.size()));
        Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
        Ref<GMimeObject> part(g_mime_parser_construct_part(parser, parserOptions()));
        if (!part.p) break;
        text = textOf(part);
        if (!text.empty()) return text;
        rest = nestedBeyondParser(part);
    }
    // A multipart whose boundary never occurs has no parts; its text is all prologue.
    if (GMIME_IS_MULTIPART(top) && g_mime_multipart_get_count(GMIME_MULTIPART(top)) == 0) {
        const char* prologue = g_mime_multipart_get_prologue(GMIME_MULTIPART(top));
        if (prologue) return detail::unixLines(trim(toUtf8(prologue, "")));
    }
    return {};
}

// A header that ends without a blank line ends at the first line that is no header
// field (nor its continuation, nor an mbox "From " line); a mail that begins with such a
// line has no header at all. GMime would read on to the next blank line and drop those
// lines, so the blank line is put in where it is missing.
std::string withHeaderEnd(const std::string& bytes) {
    std::size_t at = 0;
    for (bool first = true; at < bytes.size(); first = false) {
        const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
        std::string_view line(bytes.data() + at, end - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return bytes;  // the header's own end
        bool header = (first && line.starts_with("From ")) || (!first && (line[0] == ' ' || line[0] == '\t'));
        if (!header) {
            std::size_t n = 0;
            while (n < line.size() && line[n] > ' ' && line[n] < 127 && line[n] != ':') ++n;
            std::size_t colon = n;
            while (colon < line.size() && (line[colon] == ' ' || line[colon] == '\t')) ++colon;
            header = n > 0 && colon < line.size() && line[colon] == ':';
        }
        if (!header) {
            const bool crlf = end > at && end < bytes.size() && bytes[end - 1] == '\r';
            return bytes.substr(0, at) + (crlf ? "\r\n" : "\n") + bytes.substr(at);
        }
        at = end + 1;
    }
    return bytes;
}

std::string localText(GDateTime* dt) {
    if (!dt) return {};
    GDateTime* local = g_date_time_to_local(dt);
    if (!local) return {};
    std::string r = takeString(g_date_time_format(local, "%Y-%m-%d %H:%M:%S"));
    g_date_time_unref(local);
    return r;
}

// "YYYY-MM-DD HH:MM:SS" local, or an RFC 5322 date; nullptr when neither.
GDateTime* readDate(const std::string& text) {
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) == 6)
        return g_date_time_new_local(y, mo, d, h, mi, s);
    return g_mime_utils_header_decode_date(text.c_str());
}

// The mailboxes an address text names ("a@x", "Name <a@x>", several split by "," or ";").
std::vector<MailMessage::Recipient> readAddresses(const std::string& name, std::string address) {
    address = trim(oneLine(address));
    if (address.empty()) return {};
    for (char& c : address)
        if (c == ';') c = ',';
    std::vector<MailMessage::Recipient> found;
    if (InternetAddressList* list = internet_address_list_parse(parserOptions(), address.c_str())) {
        collectMailboxes(list, found);
        g_object_unref(list);
    }
    std::erase_if(found, [](const MailMessage::Recipient& r) { return r.address.empty(); });
    if (found.empty()) found.push_back({"", address});
    if (found.size() == 1 && !trim(name).empty()) found[0].name = trim(oneLine(name));
    return found;
}

// GMime 3.2 writes a header text holding "=?" in ways it cannot read back (the "=?"
// left bare, an encoded word folded in the middle of an escape). A word joiner, which
// readers do not show, keeps such a "=?" from looking like the start of an encoded word.
std::string forEncoder(const std::string& text) {
    std::string out;
    size_t pos = 0, hit;
    while ((hit = text.find("=?", pos)) != std::string::npos) {
        out.append(text, pos, hit - pos);
        out += "=\u2060?";
        pos = hit + 2;
    }
    out.append(text, pos);
    return out;
}

void addMailboxes(InternetAddressList* list, const std::vector<MailMessage::Recipient>& people) {
    for (const auto& r : people) {
        InternetAddress* ia = internet_address_mailbox_new(forEncoder(r.name).c_str(), r.address.c_str());
        internet_address_list_add(list, ia);
        g_object_unref(ia);
    }
}

}  // namespace

std::string MailMessage::Body() const { return body_; }
std::string MailMessage::Subject() const { return subject_; }
std::string MailMessage::From() const { return from_; }
std::string MailMessage::FromAddress() const { return fromAddress_; }
std::string MailMessage::Date() const { return date_; }

void MailMessage::SetSubject(const std::string& subject) { subject_ = validUtf8(oneLine(subject)); }
void MailMessage::SetBody(const std::string& body) { body_ = validUtf8(body); }

void MailMessage::SetFrom(const std::string& from) {
    from_ = validUtf8(trim(oneLine(from)));
    auto people = readAddresses("", from_);
    fromAddress_ = people.empty() ? std::string() : people.front().address;
}

void MailMessage::SetDate(const std::string& date) {
    std::string text = trim(date);
    if (text.empty()) {
        date_.clear();
        return;
    }
    detail::initMime();
    GDateTime* dt = readDate(text);
    if (!dt) throw std::invalid_argument("not a date: \"" + validUtf8(text) + "\"");
    date_ = localText(dt);
    g_date_time_unref(dt);
}

void MailMessage::AddTo(const std::string& name, const std::string& address) {
    detail::initMime();
    for (auto& r : readAddresses(validUtf8(name), validUtf8(address))) to_.push_back(std::move(r));
}

void MailMessage::AddCC(const std::string& name, const std::string& address) {
    detail::initMime();
    for (auto& r : readAddresses(validUtf8(name), validUtf8(address))) cc_.push_back(std::move(r));
}

void MailMessage::ClearTo() { to_.clear(); }
void MailMessage::ClearCC() { cc_.clear(); }

MailMessage MailMessage::parse(const std::string& bytes) {
    detail::initMime();
    MailMessage m;
    const std::string mail = withHeaderEnd(bytes);
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(mail.data(), mail.size()));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    g_mime_parser_set_format(parser, GMIME_FORMAT_MESSAGE);
    Ref<GMimeMessage> msg(g_mime_parser_construct_message(parser, parserOptions()));
    if (!msg.p) return m;
    GMimeObject* obj = GMIME_OBJECT(msg.p);

    m.subject_ = decodeHeaderText(rawHeader(obj, "Subject"));

    std::string fromRaw = rawHeader(obj, "From");
    std::vector<Recipient> senders;
    if (InternetAddressList* from = internet_address_list_parse(parserOptions(), fromRaw.c_str())) {
        collectMailboxes(from, senders);
        g_object_unref(from);
    }
    if (!senders.empty()) {
        m.from_ = fromText(senders.front().name, senders.front().address);
        m.fromAddress_ = senders.front().address;
    } else {
        m.from_ = decodeHeaderText(fromRaw);
    }

    m.date_ = localText(g_mime_message_get_date(msg));
    m.body_ = bodyOf(msg);
    return m;
}

std::string MailMessage::toMime() const {
    detail::initMime();
    Ref<GMimeMessage> msg(g_mime_message_new(TRUE));

    auto sender = readAddresses("", from_);
    addMailboxes(g_mime_message_get_addresses(msg, GMIME_ADDRESS_TYPE_FROM), sender);
    addMailboxes(g_mime_message_get_addresses(msg, GMIME_ADDRESS_TYPE_TO), to_);
    addMailboxes(g_mime_message_get_addresses(msg, GMIME_ADDRESS_TYPE_CC), cc_);
    g_mime_message_set_subject(msg, forEncoder(subject_).c_str(), "utf-8");

    GDateTime* when = date_.empty() ? g_date_time_new_now_local() : readDate(date_);
    if (!when) when = g_date_time_new_now_local();
    g_mime_message_set_date(msg, when);
    g_date_time_unref(when);

    std::string domain = "localhost";
    if (auto at = fromAddress_.rfind('@'); at != std::string::npos && at + 1 < fromAddress_.size())
        domain = fromAddress_.substr(at + 1);
    g_mime_message_set_message_id(msg, takeString(g_mime_utils_generate_message_id(domain.c_str())).c_str());

    Ref<GMimeTextPart> text(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_text(text, detail::unixLines(body_).c_str());
    g_mime_part_set_content_encoding(
        GMIME_PART(text.p), g_mime_part_get_best_content_encoding(GMIME_PART(text.p), GMIME_ENCODING_CONSTRAINT_7BIT));
    g_mime_message_set_mime_part(msg, GMIME_OBJECT(text.p));

    GMimeFormatOptions* format = g_mime_format_options_clone(nullptr);
    g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
    std::string out = takeString(g_mime_object_to_string(GMIME_OBJECT(msg.p), format));
    g_mime_format_options_free(format);
    return out;
}

long MailBundle::Count() const { return static_cast<long>(messages_.size()); }

const MailMessage& MailBundle::GetEmail(long i) const {
    if (i < 0 || i >= Count())
        throw std::out_of_range("MailBundle::GetEmail: index " + std::to_string(i) + " of " + std::to_string(Count()));
    return messages_[static_cast<size_t>(i)];
}

}  // namespace parlix::mail
