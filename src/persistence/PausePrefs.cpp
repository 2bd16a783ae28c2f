#include "persistence/PausePrefs.h"

#include "persistence/StoreLines.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#include <QFileInfo>

TextFile::WriteResult savePausePrefs(bool paused, const QString& folder) {
    return TextFile::writeAtomically(Paths::join(folder, pausePrefsFile),
                                     TextFile::encodeLines({StoreLines::flag(paused)}));
}

PauseAtStart loadPausePrefs(const QString& folder) {
    const QString path = Paths::join(folder, pausePrefsFile);
    if (!QFileInfo::exists(path))
        return PauseAtStart::Unpause;
    const auto lines = TextFile::readLines(path);
    // An empty file has no first line to read, which is a read error like an unreadable one.
    if (!lines || lines->isEmpty())
        return PauseAtStart::Neither;
    return StoreLines::isTrue(lines->first()) ? PauseAtStart::Pause : PauseAtStart::Unpause;
}
