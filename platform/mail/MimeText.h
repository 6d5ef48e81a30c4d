// Text helpers of the mail layer, over GMime, iconv and libxml2 (internal).
#pragma once

#include <string>
#include <string_view>

struct _GMimeParserOptions;

namespace parlix::mail::detail {

// GMime set up once per process; the parser options every parse uses.
void initMime();
_GMimeParserOptions* parserOptions();

// Raw header text made safe for GMime's RFC 2047 decoder (see the .cpp for the faults
// it works around). Still raw: the caller decodes it with GMime.
std::string mendEncodedWords(std::string_view raw);

// Bytes in `charset` (empty = not declared) as UTF-8. Undeclared or unknown charsets
// are guessed: UTF-8 when the bytes are valid UTF-8, ISO-2022-JP when they hold its
// escape sequences, else the most fitting of the fallback charsets.
std::string toUtf8(std::string_view bytes, const std::string& charset);

// Any bytes as valid UTF-8 (bad sequences become U+FFFD).
std::string validUtf8(std::string_view text);

// An HTML document (UTF-8) as plain text: no markup, scripts or styles; block
// elements and <br> end lines; runs of blanks collapse. With detectCharset the bytes
// are in the charset the page's <meta> names (Latin-1 without one).
std::string htmlToText(std::string_view html, bool detectCharset = false);

// "\r\n" and lone "\r" as "\n".
std::string unixLines(std::string_view text);

}  // namespace parlix::mail::detail
