// The console's own picture for the splash and about windows, drawn at run time so
// it stays sharp at any size.
#pragma once

#include <QPixmap>

namespace parlix::console {

QPixmap ParlixArtwork(int size);

}  // namespace parlix::console
