#pragma once
// Quillmot's own pictures: the tray icon in its four states (also the program's icon) and the
// popup's close and next buttons. Drawn as SVG, so they are sharp at any size and scale.

#include "presentation/TrayAnimations.h"

#include <QIcon>

namespace TrayArtwork {
QIcon icon(TrayPicture picture);
// The popup's close area: "minimise" while it advances by itself, "next" while it waits.
QIcon closeImage(bool autoAdvance);
} // namespace TrayArtwork
