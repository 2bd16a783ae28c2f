#pragma once
// The accepted-volume list of an association: names separated by NUL characters, with two NULs in
// a row standing for a drive without a label ("A\0B", "A\0B\0\0", "\0\0").

#include <QString>
#include <QStringList>

namespace VolumeList {

struct Decoded {
    QStringList names; // the non-empty names, in order
    bool acceptUnlabeled = false;
};

// The list text for `names` (empty names are skipped), accepting an unlabeled drive when asked.
QString encode(const QStringList& names, bool acceptUnlabeled);

Decoded decode(const QString& volumeList);

// How a drive without a label is named when it has a UUID: "UUID=" and the UUID.
inline const QString unlabeledPrefix = QStringLiteral("UUID=");
// True for the name of a drive without a label: empty, or "UUID=..." (whatever the UUID).
bool isUnlabeledName(const QString& volumeName);

// True when a drive named `volumeName` may serve as the source: a drive without a label when the
// list holds two NULs in a row, whatever its UUID; any drive when a non-empty piece equals its
// name ignoring case (a "UUID=..." piece accepts that one disk). An empty list accepts nothing.
bool accepts(const QString& volumeList, const QString& volumeName);

} // namespace VolumeList
