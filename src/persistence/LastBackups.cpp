#include "persistence/LastBackups.h"

#include "platform/Paths.h"

#include <algorithm>

TextFile::WriteResult saveLastBackups(const QHash<QString, QDateTime>& bySource,
                                      const QString& folder) {
    QStringList sources = bySource.keys();
    // The same associations write the same file.
    std::sort(sources.begin(), sources.end());
    QStringList lines;
    for (const QString& source : sources)
        lines << source << bySource.value(source).toUTC().toString(Qt::ISODate);
    return TextFile::writeAtomically(Paths::join(folder, lastBackupsFile),
                                     TextFile::encodeLines(lines));
}

QHash<QString, QDateTime> loadLastBackups(const QString& folder) {
    const QStringList lines =
        TextFile::readLines(Paths::join(folder, lastBackupsFile)).value_or(QStringList());
    QHash<QString, QDateTime> bySource;
    for (qsizetype i = 0; i + 1 < lines.size();) {
        const QDateTime when = QDateTime::fromString(lines[i + 1], Qt::ISODate);
        if (!when.isValid()) {
            // Out of step (a damaged file, a name with a line end in it): the next line may
            // begin a pair again.
            ++i;
            continue;
        }
        bySource.insert(lines[i], when.toLocalTime());
        i += 2;
    }
    return bySource;
}
