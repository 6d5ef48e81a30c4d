#include "platform/text/Text.h"

#include <array>

namespace parlix::text {

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five unassigned bytes.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char16_t kReplacement = 0xFFFD;

// Writes cp at p and returns the position after it.
char* putUtf8(char* p, char32_t cp) {
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (cp >> 18));
    *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

}  // namespace

std::u16string toUtf16(std::string_view s) {
  // Never more code units than bytes: a 4-byte sequence gives two units.
  std::u16string out(s.size(), u'\0');
  std::size_t w = 0;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      out[w++] = static_cast<char16_t>(b0);
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4, cp = b0 & 0x07, min = 0x10000;
    }
    bool ok = len != 0 && i + static_cast<std::size_t>(len) <= n;
    for (int k = 1; ok && k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (b & 0x3F);
      }
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out[w++] = kReplacement;
      ++i;
      continue;
    }
    if (cp < 0x10000) {
      out[w++] = static_cast<char16_t>(cp);
    } else {
      cp -= 0x10000;
      out[w++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[w++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
    i += static_cast<std::size_t>(len);
  }
  out.resize(w);
  return out;
}

std::string toUtf8(std::u16string_view s) {
  // At most three bytes per code unit (a pair gives four for two units).
  std::string out(s.size() * 3, '\0');
  char* const begin = out.data();
  char* p = begin;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t u = s[i];
    if (u < 0x80) {
      *p++ = static_cast<char>(u);
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
               s[i + 1] <= 0xDFFF) {
      p = putUtf8(p, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                         (static_cast<char32_t>(s[i + 1]) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      p = putUtf8(p, kReplacement);
    } else {
      p = putUtf8(p, u);
    }
  }
  out.resize(static_cast<std::size_t>(p - begin));
  return out;
}

unsigned char toAnsiChar(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<unsigned char>(u);
  for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
    if (kCp1252High[k] == u) return static_cast<unsigned char>(0x80 + k);
  }
  // The unassigned bytes round-trip through their own code units.
  if (u >= 0x80 && u <= 0x9F && kCp1252High[u - 0x80] == 0) return static_cast<unsigned char>(u);
  return '?';
}

char16_t fromAnsiChar(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) {
    const char16_t u = kCp1252High[b - 0x80];
    return u != 0 ? u : static_cast<char16_t>(b);
  }
  return static_cast<char16_t>(b);
}

std::string toAnsi(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    // A surrogate pair is one character, so one "?".
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      ++i;
      out += '?';
      continue;
    }
    out += static_cast<char>(toAnsiChar(s[i]));
  }
  return out;
}

std::u16string fromAnsi(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char c : s) out += fromAnsiChar(static_cast<unsigned char>(c));
  return out;
}

std::string utf8ToAnsi(std::string_view utf8) { return toAnsi(toUtf16(utf8)); }

std::string ansiToUtf8(std::string_view ansi) { return toUtf8(fromAnsi(ansi)); }

std::size_t lengthUtf16(std::string_view utf8) { return toUtf16(utf8).size(); }

std::string cleanNumber(std::string_view number) {
    std::string out;
    out.reserve(number.size());
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (c == ' ' || c == '\t' || c == '-') continue;
        if (c == '\xC2' && i + 1 < number.size() && number[i + 1] == '\xA0') {  // U+00A0 in UTF-8
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace parlix::text
