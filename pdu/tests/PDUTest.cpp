#include "pdu/PDU.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "pdu/Helpers.h"
#include "platform/text/Text.h"

namespace {

using GSM::PDU;

std::string encode(const std::string& number, const std::string& text) {
  PDU p;
  p.let_SMSText(text);
  p.let_MSISDN(number);
  p.EncodePDU();
  return p.get_PDU();
}

// Public examples of the SMS PDU layout (GSM 03.40), as printed in
// "SMS and the PDU format" (Lars Pettersson, dreamfabric.com; mirrored at
// subnets.ru/saved/sms_pdu_format.html) and the modem notes quoted beside it.
struct DeliverFixture {
  const char* source;
  const char* unit;
  const char* smsc;
  const char* sender;
  int senderType;
  const char* timeStamp;
  const char* text;
  const char* rest;
};

const DeliverFixture kDelivers[] = {
    {"dreamfabric SMS-DELIVER example, sender of type C8",
     "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", "+27381000015",
     "27838890001", 0xC8, "2099-Mar-29 15:16:59", "hellohello", "0AE8329BFD4697D9EC37"},
    {"jdsms.com.cn PDU article, 'How are you?' read from a modem",
     "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07", "+31624000000",
     "31641600986", 0x91, "2002-Aug-26 19:37:41", "How are you?", "0CC8F71D14969741F977FD07"},
    {"mobilephonetechnology.co.uk SMS format note, received 'hellohello'",
     "0791447758100650040C914477072143650000919092510312430AE8329BFD4697D9EC37", "+447785016005",
     "447770123456", 0x91, "2019-Sep-29 15:30:21", "hellohello", "0AE8329BFD4697D9EC37"},
};

}  // namespace

TEST(PDUEncode, NewObjectWritesTheDefaultLayout) {
  // 11 digits: length 0B, "F" before the last digit; "hello" packs to 5 octets.
  EXPECT_EQ(encode("60123456789", "hello"), "0011000B910621436587F90000FF05E8329BFD06");
  // Even length: no "F"; the length field counts digits.
  EXPECT_EQ(encode("601234567890", "A"), "0011000C910621436587090000FF0141");
}

TEST(PDUEncode, KnownSubmitUnit) {
  // dreamfabric SMS-SUBMIT example: 46708251358, validity AA, "hellohello".
  PDU p;
  p.let_SMSText("hellohello");
  p.let_MSISDN("46708251358");
  p.let_TP_Validity(0xAA);
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU(), "0011000B916407281553F80000AA0AE8329BFD4697D9EC37");
  // The member keeps the padding "F"; the length field did not count it.
  EXPECT_EQ(p.get_MSISDN(), "46708251358F");
}

TEST(PDUEncode, ServiceCentrePartIsWrittenAsGiven) {
  PDU p;
  p.let_SMSText("A");
  p.let_MSISDN("601234567890");
  p.let_SMSCTypeOfAddr("07917283010010F5");
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU(), "07917283010010F5" "11000C910621436587090000FF0141");
  p.let_SMSCTypeOfAddr("");
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU(), "11000C910621436587090000FF0141");
  p.let_SMSCTypeOfAddr("0");
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU().substr(0, 4), "0011");
}

TEST(PDUEncode, SevenBitLengthsCountCharacters) {
  auto userData = [](const std::string& text) {
    // Fixed 12-digit number: the user-data length sits at offset 28.
    return encode("601234567890", text).substr(28);
  };
  EXPECT_EQ(userData("A"), "0141");
  EXPECT_EQ(userData("ABCDEFG"), "0741E19058341E01");
  // 8 septets fill 7 octets exactly.
  EXPECT_EQ(userData("ABCDEFGH"), "0841E19058341E91");
  EXPECT_EQ(userData("ABCDEFGHI").size(), 2u + 16u);
  const std::string u160 = userData(std::string(160, 'x'));
  EXPECT_EQ(u160.substr(0, 2), "A0");
  EXPECT_EQ(u160.size(), 2u + 280u);
  // Above 255 the length is written as it comes, three digits.
  EXPECT_EQ(userData(std::string(300, 'x')).substr(0, 3), "12C");
}

TEST(PDUEncode, EmptySevenBitTextThrows) {
  PDU p;
  p.let_MSISDN("601234567890");
  EXPECT_THROW(p.EncodePDU(), std::runtime_error);
  // UCS-2 can carry an empty text.
  p.let_TP_DataCode(GSM::DCS::Unicode);
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU(), "0011000C910621436587090008FF00");
}

TEST(PDUEncode, UnicodeSwitchAndForcedSevenBit) {
  PDU p;
  p.let_SMSText("A");
  EXPECT_EQ(p.get_TP_DataCode(), 0);
  p.let_SMSText("\xE4\xBD\xA0\xE5\xA5\xBD");  // 你好
  EXPECT_EQ(p.get_TP_DataCode(), 8);
  p.let_SMSText("plain");  // never switches back
  EXPECT_EQ(p.get_TP_DataCode(), 8);

  p.let_MSISDN("601234567890");
  p.let_SMSText("A\xF0\x9F\x98\x80");  // A + U+1F600, two code units
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU().substr(24), "08FF060041D83DDE00");

  // Forced back to 7-bit: a Greek capital has its GSM code (Delta 10), a character
  // the alphabet lacks goes as "?".
  p.let_SMSText("\xCE\x94" "1");
  p.let_TP_DataCode(0);
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU().substr(24), "00FF029018");
  p.let_SMSText("\xD0\x96" "1");  // Cyrillic Zhe
  p.let_TP_DataCode(0);
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU().substr(24), "00FF02BF18");
}

TEST(PDUEncode, AnsiCharactersOutsideTheAlphabetDoNotCorruptNeighbours) {
  // "ç" (ANSI 231) has no GSM code; it goes as "?" and "A" around it stays intact.
  PDU p;
  p.let_SMSText("A\xC3\xA7" "A");
  p.let_MSISDN("601234567890");
  p.EncodePDU();
  const std::string unit = p.get_PDU();
  auto text = GSM::Decode7Bit(parlix::text::toUtf16(unit.substr(28)));
  ASSERT_TRUE(text);
  EXPECT_EQ(parlix::text::toUtf8(*text), "A?A");
}

TEST(PDUProperties, ByteRangeIsEnforced) {
  PDU p;
  p.let_TPHeader(0);
  p.let_TPMsgRef(255);
  EXPECT_EQ(p.get_TPMsgRef(), 255);
  EXPECT_THROW(p.let_TPHeader(256), std::overflow_error);
  EXPECT_THROW(p.let_TPMsgRef(-1), std::overflow_error);
  EXPECT_THROW(p.let_TP_ProtocolID(1000), std::overflow_error);
  EXPECT_THROW(p.let_TP_Validity(-255), std::overflow_error);
  EXPECT_THROW(p.let_SenderTypeOfAddr(300), std::overflow_error);
  EXPECT_EQ(p.get_TPHeader(), 0);  // a refused value leaves the old one
  EXPECT_THROW(p.let_TP_DataCode(1LL << 40), std::overflow_error);
  // A negative coding is written as its 32-bit two's complement.
  p.let_SMSText("\xE4\xBD\xA0");
  p.let_TP_DataCode(-1);
  p.let_MSISDN("601234567890");
  p.EncodePDU();
  EXPECT_NE(p.get_PDU().find("00FFFFFFFFFF024F60"), std::string::npos);
}

TEST(PDUProperties, MSISDNAndIDDPrefix) {
  PDU p;
  p.let_MSISDN("12345678");  // prefix still empty
  EXPECT_EQ(p.get_MSISDN(), "12345678");
  p.let_IDDPrefix("44");  // any value gives 65
  p.let_MSISDN("12345678");
  EXPECT_EQ(p.get_MSISDN(), "6512345678");
  p.let_MSISDN("123456789");
  EXPECT_EQ(p.get_MSISDN(), "123456789");
  p.let_MSISDN("+60123456789");
  EXPECT_EQ(p.get_MSISDN(), "60123456789");
  // The stored "+" is swapped into the address unchanged.
  p.let_SMSText("A");
  p.EncodePDU();
  EXPECT_EQ(p.get_PDU().substr(6, 16), "0C916+1032547698");
}

TEST(PDUDecode, KnownDeliverUnits) {
  for (const DeliverFixture& f : kDelivers) {
    SCOPED_TRACE(f.source);
    PDU p;
    p.let_PDU(f.unit);
    ASSERT_TRUE(p.DecodePDU());
    EXPECT_EQ(p.get_SMSC(), f.smsc);
    EXPECT_EQ(p.get_SMSCTypeOfAddr(), "&H91");
    EXPECT_EQ(p.get_MSISDN(), f.sender);  // Get drops the "+"
    EXPECT_EQ(p.get_SenderTypeOfAddr(), f.senderType);
    EXPECT_EQ(p.get_TPHeader(), 4);
    EXPECT_EQ(p.get_TimeStamp(), f.timeStamp);
    EXPECT_EQ(p.get_SMSText(), f.text);
    EXPECT_EQ(p.get_PDU(), f.rest);
  }
}

TEST(PDUDecode, SenderTypes) {
  const std::string tail = "0000517070415090000141";  // 2015-Jul-07 14:05:09, "A"
  PDU p;
  // National type 81, 10 digits: unchanged while no prefix was assigned.
  p.let_PDU("0781062143658709" "04" "0A81" "1032547698" + tail);
  ASSERT_TRUE(p.DecodePDU());
  EXPECT_EQ(p.get_MSISDN(), "0123456789");
  EXPECT_EQ(p.get_SMSC(), "601234567890");  // type 81 gets no "+"
  EXPECT_EQ(p.get_SMSCTypeOfAddr(), "&H81");
  EXPECT_EQ(p.get_TimeStamp(), "2015-Jul-07 14:05:09");

  PDU q;
  q.let_IDDPrefix("");
  q.let_PDU("00" "" + std::string("04") + "0781" "1032547F" + tail);  // no SMSC part: rejected
  EXPECT_FALSE(q.DecodePDU());
  q.let_PDU("0191" "04" "0781" "1032547F" + tail);  // 7 digits get the prefix
  ASSERT_TRUE(q.DecodePDU());
  EXPECT_EQ(q.get_MSISDN(), "650123457");
  EXPECT_EQ(q.get_SMSC(), "+");
  q.let_PDU("0191" "04" "0681" "103254" + tail);  // 6 digits do not
  ASSERT_TRUE(q.DecodePDU());
  EXPECT_EQ(q.get_MSISDN(), "012345");

  // Alphanumeric (D0): "Parlix" as 6 septets in 11 semi-octets.
  PDU r;
  r.let_PDU("0191" "04" "0BD0" "D0B09C9DC603" + tail);
  ASSERT_TRUE(r.DecodePDU());
  EXPECT_EQ(r.get_MSISDN(), "Parlix");
  EXPECT_EQ(r.get_SenderTypeOfAddr(), 0xD0);
}

TEST(PDUDecode, Codings) {
  const std::string head = "0191" "04" "0491" "1032" "00";
  const std::string ts = "51707041509000";
  PDU p;
  // UCS-2: 你好 and a character beyond U+FFFF as its two code units.
  p.let_PDU(head + "08" + ts + "084F60597DD83DDE00");
  ASSERT_TRUE(p.DecodePDU());
  EXPECT_EQ(p.get_SMSText(), "\xE4\xBD\xA0\xE5\xA5\xBD\xF0\x9F\x98\x80");
  EXPECT_EQ(p.get_TP_DataCode(), 8);
  EXPECT_EQ(p.get_PDU(), "084F60597DD83DDE00");
  // Empty 7-bit text.
  p.let_PDU(head + "00" + ts + "00");
  ASSERT_TRUE(p.DecodePDU());
  EXPECT_EQ(p.get_SMSText(), "");
  // 8 septets over 7 octets; the same octets with a count of 7 give 7.
  p.let_PDU(head + "00" + ts + "0841E19058341E91");
  ASSERT_TRUE(p.DecodePDU());
  EXPECT_EQ(p.get_SMSText(), "ABCDEFGH");
  p.let_PDU(head + "00" + ts + "0741E19058341E91");
  ASSERT_TRUE(p.DecodePDU());
  EXPECT_EQ(p.get_SMSText(), "ABCDEFG");
  // Month 13 leaves the month word out.
  p.let_PDU(head + "00" + "51317041509000" + "0141");
  ASSERT_TRUE(p.DecodePDU());
  EXPECT_EQ(p.get_TimeStamp(), "2015-07 14:05:09");
}

// Units as GSM 03.40 / 03.38 write them, built by hand: parts of long messages
// (header skipped with its fill bits), alphanumeric senders of every length,
// lower-case filler and coding groups.
TEST(PDUDecode, StandardUnitsComeOutClean) {
  const std::string ts = "51707041509000";
  const struct {
    const char* what;
    std::string unit;
    const char* sender;  // nullptr: the decode must fail
    const char* text;
  } cases[] = {
      {"7-bit part, 8-bit reference: one fill bit after 6 header octets",
       "0191" "44" "0491" "1032" "00" "00" + ts + "0A" "050003070201" "90E910", "+0123", "Hi!"},
      {"7-bit part, 16-bit reference: 7 header octets end on a septet",
       "0191" "44" "0491" "1032" "00" "00" + ts + "0A" "06080400070201" "EF35", "+0123", "ok"},
      {"UCS-2 part", "0191" "44" "0491" "1032" "00" "08" + ts + "0A" "050003070201" "00480069", "+0123", "Hi"},
      {"escape pair without header", "0191" "04" "0491" "1032" "00" "00" + ts + "029B32", "+0123",
       "\xE2\x82\xAC"},
      {"class 0, default alphabet", "0191" "04" "0491" "1032" "00" "F0" + ts + "0141", "+0123", "A"},
      {"eight-letter sender", "0191" "04" "0ED0" "49B7F92D0CBBD7" "00" "00" + ts + "0141", "InfoBank", "A"},
      {"nine-letter sender", "0191" "04" "10D0" "D0B09C9DC64F9B53" "00" "00" + ts + "0141", "ParlixSMS", "A"},
      {"lower-case filler", "07917283010010f5" "04" "0B91" "7238880900f1" "00" "00" + ts + "0141",
       "+27838890001", "A"},
      {"8-bit data", "0191" "04" "0491" "1032" "00" "04" + ts + "024869", nullptr, ""},
      {"8-bit data, class 0", "0191" "04" "0491" "1032" "00" "F4" + ts + "024869", nullptr, ""},
      {"compressed text", "0191" "04" "0491" "1032" "00" "20" + ts + "0141", nullptr, ""},
      {"header longer than the data", "0191" "44" "0491" "1032" "00" "00" + ts + "0A" "FF0003070201", nullptr, ""},
      {"length shorter than the header", "0191" "44" "0491" "1032" "00" "00" + ts + "03" "05000307020190E910",
       nullptr, ""},
      {"text cut short after the header", "0191" "44" "0491" "1032" "00" "00" + ts + "0A" "05000307020190", nullptr,
       ""},
      {"status report kept in the message store: no message", "0191" "06" "0C" "0B91" "0621436587F9" + ts + ts + "00",
       nullptr, ""},
      {"sent message kept in the message store: no message", "0191" "11" "00" "0491" "1032" "00" "00" "FF" "0141",
       nullptr, ""},
      {"reserved type is read as a message", "0191" "07" "0491" "1032" "00" "00" + ts + "0141", "+0123", "A"},
      {"name sender, other numbering plan", "0191" "04" "0ED1" "49B7F92D0CBBD7" "00" "00" + ts + "0141", "InfoBank",
       "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PDU p;
    p.let_PDU(c.unit);
    if (c.sender == nullptr) {
      EXPECT_FALSE(p.DecodePDU());
      continue;
    }
    ASSERT_TRUE(p.DecodePDU());
    EXPECT_EQ(p.get_MSISDN(), std::string(c.sender).substr(c.sender[0] == '+' ? 1 : 0));
    EXPECT_EQ(p.get_SMSText(), c.text);
  }
  PDU filler;
  filler.let_PDU(cases[7].unit);
  ASSERT_TRUE(filler.DecodePDU());
  EXPECT_EQ(filler.get_SMSC(), "+27381000015");
}

TEST(PDUDecode, MalformedUnitsReturnFalse) {
  const std::string good = kDelivers[0].unit;
  // Every cut before the user data, odd or even, is refused.
  const std::size_t userDataAt = good.size() - std::string(kDelivers[0].rest).size();
  for (std::size_t n = 0; n < userDataAt + 2; ++n) {
    PDU p;
    p.let_PDU(good.substr(0, n));
    EXPECT_FALSE(p.DecodePDU()) << n;
  }
  // A cut inside the user data that splits an octet is refused too.
  PDU odd;
  odd.let_PDU(good.substr(0, good.size() - 1));
  EXPECT_FALSE(odd.DecodePDU());

  const char* bad[] = {
      "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC3Z",  // bad user data
      "07917283010010F5XX0BC87238880900F10000993092516195800AE8329BFD4697D9EC37",  // bad first octet
      "07ZZ7283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",  // bad SMSC type
      "FF917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",  // SMSC overruns
      "07917283010010F504FFC87238880900F10000993092516195800AE8329BFD4697D9EC37",  // address overruns
      "0191040491103200085170704150900008004G",                                      // bad UCS-2 digit
      "\xE2\x82\xAC\xE2\x82\xAC",                                                    // not ASCII at all
  };
  for (const char* unit : bad) {
    PDU p;
    p.let_PDU(unit);
    EXPECT_FALSE(p.DecodePDU()) << unit;
  }
  // Service-centre digits are text, not values: a stray letter still reads.
  PDU letter;
  letter.let_PDU("0791728301001GF5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
  EXPECT_TRUE(letter.DecodePDU());
  EXPECT_EQ(letter.get_SMSC(), "+27381000G15");
}

TEST(PDUDecode, FailedDecodeKeepsWhatItReached) {
  PDU p;
  p.let_SMSText("before");
  p.let_PDU("07917283010010F5040BC87238880900F1000099309251619580");  // no user-data length
  EXPECT_FALSE(p.DecodePDU());
  EXPECT_EQ(p.get_SMSC(), "+27381000015");
  EXPECT_EQ(p.get_TimeStamp(), "2099-Mar-29 15:16:59");
  EXPECT_EQ(p.get_SMSText(), "before");
}

TEST(PDURoundTrip, SubmitReadBackAsDeliver) {
  // Every character of the alphabet: printable ASCII but "`", the Latin and Greek
  // letters of the default alphabet and the whole extension table.
  std::string chars = "\n\r\f{}|~";
  for (char c = ' '; c <= '~'; ++c) {
    if (c != '`') chars += c;
  }
  chars += "\xCE\x94\xCE\xA6\xCE\x93\xCE\x9B\xCE\xA9\xCE\xA0\xCE\xA8\xCE\xA3\xCE\x98\xCE\x9E\xE2\x82\xAC";
  chars += "\xC2\xA3\xC2\xA5\xC3\xA8\xC3\xA9\xC3\xB9\xC3\xAC\xC3\xB2\xC3\x87\xC3\x98\xC3\xB8\xC3\x85\xC3\xA5"
           "\xC3\x86\xC3\xA6\xC3\x9F\xC3\x89\xC2\xA4\xC2\xA1\xC3\x84\xC3\x96\xC3\x91\xC3\x9C\xC2\xA7\xC2\xBF"
           "\xC3\xA4\xC3\xB6\xC3\xB1\xC3\xBC\xC3\xA0";
  const std::u16string pool = parlix::text::toUtf16(chars);
  for (std::size_t len = 1; len <= 160; ++len) {
    std::u16string text;
    for (std::size_t i = 0; i < len; ++i) text += pool[(i * 7 + len) % pool.size()];
    const std::string utf8 = parlix::text::toUtf8(text);
    PDU out;
    out.let_SMSText(utf8);
    out.let_MSISDN("60123456789");
    out.let_TP_DataCode(GSM::DCS::Text);  // Greek and "€" would switch it to UCS-2
    out.EncodePDU();
    const std::string submit = out.get_PDU();
    // SUBMIT: 00 11 00 | 0B 91 <12 digits> | PID DCS VP | UDL UD
    // DELIVER: SMSC part | 04 | address | PID DCS | time stamp | UDL UD
    const std::string deliver = "07917283010010F5" "04" + submit.substr(6, 16) + submit.substr(22, 4) +
                                "51707041509000" + submit.substr(28);
    PDU in;
    in.let_PDU(deliver);
    ASSERT_TRUE(in.DecodePDU()) << len;
    EXPECT_EQ(in.get_SMSText(), utf8) << len;
    // The length field counts septets: an escape pair is two.
    EXPECT_EQ(std::stoi(submit.substr(28, 2), nullptr, 16),
              static_cast<int>(GSM::SeptetCount(text))) << len;
    EXPECT_EQ(in.get_MSISDN(), "60123456789");
  }
}
