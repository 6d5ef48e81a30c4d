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
        // No program took it (a desktop without a handler for web pages): say where it is,
        // so the user can open it another way.
        if (!opener()(path))
            ui::msgBox("The User Manual could not be opened: no program to show it was found.\n"
                       "Open it in a web browser from:\n" + path,
                       ui::vbExclamation, "Warning!");
    } catch (...) {
        LogCurrentException("Help-OpenUserManual");
    }
}

}  // namespace parlix::console
