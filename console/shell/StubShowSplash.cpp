// Placeholder until the frmSplash window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowSplash() { WriteErrorLog("Windows-ShowSplash", 0, "frmSplash is not part of this build yet"); }

}  // namespace parlix::console
