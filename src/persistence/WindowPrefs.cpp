#include "persistence/WindowPrefs.h"

#include "persistence/StoreLines.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QStringList>
#include <cmath>
#include <limits>

namespace {

constexpr int windowPrefsLines = 5;

// A twips line as a whole number; nullopt when it is too large to be a window position.
std::optional<int> twipsOf(const QString& line) {
    const auto value = StoreLines::leadingNumber(line);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value);
    if (!(std::abs(rounded) <= std::numeric_limits<int>::max() / 2))
        return std::nullopt;
    return int(rounded);
}

} // namespace

TextFile::WriteResult saveWindowPrefs(const WindowPlacement& window,
                                      const QString& recentSchemeName, const QString& folder) {
    // The status bar showed the stored name all through a run that loaded and saved no scheme;
    // writing "<n/a>" would lose it at the next start.
    QString scheme = recentSchemeName;
    if (scheme.isEmpty())
        if (const auto stored = loadWindowPrefs(folder))
            scheme = stored->schemeName;
    const QStringList lines{QString::number(window.Top), QString::number(window.Left),
                            QString::number(window.Height), QString::number(window.Width),
                            scheme.isEmpty() ? notApplicable : scheme};
    return TextFile::writeAtomically(Paths::join(folder, windowPrefsFile),
                                     TextFile::encodeLines(lines));
}

std::optional<StoredWindowPrefs> loadWindowPrefs(const QString& folder) {
    const auto lines = TextFile::readLines(Paths::join(folder, windowPrefsFile));
    if (!lines || lines->size() < windowPrefsLines)
        return std::nullopt;
    const auto top = twipsOf(lines->at(0)), left = twipsOf(lines->at(1));
    const auto height = twipsOf(lines->at(2)), width = twipsOf(lines->at(3));
    if (!top || !left || !height || !width)
        return std::nullopt;
    return StoredWindowPrefs{{*top, *left, *height, *width}, lines->at(4)};
}

WindowPlacement placeWindow(const WindowPlacement& stored, int workAreaWidth, int workAreaHeight,
                            int currentWidth, int currentHeight) {
    WindowPlacement placed;
    placed.Top = workAreaHeight <= stored.Top ? 0 : stored.Top;
    placed.Left = workAreaWidth <= stored.Left ? 0 : stored.Left;
    placed.Width = workAreaWidth < currentWidth ? workAreaWidth : stored.Width;
    placed.Height = workAreaHeight < currentHeight ? workAreaHeight : stored.Height;
    // Nothing stored yet (the engine records the window only while it is shown).
    if (placed.Top == 0 && placed.Left == 0 && placed.Width == 0 && placed.Height == 0) {
        placed.Width = defaultWindowWidth;
        placed.Height = defaultWindowHeight;
        placed.Left = workAreaWidth / 2 - placed.Width / 2;
        placed.Top = workAreaHeight / 2 - placed.Height / 2;
    }
    return placed;
}
