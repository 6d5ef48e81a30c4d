#include "pdu/Helpers.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/text/Text.h"

using namespace GSM;
using parlix::text::toUtf16;
using parlix::text::toUtf8;

TEST(Helpers, HexPaddingAndSwapping) {
  EXPECT_EQ(Hex(0), u"0");
  EXPECT_EQ(Hex(255), u"FF");
  EXPECT_EQ(Hex(300), u"12C");
  EXPECT_EQ(Hex(-1), u"FFFFFFFF");
  EXPECT_EQ(PadHex2(u"B"), u"0B");
  EXPECT_EQ(PadHex2(u""), u"");
  EXPECT_EQ(PadHex2(u"12C"), u"12C");
  EXPECT_EQ(SwapSemiOctets(u"1234"), u"2143");
  EXPECT_EQ(SwapSemiOctets(u"123F"), u"21F3");
  EXPECT_EQ(SwapSemiOctets(u"12345"), u"21435");
  EXPECT_EQ(SwapSemiOctets(u""), u"");
}

TEST(Helpers, BitShifts) {
  EXPECT_EQ(ShiftRightBits(0xFF, 3), 0x1F);
  EXPECT_EQ(ShiftRightBits(0x80, 0), 0x80);
  EXPECT_EQ(ShiftLeftBits(0x7F, 7), 0x80);  // doubled on 16 bits, then the low byte
  EXPECT_EQ(ShiftLeftBits(0x03, 1), 0x06);
  EXPECT_EQ(DecToBin(5), "00000101");
  EXPECT_EQ(DecToBin(-3), "0");
  EXPECT_EQ(BinToDec("00000101"), 5);
  EXPECT_EQ(BinToDec(std::string(64, '1')), 0);  // too wide: error value
  EXPECT_EQ(ShiftBitsLeft7("101", 2), "10100");
  EXPECT_EQ(ShiftBitsRight8("11111111", 3), "00011111");
}

// The septet formula on binary-digit texts must agree with the bit arithmetic
// of Decode7Bit for every pair of octets and every position in the group.
TEST(Helpers, Decode7BitMatchesTheBinaryDigitFormula) {
  for (int j = 2; j <= 7; ++j) {
    for (int prev = 0; prev < 256; ++prev) {
      for (int cur = 0; cur < 256; cur += 7) {
        const std::string p = DecToBin(prev);
        const std::string c = DecToBin(cur);
        const long long expected =
            BinToDec(ShiftBitsLeft7(c.substr(static_cast<std::size_t>(j)), j - 1)) |
            BinToDec(ShiftBitsRight8(p, 9 - j));
        // Octets 1..j with the chosen pair at j-1, j; septet j is character j.
        std::u16string hex = u"07";
        for (int k = 1; k <= j; ++k) {
          const int o = k == j ? cur : (k == j - 1 ? prev : 0);
          hex += PadHex2(Hex(o));
        }
        const auto septets = Unpack7Bit(hex);
        ASSERT_TRUE(septets);
        ASSERT_GE(septets->size(), static_cast<std::size_t>(j));
        ASSERT_EQ(static_cast<unsigned char>((*septets)[static_cast<std::size_t>(j - 1)]), expected)
            << "j=" << j << " prev=" << prev << " cur=" << cur;
      }
    }
  }
}

TEST(Helpers, CharacterTableBothWays) {
  // GSM 03.38 default alphabet positions of the characters the table pairs.
  const struct {
    int gsm;
    const char* utf8;
  } pairs[] = {
      {0, "@"}, {1, "\xC2\xA3"}, {2, "$"}, {3, "\xC2\xA5"}, {4, "\xC3\xA8"}, {5, "\xC3\xA9"},
      {6, "\xC3\xB9"}, {7, "\xC3\xAC"}, {8, "\xC3\xB2"}, {9, "\xC3\x87"}, {11, "\xC3\x98"},
      {12, "\xC3\xB8"}, {14, "\xC3\x85"}, {15, "\xC3\xA5"}, {17, "_"}, {28, "\xC3\x86"},
      {29, "\xC3\xA6"}, {30, "\xC3\x9F"}, {31, "\xC3\x89"}, {36, "\xC2\xA4"}, {64, "\xC2\xA1"},
      {91, "\xC3\x84"}, {92, "\xC3\x96"}, {93, "\xC3\x91"}, {94, "\xC3\x9C"}, {95, "\xC2\xA7"},
      {96, "\xC2\xBF"}, {123, "\xC3\xA4"}, {124, "\xC3\xB6"}, {125, "\xC3\xB1"}, {126, "\xC3\xBC"},
      {127, "\xC3\xA0"},
  };
  for (const auto& p : pairs) {
    const std::u16string one = PadHex2(Hex(p.gsm));
    EXPECT_EQ(Encode7Bit(toUtf16(p.utf8)), one) << p.utf8;
    EXPECT_EQ(toUtf8(*Decode7Bit(u"01" + one)), p.utf8) << p.gsm;
  }
  // Letters, digits, LF and CR keep their codes.
  for (int code : {65, 122, 55, 10, 13}) {
    EXPECT_EQ(GsmCodeOf(static_cast<char16_t>(code)), code);
    EXPECT_EQ(GsmToUnicode(static_cast<unsigned char>(code)), code);
  }
}

// GSM 03.38 as published: the Greek capitals and the extension table, each way,
// checked against packed units written out by hand.
TEST(Helpers, GreekCapitalsAndExtensionTable) {
  const char* greek = "\xCE\x94\xCE\xA6\xCE\x93\xCE\x9B\xCE\xA9\xCE\xA0\xCE\xA8\xCE\xA3\xCE\x98\xCE\x9E";
  EXPECT_EQ(ToSeptets(toUtf16(greek)), std::string("\x10\x12\x13\x14\x15\x16\x17\x18\x19\x1A"));
  EXPECT_EQ(toUtf8(FromSeptets("\x10\x12\x13\x14\x15\x16\x17\x18\x19\x1A")), greek);

  const std::string ext = "\f^{}\\[~]|\xE2\x82\xAC";
  const std::string pairs = "\x1B\x0A\x1B\x14\x1B\x28\x1B\x29\x1B\x2F\x1B\x3C\x1B\x3D\x1B\x3E\x1B\x40\x1B\x65";
  EXPECT_EQ(ToSeptets(toUtf16(ext)), pairs);
  EXPECT_EQ(toUtf8(FromSeptets(pairs)), ext);
  EXPECT_EQ(SeptetCount(toUtf16(ext)), 20u);
  // "€" alone: 1B 65 packs to 9B 32.
  EXPECT_EQ(Encode7Bit(toUtf16("\xE2\x82\xAC")), u"9B32");
  EXPECT_EQ(Decode7Bit(u"029B32"), u"\u20AC");

  // No GSM code: one "?" per character, a surrogate pair included.
  EXPECT_EQ(ToSeptets(toUtf16("`\xD0\x96\xF0\x9F\x98\x80" "a")), "???a");
  EXPECT_EQ(SeptetCount(toUtf16("`\xD0\x96\xF0\x9F\x98\x80" "a")), 4u);
  // An escape before a code the table lacks gives that code's character; a lone or
  // doubled escape a blank. The blank itself is 20, never the escape.
  EXPECT_EQ(FromSeptets("\x1B" "A" "\x1B\x1B" "b" "\x1B"), u"A b ");
  EXPECT_EQ(GsmCodeOf(u' '), 0x20);
}

TEST(Helpers, SplitBySeptetsKeepsPairsWhole) {
  // 152 letters then "€": the pair would straddle 153, so it opens the next piece.
  const std::u16string text = std::u16string(152, u'a') + u"\u20AC" + u"bc";
  const auto pieces = SplitBySeptets(text, 153);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], std::u16string(152, u'a'));
  EXPECT_EQ(pieces[1], u"\u20AC" u"bc");
  // Exactly full pieces, and a surrogate pair that never splits.
  EXPECT_EQ(SplitBySeptets(std::u16string(306, u'x'), 153).size(), 2u);
  const std::u16string emoji = std::u16string(2, u'y') + u"\U0001F600";
  const auto two = SplitBySeptets(emoji, 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[1], u"\U0001F600");
  EXPECT_TRUE(SplitBySeptets(u"", 153).empty());
}

TEST(Helpers, PackAndUnpackWithFillBits) {
  // hellohello: the GSM 03.38 example, and the same septets behind one fill bit.
  const std::string septets = ToSeptets(u"hellohello");
  EXPECT_EQ(PackSeptets(septets, 0), "E8329BFD4697D9EC37");
  for (int fill = 0; fill <= 6; ++fill) {
    const std::string hex = PackSeptets(septets, fill);
    EXPECT_EQ(hex.size(), (static_cast<std::size_t>(fill) + 70 + 7) / 8 * 2) << fill;
    EXPECT_EQ(UnpackSeptets(toUtf16(hex), fill, 10), septets) << fill;
  }
  EXPECT_FALSE(UnpackSeptets(u"E832", 0, 3));   // 16 bits hold only 2 septets
  EXPECT_FALSE(UnpackSeptets(u"E8ZZ", 0, 2));
  EXPECT_EQ(UnpackSeptets(u"", 0, 0), "");
}

TEST(Helpers, UnicodeTestAndUCS2) {
  // Fits the alphabet: every character has a code, the extension table's included;
  // small Greek letters, Cyrillic, a tab and a surrogate pair do not.
  EXPECT_TRUE(FitsGsmAlphabet(u"Price 5\u20AC [ok] ~ \u0394\u03A6 \u00E9\r\n"));
  for (std::u16string_view no : {u"\u03BA", u"\u0416", u"a\tb", u"\U0001F600"}) EXPECT_FALSE(FitsGsmAlphabet(no));
  EXPECT_FALSE(NeedsUnicode(u""));
  EXPECT_FALSE(NeedsUnicode(u"caf\u00E9\u00FF"));
  EXPECT_TRUE(NeedsUnicode(u"a\u0100"));
  EXPECT_TRUE(NeedsUnicode(std::u16string(1, 0xFFFF)));
  EXPECT_EQ(EncodeUCS2(u"A\u00E9\uFFFF"), u"004100E9FFFF");
  EXPECT_THROW(Encode7Bit(u""), std::runtime_error);
}

TEST(Helpers, Decode7BitCountQuirksAndErrors) {
  // The count does not limit the output: 2 octets give 2 septets whatever it says.
  EXPECT_EQ(Decode7Bit(u"014121"), u"AB");
  // A count that is a multiple of 8 adds the unused top bits of the last octet.
  EXPECT_EQ(Decode7Bit(u"0841E19058341E91"), u"ABCDEFGH");
  EXPECT_EQ(Decode7Bit(u"10" u"41E19058341E91" u"41E19058341E91"), u"ABCDEFGHABCDEFGH");
  EXPECT_EQ(Decode7Bit(u"00"), u"");
  EXPECT_FALSE(Decode7Bit(u""));
  EXPECT_FALSE(Decode7Bit(u"0"));
  EXPECT_FALSE(Decode7Bit(u"0241E"));
  EXPECT_FALSE(Decode7Bit(u"ZZ41"));
  EXPECT_FALSE(Decode7Bit(u"014G"));
}

TEST(Helpers, TimeStampMonths) {
  EXPECT_EQ(FormatTimeStamp(u"15070714050900"), u"2015-Jul-07 14:05:09");
  EXPECT_EQ(FormatTimeStamp(u"150A0100000000"), u"2015-Oct-01 00:00:00");
  EXPECT_EQ(FormatTimeStamp(u"150C0100000000"), u"2015-Dec-01 00:00:00");
  EXPECT_EQ(FormatTimeStamp(u"15000100000000"), u"2015-01 00:00:00");
  EXPECT_EQ(FormatTimeStamp(u"1512"), u"2015-Dec- :" u":");  // short input never overruns
}

TEST(Helpers, DecodeUCS2Groups) {
  EXPECT_EQ(DecodeUCS2(u"4F60597D"), u"\u4F60\u597D");
  EXPECT_EQ(DecodeUCS2(u"D83DDE00"), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(DecodeUCS2(u"004100E"), u"A\u000E");  // a short last group still counts
  EXPECT_EQ(DecodeUCS2(u""), u"");
  EXPECT_FALSE(DecodeUCS2(u"00G1"));
}
