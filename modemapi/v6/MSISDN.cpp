#include "modemapi/v6/MSISDN.h"

namespace QuentraSMSAPI6 {

std::string FormatMSISDN(std::string_view number) {
  std::string out;
  out.reserve(number.size() + 1);
  for (char c : number) {
    if (c != '+' && c != '-') out += c;
  }
  if (out.starts_with("01")) out.insert(out.begin(), '6');
  return out;
}

}  // namespace QuentraSMSAPI6
