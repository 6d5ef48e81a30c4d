// Placeholder until the frmNewSMS window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowNewSMS() { WriteErrorLog("Windows-ShowNewSMS", 0, "frmNewSMS is not part of this build yet"); }

}  // namespace parlix::console
