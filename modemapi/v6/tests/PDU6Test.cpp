#include <gtest/gtest.h>

#include <string>

#include "modemapi/v6/MSISDN.h"
#include "modemapi/v6/PDU6.h"
#include "modemapi/v6/tests/Units.h"

namespace QuentraSMSAPI6 {
namespace {

using testutil::unpackAfterHeader;

TEST(FormatMSISDN, NormalisesLocalNumbersOnly) {
  EXPECT_EQ(FormatMSISDN("012-3456789"), "60123456789");
  EXPECT_EQ(FormatMSISDN("+60123456789"), "60123456789");
  EXPECT_EQ(FormatMSISDN("+-01"), "601");
  EXPECT_EQ(FormatMSISDN("0312345678"), "0312345678");  // a land line keeps its form
  EXPECT_EQ(FormatMSISDN("012 345"), "6012 345");        // blanks are the caller's job
  EXPECT_EQ(FormatMSISDN(""), "");
}

// Long messages use the alphabet of single ones: umlauts, Greek capitals and the
// extension table arrive as sent, never as the low bits of another code.
TEST(LongMessageAlphabet, SameAsSingleMessages) {
  const struct {
    const char* text;
    std::string septets;
  } cases[] = {
      {"@\xC2\xA3$\xC3\x87\n_A", std::string("\x00\x01\x02\x09\x0A\x11" "A", 7)},
      {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC2\xA7", "\x7B\x7C\x7E\x5B\x5F"},  // ä ö ü Ä §
      {"\xCE\x94\xCE\xA9", "\x10\x15"},                                        // Δ Ω
      {"[\xE2\x82\xAC]", "\x1B\x3C\x1B\x65\x1B\x3E"},                          // [€]
      {"\xD0\x96", "?"},                                                         // Ж: no code
  };
  for (const auto& c : cases) {
    const std::string packed = Encode7BitAfterUDH(c.text);
    EXPECT_EQ(unpackAfterHeader(packed, c.septets.size()), c.septets) << c.text;
  }
}

TEST(Encode7BitAfterUDH, LeavesOneFillBitAndPacksInOrder) {
  EXPECT_EQ(Encode7BitAfterUDH("A"), "82");
  EXPECT_EQ(Encode7BitAfterUDH("AB"), "8242");
  EXPECT_EQ(Encode7BitAfterUDH(""), "");

  std::string text;
  const std::string plain = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,?!";
  for (int i = 0; i < 153; ++i) text += plain[static_cast<std::size_t>(i * 7) % plain.size()];
  const std::string packed = Encode7BitAfterUDH(text);
  EXPECT_EQ(packed.size(), 134u * 2);  // 1 fill bit + 153 * 7 bits
  EXPECT_EQ(unpackAfterHeader(packed, text.size()), text);

}

TEST(BuildSubmitPDU, FullPartHasHeaderAndLengthA0) {
  const std::string text(153, 'x');
  SubmitUnit u;
  ASSERT_TRUE(BuildSubmitPDU("60123456789", text, 5, 2, 1, 7, u));
  const std::string expectedHead = std::string("00") + "61" + "00" + "0B" + "81" +
                                   "0621436587F9" + "00" + "00" + "A0" + "050003050201";
  EXPECT_EQ(u.unit.substr(0, expectedHead.size()), expectedHead);
  const std::string userData = u.unit.substr(expectedHead.size());
  EXPECT_EQ(userData.size(), 134u * 2);  // 6 header octets + 134 = 140
  EXPECT_EQ(unpackAfterHeader(userData, 153), text);
  EXPECT_EQ(u.septets, 153);
  EXPECT_EQ(u.tpduOctets, (u.unit.size() - 2) / 2);
  EXPECT_EQ(u.tpduOctets, 13 + 6 + 134);
}

TEST(BuildSubmitPDU, EscapePairsCountTwoSeptets) {
  // 151 letters and "€" fill the part: length A0, and the pair is the last two septets.
  SubmitUnit u;
  ASSERT_TRUE(BuildSubmitPDU("60123456789", std::string(151, 'x') + "\u20AC", 5, 2, 1, 7, u));
  EXPECT_EQ(u.septets, 153);
  const std::string head = "0061000B810621436587F90000A0050003050201";
  ASSERT_EQ(u.unit.substr(0, head.size()), head);
  EXPECT_EQ(unpackAfterHeader(u.unit.substr(head.size()), 153).substr(151), "\x1B\x65");
}

TEST(BuildSubmitPDU, InternationalNumberCentreAndValidity) {
  SubmitUnit u;
  ASSERT_TRUE(BuildSubmitPDU("+6012345", "hi", 255, 16, 10, 7, u, "\"+60123\"", 167));
  EXPECT_EQ(u.unit.substr(0, 10), "04910621F3");  // centre: 4 octets, type 91, 60123
  const std::string tpdu = u.unit.substr(10);
  EXPECT_EQ(tpdu.substr(0, 16), "71000791062143F5");
  EXPECT_EQ(tpdu.substr(16, 8), "0000A709");        // protocol, coding, validity, 2 + 7
  EXPECT_EQ(tpdu.substr(24, 12), "050003FF100A");
  EXPECT_EQ(u.tpduOctets, tpdu.size() / 2);
}

TEST(BuildSubmitPDU, RefusesWhatCannotFormAUnit) {
  SubmitUnit u;
  u.unit = "untouched";
  EXPECT_FALSE(BuildSubmitPDU("6012", "", 1, 1, 1, 7, u));
  EXPECT_FALSE(BuildSubmitPDU("6012", std::string(154, 'a'), 1, 1, 1, 7, u));
  EXPECT_FALSE(BuildSubmitPDU("6012", std::string(152, 'a') + "\u20AC", 1, 1, 1, 7, u));  // 154 septets
  EXPECT_FALSE(BuildSubmitPDU("6012", "a", 1, 1, 1, 9, u));
  EXPECT_FALSE(BuildSubmitPDU("6012", "a", 1, 1, 1, 8, u));   // only 7-bit units are built
  EXPECT_FALSE(BuildSubmitPDU("6012", "a", 256, 1, 1, 7, u));  // header octets stay octets
  EXPECT_FALSE(BuildSubmitPDU("6012", "a", -1, 1, 1, 7, u));
  EXPECT_FALSE(BuildSubmitPDU("6012", "a", 1, 300, 1, 7, u));
  EXPECT_EQ(u.unit, "untouched");
}

}  // namespace
}  // namespace QuentraSMSAPI6
