#pragma once
// Concatenated SMS-SUBMIT units for long messages. Texts are UTF-8 and go through
// the same GSM 03.38 alphabet as single messages (library GSM).
#include <cstdint>
#include <string>
#include <string_view>

namespace QuentraSMSAPI6 {

// Septets of text in one part: 160 less the 7 the header takes.
inline constexpr int kPartSeptets = 153;

// What the sender needs from the last unit built.
struct SubmitUnit {
  int septets = 0;               // septets packed (an escape pair counts two)
  std::uint8_t tpduOctets = 0;   // octet count for AT+CMGS (service-centre part excluded)
  std::string unit;              // service-centre part + TPDU, upper-case hex
};

// Packs the text as septets behind a 6-octet user-data header: one fill bit,
// then GSM 03.38 order. Returns upper-case hex.
std::string Encode7BitAfterUDH(std::string_view text);

// Builds one unit with the header 05 00 03 ref total seq. coding: 7 (GSM 7-bit)
// is the only coding assembled; 8 and 16 are recognised but build nothing.
// Returns false (out untouched) when the text (more than kPartSeptets septets) or
// the header values do not fit.
bool BuildSubmitPDU(std::string_view number, std::string_view text, int ref, int total,
                    int seq, int coding, SubmitUnit& out, std::string_view centre = {},
                    int validity = 0);

}  // namespace QuentraSMSAPI6
