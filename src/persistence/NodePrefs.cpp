#include "persistence/NodePrefs.h"

#include "platform/Paths.h"
#include "platform/TextFile.h"

TextFile::WriteResult saveNodePrefs(const QStringList& visibleNodeKeys, const QString& folder) {
    return TextFile::writeAtomically(Paths::join(folder, nodePrefsFile),
                                     TextFile::encodeLines(visibleNodeKeys));
}

QStringList loadNodePrefs(const QString& folder) {
    return TextFile::readLines(Paths::join(folder, nodePrefsFile)).value_or(QStringList());
}
