// Placeholder until the frmExport window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowExport() { WriteErrorLog("Windows-ShowExport", 0, "frmExport is not part of this build yet"); }

}  // namespace parlix::console
