#include "pdu/PDU.h"

#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "pdu/Helpers.h"
#include "platform/text/Text.h"

namespace GSM {

namespace {

using parlix::text::toUtf16;
using parlix::text::toUtf8;

std::uint8_t checkedByte(long long value, const char* property) {
  if (value < 0 || value > 255) {
    throw std::overflow_error(std::string("PDU.") + property + ": " + std::to_string(value) +
                              " is outside the Byte range 0..255");
  }
  return static_cast<std::uint8_t>(value);
}

// "F" fills an odd last semi-octet; some modems print it in lower case.
void dropFiller(std::u16string& s) {
  std::erase_if(s, [](char16_t c) { return c == u'F' || c == u'f'; });
}

// How the coding octet says the user data is written (GSM 03.38, clause 4).
enum class Alphabet { Gsm7, Data8, Ucs2, Unreadable };

Alphabet alphabetOf(int dcs) {
  const int group = dcs >> 4;
  if (group < 8) {  // general data coding, with or without automatic deletion
    if ((dcs & 0x20) != 0) return Alphabet::Unreadable;  // compressed
    switch ((dcs >> 2) & 3) {
      case 1: return Alphabet::Data8;
      case 2: return Alphabet::Ucs2;
      default: return Alphabet::Gsm7;  // 3 is reserved: read as the default alphabet
    }
  }
  if (group == 0xE) return Alphabet::Ucs2;                              // message waiting, UCS-2
  if (group == 0xF) return (dcs & 0x04) != 0 ? Alphabet::Data8 : Alphabet::Gsm7;
  return Alphabet::Gsm7;  // message waiting groups and reserved ones
}

// Octets of the user-data header (its length octet included) at the front of the
// user data, or -1 when the header does not fit in what follows.
int headerOctets(std::u16string_view userData) {
  const int udhl = userData.size() >= 2 ? HexValue(userData.substr(0, 2)) : -1;
  if (udhl < 0 || static_cast<std::size_t>(udhl + 1) * 2 > userData.size()) return -1;
  return udhl + 1;
}

// Text of 7-bit user data behind a header: the header takes whole septets, so the text
// starts after the fill bits that pad it to a septet boundary.
std::optional<std::u16string> textAfterHeader(std::u16string_view userData, int udl) {
  const int header = headerOctets(userData);
  if (header < 0) return std::nullopt;
  const int headerSeptets = (header * 8 + 6) / 7;
  if (udl < headerSeptets) return std::nullopt;
  auto septets = UnpackSeptets(userData.substr(static_cast<std::size_t>(header) * 2),
                               headerSeptets * 7 - header * 8, static_cast<std::size_t>(udl - headerSeptets));
  if (!septets) return std::nullopt;
  return FromSeptets(*septets);
}

// Consumes the unit from the front. Fields are taken as text or as hexadecimal
// values; any shortfall or bad digit ends the decode.
class Reader {
 public:
  explicit Reader(std::u16string_view unit) : unit_(unit) {}

  bool take(std::size_t k, std::u16string_view& out) {
    if (unit_.size() - pos_ < k) return false;
    out = unit_.substr(pos_, k);
    pos_ += k;
    return true;
  }

  // Two hexadecimal digits as a value, or -1.
  int takeHex() {
    std::u16string_view t;
    if (!take(2, t)) return -1;
    return HexValue(t);
  }

  std::u16string_view rest() const { return unit_.substr(pos_); }

 private:
  std::u16string_view unit_;
  std::size_t pos_ = 0;
};

void appendPadded(std::u16string& out, std::u16string_view s) {
  if (s.size() == 1) out += u'0';
  out += s;
}

}  // namespace

PDU::PDU()
    : TPHeader_(17),
      SMSCTypeOfAddr_(u"0"),
      TPMsgRef_(0),
      TP_ProtocolID_(0),
      TP_DataCode_(0),
      TP_Validity_(255),
      SenderTypeOfAddr_(145) {}

void PDU::let_TPHeader(long long value) { TPHeader_ = checkedByte(value, "TPHeader"); }
void PDU::let_TPMsgRef(long long value) { TPMsgRef_ = checkedByte(value, "TPMsgRef"); }
void PDU::let_TP_ProtocolID(long long value) { TP_ProtocolID_ = checkedByte(value, "TP_ProtocolID"); }
void PDU::let_TP_Validity(long long value) { TP_Validity_ = checkedByte(value, "TP_Validity"); }
void PDU::let_SenderTypeOfAddr(long long value) {
  SenderTypeOfAddr_ = checkedByte(value, "SenderTypeOfAddr");
}

void PDU::let_TP_DataCode(long long value) {
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    throw std::overflow_error("PDU.TP_DataCode: " + std::to_string(value) + " is outside the Long range");
  }
  TP_DataCode_ = static_cast<std::int32_t>(value);
}

std::string PDU::get_SMSCTypeOfAddr() const { return toUtf8(SMSCTypeOfAddr_); }
void PDU::let_SMSCTypeOfAddr(const std::string& value) { SMSCTypeOfAddr_ = toUtf16(value); }

std::string PDU::get_MSISDN() const {
  std::u16string s = MSISDN_;
  std::erase(s, u'+');
  return toUtf8(s);
}

void PDU::let_MSISDN(const std::string& value) {
  MSISDN_ = toUtf16(value);
  if (MSISDN_.size() <= 8) MSISDN_ = IDDPrefix_ + MSISDN_;
}

std::string PDU::get_SMSText() const { return toUtf8(SMSText_); }
void PDU::let_SMSText(const std::string& value) {
  SMSText_ = toUtf16(value);
  if (NeedsUnicode(SMSText_)) TP_DataCode_ = DCS::Unicode;
}

std::string PDU::get_PDU() const { return toUtf8(PDU_); }
void PDU::let_PDU(const std::string& value) { PDU_ = toUtf16(value); }

std::string PDU::get_SMSC() const { return toUtf8(SMSC_); }
std::string PDU::get_TimeStamp() const { return toUtf8(TimeStamp_); }

void PDU::let_IDDPrefix(const std::string&) { IDDPrefix_ = u"65"; }

void PDU::EncodePDU() {
  const std::size_t n = MSISDN_.size();
  if (n % 2 != 0) MSISDN_ += u'F';

  std::u16string userData;
  std::size_t userDataLength;
  if (TP_DataCode_ != 0) {
    userData = EncodeUCS2(SMSText_);
    userDataLength = userData.size() / 2;
  } else {
    userData = Encode7Bit(SMSText_, &userDataLength);  // an escape pair counts two septets
  }

  std::u16string unit;
  unit.reserve(SMSCTypeOfAddr_.size() + MSISDN_.size() + userData.size() + 32);
  appendPadded(unit, SMSCTypeOfAddr_);
  appendPadded(unit, Hex(TPHeader_));
  appendPadded(unit, Hex(TPMsgRef_));
  appendPadded(unit, Hex(static_cast<std::int32_t>(n)));
  appendPadded(unit, Hex(SenderTypeOfAddr_));
  unit += SwapSemiOctets(MSISDN_);
  appendPadded(unit, Hex(TP_ProtocolID_));
  appendPadded(unit, Hex(TP_DataCode_));
  appendPadded(unit, Hex(TP_Validity_));
  appendPadded(unit, Hex(static_cast<std::int32_t>(userDataLength)));
  unit += userData;
  PDU_ = std::move(unit);
}

bool PDU::DecodePDU() noexcept {
  try {
    // Every field is whole octets: an odd length is a truncated unit.
    if (PDU_.size() % 2 != 0) return false;
    // PDU is given back what is left at every exit.
    const std::u16string unit = std::move(PDU_);
    Reader r(unit);
    std::u16string_view t;
    bool ok = false;
    [&] {
      const int smscLength = r.takeHex();
      if (smscLength < 0) return;
      if (!r.take(2, t)) return;
      SMSCTypeOfAddr_ = u"&H" + std::u16string(t);
      const int smscType = HexValue(t);
      if (smscLength == 0) return;  // no room for the type octet just read
      if (!r.take(2 * static_cast<std::size_t>(smscLength) - 2, t)) return;
      SMSC_ = SwapSemiOctets(t);
      dropFiller(SMSC_);
      if (smscType < 0) return;
      if (smscType == 145) SMSC_.insert(SMSC_.begin(), u'+');

      const int header = r.takeHex();
      if (header < 0) return;
      TPHeader_ = static_cast<std::uint8_t>(header);
      // Only a received message has this layout. A status report or a sent message that
      // a modem keeps in the same store would come out as a garbled message.
      if ((header & 0x03) == 0x01 || (header & 0x03) == 0x02) return;

      const int addressLength = r.takeHex();  // semi-octets
      if (addressLength < 0) return;
      const int digits = addressLength + addressLength % 2;

      const int senderType = r.takeHex();
      if (senderType < 0) return;
      SenderTypeOfAddr_ = static_cast<std::uint8_t>(senderType);

      if (!r.take(static_cast<std::size_t>(digits), t)) return;
      if (senderType == 145) {
        MSISDN_ = u"+" + SwapSemiOctets(t);
        dropFiller(MSISDN_);
      } else if ((senderType & 0x70) == 0x50) {  // alphanumeric, whatever the plan bits
        // A name in 7-bit septets: the length counts the semi-octets they fill.
        auto name = UnpackSeptets(t, 0, static_cast<std::size_t>(addressLength) * 4 / 7);
        if (!name) return;
        MSISDN_ = FromSeptets(*name);
      } else {
        MSISDN_ = SwapSemiOctets(t);
        dropFiller(MSISDN_);
        if (MSISDN_.size() > 6) MSISDN_ = IDDPrefix_ + MSISDN_;
      }

      const int protocol = r.takeHex();
      if (protocol < 0) return;
      TP_ProtocolID_ = static_cast<std::uint8_t>(protocol);

      const int coding = r.takeHex();
      if (coding < 0) return;
      TP_DataCode_ = coding;

      if (!r.take(14, t)) return;
      TimeStamp_ = FormatTimeStamp(SwapSemiOctets(t));

      // The user-data length stays at the front of PDU.
      const std::u16string_view rest = r.rest();
      const int udl = rest.size() < 2 ? -1 : HexValue(rest.substr(0, 2));
      if (udl < 0) return;
      const std::u16string_view userData = rest.substr(2);
      // A part of a long message: its header is skipped, the text comes out clean.
      const bool hasHeader = (header & 0x40) != 0;
      const Alphabet alphabet = alphabetOf(coding);
      if (alphabet == Alphabet::Ucs2) {
        const int skip = hasHeader ? headerOctets(userData) : 0;
        if (skip < 0) return;
        auto text = DecodeUCS2(userData.substr(static_cast<std::size_t>(skip) * 2));
        if (!text) return;
        SMSText_ = std::move(*text);
      } else if (alphabet != Alphabet::Gsm7) {
        return;  // 8-bit data or compressed text is no text to show
      } else if (hasHeader) {
        auto text = textAfterHeader(userData, udl);
        if (!text) return;
        SMSText_ = std::move(*text);
      } else if (rest == u"00") {
        SMSText_.clear();
      } else {
        auto text = Decode7Bit(rest);
        if (!text) return;
        SMSText_ = std::move(*text);
      }
      ok = true;
    }();
    PDU_.assign(r.rest());
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace GSM
