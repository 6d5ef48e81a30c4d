#pragma once
// Class PDU of library GSM: builds SMS-SUBMIT units and reads SMS-DELIVER units
// (GSM 03.40 / 03.38) as upper-case hexadecimal text, as a modem in PDU mode
// prints and expects them.
//
// Properties keep their names: `X` is read with get_X() and written with
// let_X(value). Texts are UTF-8. A 7-bit text is counted in septets of the GSM
// alphabet (an extension character such as "€" is two), a UCS-2 text in UTF-16
// code units.
// A Byte property given a value outside 0..255 throws std::overflow_error.
#include <cstdint>
#include <string>

namespace GSM {

// Values of TP_DataCode that the system uses.
enum DCS : std::int32_t { Unicode = 8, Text = 0 };

class PDU {
 public:
  PDU();

  std::uint8_t get_TPHeader() const { return TPHeader_; }
  void let_TPHeader(long long value);

  std::string get_SMSCTypeOfAddr() const;
  void let_SMSCTypeOfAddr(const std::string& value);

  std::uint8_t get_TPMsgRef() const { return TPMsgRef_; }
  void let_TPMsgRef(long long value);

  // Get drops every "+"; Let puts IDDPrefix in front of numbers of 8 characters or fewer.
  std::string get_MSISDN() const;
  void let_MSISDN(const std::string& value);

  std::uint8_t get_TP_ProtocolID() const { return TP_ProtocolID_; }
  void let_TP_ProtocolID(long long value);

  std::int32_t get_TP_DataCode() const { return TP_DataCode_; }
  void let_TP_DataCode(long long value);

  std::uint8_t get_TP_Validity() const { return TP_Validity_; }
  void let_TP_Validity(long long value);

  // Let switches TP_DataCode to 8 when the text needs UCS-2; it never switches back.
  std::string get_SMSText() const;
  void let_SMSText(const std::string& value);

  std::uint8_t get_SenderTypeOfAddr() const { return SenderTypeOfAddr_; }
  void let_SenderTypeOfAddr(long long value);

  std::string get_PDU() const;
  void let_PDU(const std::string& value);

  std::string get_SMSC() const;
  std::string get_TimeStamp() const;

  // Whatever the value, the prefix becomes "65".
  void let_IDDPrefix(const std::string& value);

  // Reads the SMS-DELIVER unit in PDU, consuming it up to the user-data length. A
  // part of a long message gives its own text, header skipped. False on any
  // malformed input and on 8-bit or compressed data; never throws.
  bool DecodePDU() noexcept;

  // Builds the SMS-SUBMIT unit from the fields and leaves it in PDU. Throws
  // std::runtime_error for an empty text in 7-bit coding.
  void EncodePDU();

 private:
  std::uint8_t TPHeader_;
  std::u16string SMSCTypeOfAddr_;
  std::uint8_t TPMsgRef_;
  std::u16string MSISDN_;
  std::uint8_t TP_ProtocolID_;
  std::int32_t TP_DataCode_;
  std::uint8_t TP_Validity_;
  std::u16string SMSText_;
  std::uint8_t SenderTypeOfAddr_;
  std::u16string PDU_;
  std::u16string SMSC_;
  std::u16string TimeStamp_;
  std::u16string IDDPrefix_;
};

}  // namespace GSM
