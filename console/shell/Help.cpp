#include "console/shell/Help.h"

#include "console/shell/core/Error.h"
#include "platform/ui/Dialogs.h"

#include <filesystem>

namespace parlix::console {

namespace {
DocumentOpener& opener() {
    static DocumentOpener o = [](const std::string& path) { return ui::openDocument(path); };
    return o;
}
}  // namespace

DocumentOpener SetDocumentOpener(DocumentOpener o) {
    DocumentOpener old = std::move(opener());
    opener() = o ? std::move(o) : [](const std::string& path) { return ui::openDocument(path); };
    return old;
}

void OpenUserManual(const std::string& path) {
    try {
        std::error_code ec;
        // The desktop's handler does not say why it failed, so the file is checked here.
        if (!std::filesystem::is_regular_file(path, ec)) {
            ui::msgBox("The User Manual does not exist!", ui::vbCritical, "Warning!");
            return;
        }
        opener()(path);
    } catch (...) {
        LogCurrentException("Help-OpenUserManual");
    }
}

}  // namespace parlix::console
