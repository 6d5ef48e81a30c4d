// The simulator's own codec: what it decodes from a library and builds for it.
#include <gtest/gtest.h>

#include "tools/modemsim/Sms.h"

using namespace modemsim;

TEST(ModemSimCodec, SevenBitPackingFollowsTheStandardExample) {
  // GSM 03.38: "hellohello" packs to E8329BFD4697D9EC37.
  auto septets = toSeptets(toU32("hellohello"));
  EXPECT_EQ(toHex(pack7(septets, 0)), "E8329BFD4697D9EC37");
  EXPECT_EQ(toUtf8(fromSeptets(unpack7(*fromHex("E8329BFD4697D9EC37"), 0, 10))), "hellohello");
  // Eight septets fill seven octets exactly.
  EXPECT_EQ(pack7(toSeptets(toU32("12345678")), 0).size(), 7u);
}

TEST(ModemSimCodec, ExtensionTableAndFallbacks) {
  EXPECT_EQ(toSeptets(toU32("€[")), (std::vector<uint8_t>{0x1B, 0x65, 0x1B, 0x3C}));
  EXPECT_EQ(toUtf8(fromSeptets({0x1B, 0x65, 0x00, 0x7F})), "€@à");
  EXPECT_EQ(toUtf8(fromSeptets({0x1B, 0x41, 0x1B, 0x1B, 0x62, 0x1B})), "A b ");
  EXPECT_TRUE(gsmEncodable(toU32("Grüße {}")));
  EXPECT_FALSE(gsmEncodable(toU32("Привет")));
  EXPECT_EQ(dcsFor("Привет", "auto"), 8);
  EXPECT_EQ(dcsFor("plain", "auto"), 0);
  // Not UTF-8: read as Windows-1252 as old software writes it.
  EXPECT_EQ(toUtf8(toU32(std::string("caf\xE9 \x80"))), "café €");
  EXPECT_EQ(toCp1252(toU32("é€Ж")), "\xE9\x80?");
}

TEST(ModemSimCodec, DeliverRoundTripsWithConcatenationHeader) {
  Deliver d;
  d.smsc = "+60120000010";
  d.oa = parseAddress("+60123456789");
  d.dcs = 0;
  d.scts = TimeStamp{15, 7, 7, 14, 5, 9, 32};
  d.concat = Concat{7, 3, 2};
  d.text = "Part two";
  std::string error;
  auto back = decodeDeliver(encodeDeliver(d), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->d.oa.number, "60123456789");
  EXPECT_EQ(back->d.oa.toa, 0x91);
  EXPECT_EQ(back->d.smsc, "+60120000010");
  EXPECT_EQ(back->d.text, "Part two");
  ASSERT_TRUE(back->d.concat);
  EXPECT_EQ(back->d.concat->ref, 7);
  EXPECT_EQ(back->d.concat->seq, 2);
  EXPECT_EQ(back->d.scts.text(), "15/07/07,14:05:09+32");
  EXPECT_EQ(back->firstOctet, 0x44);
}

TEST(ModemSimCodec, DeliverWithoutHeaderMatchesAHandBuiltUnit) {
  Deliver d;
  d.smsc = "";
  d.oa = parseAddress("0123456789");
  d.scts = TimeStamp{15, 7, 7, 14, 5, 9, -8};
  d.text = "Hi";
  // 00 | 04 | 0A 81 1032547698 | 00 00 | 51707041509048 (tz -8: 80 | 08) | 02 C834
  EXPECT_EQ(encodeDeliver(d), "00040A81103254769800005170704150908802C834");
}

TEST(ModemSimCodec, AlphanumericSenderIsPackedText) {
  Deliver d;
  d.oa = parseAddress("Bank");
  d.text = "x";
  EXPECT_EQ(d.oa.toa, 0xD0);
  std::string error;
  auto back = decodeDeliver(encodeDeliver(d), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->d.oa.number, "Bank");
}

TEST(ModemSimCodec, SubmitChecksLengthsAndLayout) {
  std::string error;
  // Relative validity present: 0011; without validity: 0001.
  auto s = decodeSubmit("0001000B910621436587F9000005C8329BFD06", 18, error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(s->ud.text, "Hello");
  EXPECT_FALSE(decodeSubmit("0001000B910621436587F9000005C8329BFD06", 19, error));
  EXPECT_NE(error.find("does not match"), std::string::npos);
  // User-data length beyond 160 septets.
  std::string big = "0001000B910621436587F90000A1" + std::string(282, '0');
  EXPECT_FALSE(decodeSubmit(big, static_cast<int>(big.size() - 2) / 2, error));
  // Header length pointing past the user data.
  EXPECT_FALSE(decodeSubmit("0041000B910621436587F900080209FF", 15, error));
  // A service centre in the unit is read and kept.
  auto withSca = decodeSubmit("07910621000010F001000B910621436587F9000005C8329BFD06", 18, error);
  ASSERT_TRUE(withSca) << error;
  EXPECT_EQ(withSca->sca, "+60120000010");
}

TEST(ModemSimCodec, StatusReportLayout) {
  StatusReport r;
  r.mr = 12;
  r.ra = parseAddress("+60123456789");
  r.scts = TimeStamp{15, 7, 7, 14, 5, 9, 32};
  r.dt = r.scts;
  r.status = 0x30;
  EXPECT_EQ(encodeStatusReport(r), "00060C0B910621436587F9" "51707041509023" "51707041509023" "30");
}
