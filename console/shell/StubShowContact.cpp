// Placeholder until the frmContact window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowContact() { WriteErrorLog("Windows-ShowContact", 0, "frmContact is not part of this build yet"); }

}  // namespace parlix::console
