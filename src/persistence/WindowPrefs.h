#pragma once
// wprefs: the main window's last top, left, height and width in twips and the most recent
// scheme's name; and where a restored window goes on the current screen.

#include "model/Records.h"
#include "platform/TextFile.h"

#include <QString>
#include <optional>

inline const QString windowPrefsFile = QStringLiteral("wprefs");
// The window's size in twips when no size was stored.
inline constexpr int defaultWindowWidth = 9330;
inline constexpr int defaultWindowHeight = 5300;

// A window's place and size in twips.
struct WindowPlacement {
    int Top = 0;
    int Left = 0;
    int Height = 0;
    int Width = 0;
};

struct StoredWindowPrefs {
    WindowPlacement window;
    QString schemeName; // shown only, never made the current scheme
};

// Writes the four values (twips as 32-bit whole numbers, as the engine's tick records them) and the
// scheme name: `recentSchemeName`, or when that is empty the name the file already holds ("<n/a>"
// when there is none). False when it failed.
TextFile::WriteResult saveWindowPrefs(const WindowPlacement& window,
                                      const QString& recentSchemeName, const QString& folder);

// nullopt when wprefs is missing, unreadable, shorter than 5 lines or holds a number too large.
std::optional<StoredWindowPrefs> loadWindowPrefs(const QString& folder);

// Where the window goes: a stored top or left beyond the work area becomes 0; the stored width
// and height apply unless the window is already wider or taller than the work area, which then
// gives its size; all four at 0 give the default size, centred on the work area.
WindowPlacement placeWindow(const WindowPlacement& stored, int workAreaWidth, int workAreaHeight,
                            int currentWidth, int currentHeight);
