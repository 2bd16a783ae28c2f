#pragma once
// Writing a file so that it survives a crash: the system-specific half of the safe write.

#include <QByteArray>
#include <QString>

namespace DurableFile {

// Writes `content` to the new file `twin`, flushes it to the disk, renames it over `path` and
// flushes the folder entry, so a crash at any moment leaves the old or the new `path` whole.
// The new `path` is readable and writable by its owner only (0600): the program's files name
// every backed-up path and destination.
// Empty on success, else why it failed (`twin` is then removed and `path` untouched).
QString replace(const QString& path, const QString& twin, const QByteArray& content);

// Renames the whole, flushed file `twin` over `path` and flushes the folder entry. Empty on
// success, else why it failed (`twin` is then removed and `path` untouched).
QString renameOver(const QString& twin, const QString& path);

} // namespace DurableFile
