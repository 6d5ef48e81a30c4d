// Module CheckDuplicate: was this message already sent (or given up) to this number?
#pragma once

#include "platform/db/Connection.h"

#include <string>

namespace parlix::engine {

// True when Outbox holds a row "S" or "F" with exactly this Subject and Mobile. An
// error is logged under "DuplciateCheck Modem:<engine>" and gives false, so the row
// is sent rather than held back.
bool DuplicateCheck(db::Connection& connection, const std::string& subject, const std::string& mobile);

}  // namespace parlix::engine
