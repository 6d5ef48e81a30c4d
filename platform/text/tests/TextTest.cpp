#include "platform/text/Text.h"

#include <gtest/gtest.h>

using namespace parlix::text;

TEST(Text, Utf8Utf16RoundTripAcrossAllLengths) {
  // 1, 2, 3 and 4-byte sequences; the last is one character but two code units.
  const std::string s = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A é € 😀
  const std::u16string u = toUtf16(s);
  ASSERT_EQ(u.size(), 5u);
  EXPECT_EQ(u[0], u'A');
  EXPECT_EQ(u[1], 0x00E9);
  EXPECT_EQ(u[2], 0x20AC);
  EXPECT_EQ(u[3], 0xD83D);
  EXPECT_EQ(u[4], 0xDE00);
  EXPECT_EQ(toUtf8(u), s);
  EXPECT_EQ(lengthUtf16(s), 5u);
  EXPECT_EQ(toUtf16(""), u"");
}

TEST(Text, MalformedInputBecomesReplacement) {
  // Truncated sequence, stray continuation byte, overlong form, encoded surrogate.
  EXPECT_EQ(toUtf16("\xE2\x82"), std::u16string(2, 0xFFFD));
  EXPECT_EQ(toUtf16("\x80x"), (std::u16string{0xFFFD, u'x'}));
  EXPECT_EQ(toUtf16("\xC0\xAF"), std::u16string(2, 0xFFFD));
  EXPECT_EQ(toUtf16("\xED\xA0\x80"), std::u16string(3, 0xFFFD));
  // Lone surrogates on the way out.
  EXPECT_EQ(toUtf8(std::u16string{0xD800}), "\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(std::u16string{0xDC00, u'a'}), "\xEF\xBF\xBD" "a");
}

TEST(Text, AnsiCodePageBothWays) {
  EXPECT_EQ(toAnsiChar(u'A'), 'A');
  EXPECT_EQ(toAnsiChar(0x00E9), 0xE9);  // é is the same in Latin-1 and 1252
  EXPECT_EQ(toAnsiChar(0x20AC), 0x80);  // € sits in the 0x80..0x9F block
  EXPECT_EQ(toAnsiChar(0x0178), 0x9F);  // Ÿ
  EXPECT_EQ(toAnsiChar(0x0394), '?');   // Greek Delta has no ANSI code
  EXPECT_EQ(fromAnsiChar(0x80), 0x20AC);
  EXPECT_EQ(fromAnsiChar(0x9F), 0x0178);
  EXPECT_EQ(fromAnsiChar(0x81), 0x0081);  // unassigned byte keeps its value
  EXPECT_EQ(toAnsiChar(0x0081), 0x81);
  // Every byte survives a round trip through UTF-16.
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(toAnsiChar(fromAnsiChar(static_cast<unsigned char>(b))), b) << b;
  }
}

TEST(Text, AnsiStrings) {
  EXPECT_EQ(utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
  EXPECT_EQ(ansiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  // A character outside the BMP is one "?", not two.
  EXPECT_EQ(utf8ToAnsi("a\xF0\x9F\x98\x80" "b"), "a?b");
  EXPECT_EQ(utf8ToAnsi("\xE4\xBD\xA0"), "?");
}

TEST(Text, NumbersLoseBlanksAndDashesOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"012 345 6789", "0123456789"},      {"012-345\t6789", "0123456789"},
      {"+60 12-345 6789", "+60123456789"}, {"012\xC2\xA0" "3456789", "0123456789"},
      {" - - ", ""},                       {"01x2#", "01x2#"},  // not a number: left for the caller to refuse
      {"\xC2", "\xC2"},                    {"", ""},
  };
  for (const auto& [typed, clean] : cases) EXPECT_EQ(cleanNumber(typed), clean) << typed;
}
