// Joining logged parts as a handset would.
#include <gtest/gtest.h>

#include "tools/modemsim/SimModem.h"

using modemsim::SentMessage;

namespace {
SentMessage part(const std::string& number, int ref, int total, int seq, const std::string& text) {
  SentMessage m;
  m.number = number;
  m.hasUdh = true;
  m.ref = ref;
  m.total = total;
  m.seq = seq;
  m.text = text;
  return m;
}
SentMessage single(const std::string& number, const std::string& text) {
  SentMessage m;
  m.number = number;
  m.text = text;
  return m;
}
}  // namespace

TEST(ModemSimHarness, ReassembleJoinsInterleavedPartsInSequenceOrder) {
  auto joined = modemsim::reassemble({part("601", 7, 3, 2, "bb"), single("602", "alone"),
                                      part("603", 7, 2, 1, "x"), part("601", 7, 3, 1, "aa"),
                                      part("601", 7, 3, 3, "c"), part("603", 7, 2, 2, "y")});
  ASSERT_EQ(joined.size(), 3u);
  EXPECT_EQ(joined[0].number, "601");
  EXPECT_EQ(joined[0].text, "aabbc");
  EXPECT_TRUE(joined[0].complete);
  EXPECT_EQ(joined[0].parts, 3);
  EXPECT_EQ(joined[1].text, "alone");
  EXPECT_EQ(joined[2].text, "xy") << "same reference, other number: another message";
}

TEST(ModemSimHarness, ReassembleFlagsMissingAndRepeatedParts) {
  auto missing = modemsim::reassemble({part("601", 1, 3, 1, "a"), part("601", 1, 3, 3, "c")});
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_FALSE(missing[0].complete);
  EXPECT_EQ(missing[0].parts, 2);
  auto twice = modemsim::reassemble(
      {part("601", 1, 2, 1, "a"), part("601", 1, 2, 1, "a"), part("601", 1, 2, 2, "b")});
  ASSERT_EQ(twice.size(), 1u);
  EXPECT_FALSE(twice[0].complete) << "a part sent twice is a fault to see";
  EXPECT_EQ(twice[0].parts, 3);
}
