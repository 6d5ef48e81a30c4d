// Placeholder until the frmImport2 window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowImport() { WriteErrorLog("Windows-ShowImport", 0, "frmImport2 is not part of this build yet"); }

}  // namespace parlix::console
