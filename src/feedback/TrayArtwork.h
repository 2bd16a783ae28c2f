#pragma once
// Quillmot's own pictures: the tray icon in its four states (also the program's icon), its
// paused and warning looks, and the popup's close and next buttons. Drawn as SVG, so they are
// sharp at any size and scale.

#include "presentation/ProtectionTexts.h"
#include "presentation/TrayAnimations.h"

#include <QIcon>

namespace TrayArtwork {
// The normal picture takes the look: greyed while paused, with a warning sign while a backup
// needs the user.
QIcon icon(TrayPicture picture, TrayLook look = TrayLook::Normal);
// The popup's close area: "minimise" while it advances by itself, "next" while it waits.
QIcon closeImage(bool autoAdvance);
} // namespace TrayArtwork
