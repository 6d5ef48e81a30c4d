// Placeholder until the frmLoginAdmin window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowLoginAdminThenPassword() { WriteErrorLog("Windows-ShowLoginAdminThenPassword", 0, "frmLoginAdmin is not part of this build yet"); }

}  // namespace parlix::console
