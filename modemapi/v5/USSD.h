#pragma once
// QuentraSMSAPI5::USSD submits an unstructured supplementary service command (a
// balance query such as "*100#") and returns the network's answer text, or the empty
// text when the port is closed, the command fails or no answer text arrives within
// 15 seconds. It works on the port that an SMS object of this library holds open on
// the same thread. The member is called as the object itself: ussd("*100#").

#include <string>
#include <string_view>

namespace QuentraSMSAPI5 {

class USSD {
public:
  // Never throws.
  std::string operator()(std::string_view Command);
};

}  // namespace QuentraSMSAPI5
