// Placeholder until the frmNewSMS window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowNewSMSTo(const std::string& recipient, const std::string&) {
    WriteErrorLog("Windows-ShowNewSMSTo", 0, "frmNewSMS is not part of this build yet (recipient " + recipient + ")");
}

}  // namespace parlix::console
