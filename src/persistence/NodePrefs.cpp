#include "persistence/NodePrefs.h"

#include "platform/TextFile.h"

TextFile::WriteResult saveNodePrefs(const QStringList& visibleNodeKeys, const QString& folder) {
    return TextFile::writeAtomically(folder + u'/' + NodePrefsFile,
                                     TextFile::encodeLines(visibleNodeKeys));
}

QStringList loadNodePrefs(const QString& folder) {
    return TextFile::readLines(folder + u'/' + NodePrefsFile).value_or(QStringList());
}
