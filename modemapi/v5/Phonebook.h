#pragma once
// QuentraSMSAPI5::Phonebook reads, writes and deletes entries of the SIM phonebook
// and reports its size, on the port that an SMS object of this library holds open on
// the same thread. Every method selects the SIM phonebook ("SM") first.
//
//   PhonebookNumber / PhonebookName      filled by PhonebookRead, otherwise only stored
//   TotalSpace(), TotalUsed()            entries the SIM holds / has used; -1 on error
//   PhonebookDelete(location)            true when the modem accepted it
//   PhonebookWrite(location, number, name)
//   PhonebookRead(location)              true and the two properties set when the
//                                        location holds an entry
// A serial-port error after the selection passes as an exception (std::runtime_error);
// unwanted answers and time-outs give the failure value.

#include <cstdint>
#include <string>
#include <string_view>

namespace QuentraSMSAPI5 {

class Phonebook {
public:
  const std::string& PhonebookNumber() const { return number_; }
  void setPhonebookNumber(std::string v) { number_ = std::move(v); }
  const std::string& PhonebookName() const { return name_; }
  void setPhonebookName(std::string v) { name_ = std::move(v); }

  std::int16_t TotalSpace();
  std::int16_t TotalUsed();
  bool PhonebookDelete(std::int16_t intLocation);
  bool PhonebookWrite(std::int16_t intLocation, std::string_view strNumber, std::string_view strName);
  bool PhonebookRead(std::int16_t intLocation);

private:
  bool SelectSIMPhonebook();

  std::string number_;
  std::string name_;
};

}  // namespace QuentraSMSAPI5
