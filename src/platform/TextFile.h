#pragma once
// Line-oriented text files as the store and preference files use them: UTF-8 without a byte-order
// mark, CR LF line ends on writing; on reading CR LF or LF, NUL characters kept, and a line that
// is not valid UTF-8 read with its bytes kept (as Paths::fromUtf8Bytes does), so that it
// is written back byte for byte.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace TextFile {

// How a write ended: `error` says why it failed, in words a dialog can show; empty on success.
// A failure is logged as a warning as well, so a caller with nobody to tell may ignore it.
struct WriteResult {
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// Splits file content into lines (a final line end adds no empty line).
QStringList decodeLines(const QByteArray& content);
// Joins lines with CR LF after each.
QByteArray encodeLines(const QStringList& lines);

// Reads a whole file as it is; nullopt when it is missing or unreadable.
std::optional<QByteArray> readBytes(const QString& path);
// Reads a whole file as lines; nullopt when it is missing or unreadable.
std::optional<QStringList> readLines(const QString& path);

// What a file's twin adds to its name while a safe write is under way.
inline const QString twinSuffix = QStringLiteral("TEMP");

// Writes `content` to `path` safely: the twin `path` + "TEMP" is written and fsynced, renamed
// over `path`, and the folder fsynced, so a crash at any moment leaves the old or the new file
// whole. The file is private to its owner, and a missing folder is made private too. On any
// failure `path` is untouched.
WriteResult writeAtomically(const QString& path, const QByteArray& content);

// Writes several files as one change: every twin is written and fsynced first, and only when all
// of them are whole are they renamed over their files, in the given order, each folder flushed
// after its rename. A failure before the renames leaves every file untouched; a rename that fails
// stops the renames there. Either way no twin is left behind, and `error` says why.
WriteResult writeAllAtomically(const QList<std::pair<QString, QByteArray>>& files);

} // namespace TextFile
