#include "platform/mail/MimeText.h"

#include <gmime/gmime.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace parlix::mail::detail {

namespace {

std::string lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return r;
}

// Latin-1 labels are read as Windows-1252, as mail readers and browsers do: mailers
// label text as ISO-8859-1 and still put the euro sign and curly quotes in 0x80-0x9F,
// which ISO-8859-1 would turn into invisible control characters.
std::string iconvName(std::string_view charset) {
    std::string cs = lower(charset);
    if (auto star = cs.find('*'); star != std::string::npos) cs.erase(star);  // RFC 2231 language
    while (!cs.empty() && (cs.back() == ' ' || cs.back() == '\t')) cs.pop_back();
    while (!cs.empty() && (cs.front() == ' ' || cs.front() == '\t')) cs.erase(0, 1);
    if (cs == "iso-8859-1" || cs == "iso8859-1" || cs == "iso_8859-1" || cs == "latin1" || cs == "l1" ||
        cs == "latin-1")
        return "windows-1252";
    // GB2312 mail routinely holds GBK characters; GB18030 reads both.
    if (cs == "gb2312" || cs == "gbk" || cs == "x-gbk" || cs == "euc-cn") return "gb18030";
    return cs;
}

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](unsigned char c) { return c < 0x80; });
}

// Converts with iconv; bad or cut-off input becomes U+FFFD instead of ending the text.
// False when iconv does not know the charset.
bool convert(std::string_view in, const std::string& charset, std::string& out) {
    // iconv itself, not g_mime_iconv_open: that one opens something even for names
    // iconv does not know, and the text would come out as replacement characters.
    iconv_t cd = iconv_open("UTF-8", g_mime_charset_iconv_name(charset.c_str()));
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    std::string buf(4096, '\0');
    char* inp = const_cast<char*>(in.data());
    size_t inleft = in.size();
    for (;;) {
        char* outp = buf.data();
        size_t outleft = buf.size();
        size_t rc = inleft ? iconv(cd, &inp, &inleft, &outp, &outleft) : iconv(cd, nullptr, nullptr, &outp, &outleft);
        int err = errno;
        out.append(buf.data(), buf.size() - outleft);
        if (rc != static_cast<size_t>(-1)) {
            if (inleft == 0) {
                // Flush the shift state of stateful charsets (ISO-2022-JP, UTF-7).
                outp = buf.data();
                outleft = buf.size();
                iconv(cd, nullptr, nullptr, &outp, &outleft);
                out.append(buf.data(), buf.size() - outleft);
                break;
            }
            continue;
        }
        if (err == E2BIG) continue;
        out += "\xEF\xBF\xBD";
        if (err == EILSEQ && inleft > 0) {
            ++inp;
            --inleft;
            continue;
        }
        break;  // EINVAL: the text ends inside a character
    }
    iconv_close(cd);
    return true;
}

GMimeParserOptions* g_options = nullptr;

}  // namespace

void initMime() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        xmlInitParser();
        g_options = g_mime_parser_options_new();
        g_mime_parser_options_set_rfc2047_compliance_mode(g_options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(g_options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(g_options, GMIME_RFC_COMPLIANCE_LOOSE);
        // Raw 8-bit header text: UTF-8 when it is, else the Western code page.
        const char* fallback[] = {"utf-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(g_options, fallback);
    });
}

GMimeParserOptions* parserOptions() {
    initMime();
    return g_options;
}

// Two faults of GMime 3.2's RFC 2047 decoder are kept away from it here:
// - adjacent B-encoded words of one charset are decoded as one base64 stream, so
//   everything after a word that ends in "=" padding is lost ("=?UTF-8?B?SGk=?=
//   =?UTF-8?B?V29ybGQ=?=" gives "Hi"). Each B word is decoded on its own and handed
//   over as the equivalent Q word, which GMime joins correctly, characters split
//   across words included.
// - ISO-8859-1 words would put C1 controls where Windows-1252 has the euro sign and
//   quotes; they are relabelled like body text (see iconvName).
std::string mendEncodedWords(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    size_t i = 0;
    while (i < raw.size()) {
        size_t start = raw.find("=?", i);
        if (start == std::string_view::npos) {
            out.append(raw.substr(i));
            break;
        }
        out.append(raw.substr(i, start - i));
        size_t q1 = raw.find('?', start + 2);
        size_t end = q1 == std::string_view::npos || q1 + 2 >= raw.size() ? std::string_view::npos
                                                                           : raw.find("?=", q1 + 3);
        char enc = q1 == std::string_view::npos || q1 + 1 >= raw.size() ? '\0' : raw[q1 + 1];
        std::string_view charset = q1 == std::string_view::npos ? std::string_view{} : raw.substr(start + 2, q1 - start - 2);
        bool word = end != std::string_view::npos && raw[q1 + 2] == '?' && std::strchr("bBqQ", enc) && enc &&
                    !charset.empty() && charset.find_first_of(" \t\r\n") == std::string_view::npos;
        std::string_view payload = word ? raw.substr(q1 + 3, end - q1 - 3) : std::string_view{};
        if (word && payload.find_first_of(" \t\r\n") != std::string_view::npos) word = false;
        if (!word) {
            // A "=?" that starts no encoded word makes GMime give up on the rest of the
            // header, the valid words after it included (and GMime itself writes such
            // subjects that way). Handed over as a word of its own, with the blanks
            // around it inside, so that none of them is dropped between words.
            size_t before = out.size();
            while (before > 0 && (out[before - 1] == ' ' || out[before - 1] == '\t')) --before;
            std::string blanksBefore(out.size() - before, '_');
            out.resize(before);
            size_t after = start + 2;
            while (after < raw.size() && (raw[after] == ' ' || raw[after] == '\t')) ++after;
            out += "=?us-ascii?Q?" + blanksBefore + "=3D=3F" + std::string(after - start - 2, '_') + "?=";
            i = after;
            continue;
        }
        std::string cs = iconvName(charset);
        if (enc == 'b' || enc == 'B') {
            std::string bytes(payload.size() * 3 / 4 + 4, '\0');
            int state = 0;
            guint32 save = 0;
            size_t n = g_mime_encoding_base64_decode_step(reinterpret_cast<const unsigned char*>(payload.data()),
                                                          payload.size(),
                                                          reinterpret_cast<unsigned char*>(bytes.data()), &state, &save);
            bytes.resize(n);
            out += "=?" + cs + "?Q?";
            static const char hex[] = "0123456789ABCDEF";
            for (unsigned char c : bytes) {
                if (std::isalnum(c)) {
                    out += static_cast<char>(c);
                } else {
                    out += '=';
                    out += hex[c >> 4];
                    out += hex[c & 15];
                }
            }
            out += "?=";
        } else {
            out += "=?" + cs + "?Q?";
            out.append(payload);
            out += "?=";
        }
        i = end + 2;
    }
    return out;
}

std::string validUtf8(std::string_view text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return std::string(text);
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string r(valid);
    g_free(valid);
    return r;
}

std::string toUtf8(std::string_view bytes, const std::string& charset) {
    std::string cs = iconvName(charset);
    // ASCII labels on 8-bit text are plainly wrong; guess instead.
    if (cs == "us-ascii" || cs == "ascii" || cs == "ansi_x3.4-1968") cs.clear();
    std::string out;
    if (!cs.empty() && convert(bytes, cs, out)) return validUtf8(out);
    if (bytes.find("\x1b$B") != std::string_view::npos || bytes.find("\x1b$@") != std::string_view::npos) {
        if (convert(bytes, "iso-2022-jp", out)) return validUtf8(out);
    }
    if (isAscii(bytes) || g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        return validUtf8(bytes);
    char* guessed = g_mime_utils_decode_8bit(parserOptions(), bytes.data(), bytes.size());
    out = guessed ? guessed : "";
    g_free(guessed);
    return validUtf8(out);
}

std::string unixLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

bool isBlock(const char* name) {
    static const char* const blocks[] = {"p", "div", "br", "li", "tr", "table", "ul", "ol", "h1", "h2", "h3",
                                         "h4", "h5", "h6", "blockquote", "hr", "pre", "section", "article",
                                         "header", "footer", "dt", "dd", "dl", "address", "center", "form",
                                         "nav", "aside", "main", "figure", "caption", "thead", "tbody", "tfoot"};
    for (const char* b : blocks)
        if (std::strcmp(name, b) == 0) return true;
    return false;
}

bool isSkipped(const char* name) {
    return std::strcmp(name, "script") == 0 || std::strcmp(name, "style") == 0 || std::strcmp(name, "head") == 0 ||
           std::strcmp(name, "title") == 0 || std::strcmp(name, "template") == 0 || std::strcmp(name, "noscript") == 0;
}

struct TextWriter {
    std::string out;
    bool pendingSpace = false;

    void lineBreak() {
        pendingSpace = false;
        out += '\n';
    }
    void text(const char* s, bool pre) {
        for (const char* p = s; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            // U+00A0 no-break space reads as a blank.
            if (c == 0xC2 && static_cast<unsigned char>(p[1]) == 0xA0) {
                ++p;
                c = ' ';
            }
            if (pre) {
                out += static_cast<char>(c);
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                pendingSpace = true;
                continue;
            }
            if (pendingSpace && !out.empty() && out.back() != '\n') out += ' ';
            pendingSpace = false;
            out += static_cast<char>(c);
        }
    }
    void walk(xmlNode* node, bool pre, int depth) {
        if (depth > 200) return;
        for (xmlNode* n = node; n; n = n->next) {
            if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                if (n->content) text(reinterpret_cast<const char*>(n->content), pre);
            } else if (n->type == XML_ELEMENT_NODE) {
                const char* name = reinterpret_cast<const char*>(n->name);
                if (isSkipped(name)) continue;
                if (std::strcmp(name, "br") == 0) {
                    lineBreak();
                    continue;
                }
                bool block = isBlock(name);
                if (block && !out.empty() && out.back() != '\n') lineBreak();
                walk(n->children, pre || std::strcmp(name, "pre") == 0, depth + 1);
                if (block && !out.empty() && out.back() != '\n') lineBreak();
            } else if (n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE) {
                walk(n->children, pre, depth + 1);
            }
        }
    }
};

// Trailing blanks off every line, at most one empty line in a row, none at either end.
std::string tidyLines(const std::string& text) {
    std::string out;
    int newlines = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(pos, nl - pos);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) {
            ++newlines;
        } else {
            if (!out.empty()) out.append(std::min(newlines, 1) + 1, '\n');
            out += line;
            newlines = 0;
        }
        pos = nl + 1;
    }
    return out;
}

}  // namespace

std::string htmlToText(std::string_view html, bool detectCharset) {
    initMime();
    if (html.empty()) return {};
    htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(std::min<size_t>(html.size(), INT32_MAX)),
                                    nullptr, detectCharset ? nullptr : "UTF-8",
                                    HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    if (!doc) return {};
    TextWriter w;
    w.walk(reinterpret_cast<xmlNode*>(doc), false, 0);
    xmlFreeDoc(doc);
    return validUtf8(tidyLines(w.out));
}

}  // namespace parlix::mail::detail
