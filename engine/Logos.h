// The engine's own pictures: operator badges and the window and tray icon, drawn at
// run time so the program carries no image files.
#pragma once

#include "engine/EngineText.h"

#include <QIcon>
#include <QPixmap>

namespace parlix::engine {

QPixmap OperatorLogo(Operator op);
QIcon EngineIcon();

}  // namespace parlix::engine
