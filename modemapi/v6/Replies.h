#pragma once
// The reader of the PDU-mode answer that only this library takes; the readers both
// libraries share are in modemapi/Replies.h. It takes the whole collected reply (echo
// included); a short or malformed reply gives nothing and never reads out of bounds.
#include <optional>
#include <string>
#include <string_view>

namespace QuentraSMSAPI6::Replies {

// The PDU line of an AT+CMGR answer in PDU mode: from two characters after the
// first CR behind "+CMGR:" to the next CR (or the end). Nothing without "+CMGR:".
std::optional<std::string> PDULine(std::string_view reply);

}  // namespace QuentraSMSAPI6::Replies
