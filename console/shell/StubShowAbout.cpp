// Placeholder until the frmAbout window exists: records that it was asked for.
#include "console/shell/Windows.h"

#include "console/shell/core/Error.h"

namespace parlix::console {

void ShowAbout() { WriteErrorLog("Windows-ShowAbout", 0, "frmAbout is not part of this build yet"); }

}  // namespace parlix::console
