// Opening the user manual with the desktop's handler.
#pragma once

#include <functional>
#include <string>

namespace parlix::console {

// Opens `path`; a missing file shows "The User Manual does not exist!"; a file no
// program of the desktop takes shows a box naming the file's path.
void OpenUserManual(const std::string& path);

// What opens documents (ui::openDocument unless a test installed another); returns the old one.
using DocumentOpener = std::function<bool(const std::string& path)>;
DocumentOpener SetDocumentOpener(DocumentOpener opener);

}  // namespace parlix::console
