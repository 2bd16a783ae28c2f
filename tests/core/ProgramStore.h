#pragma once
// The association store the real program starts with, written as a user's store would be.

#include "platform/FileSystem.h"
#include "support/TempHome.h"

#include <QStringList>

// One association and its destinations. A folder association is recursive, a file association
// not; both are enabled, keep no previous versions and notify both ways.
struct StoredAssociation {
    QString source;
    QStringList destinations;
    bool folder = true;
};

// Writes usrdatab and usrdatad, each source accepted on the volume it is on (NUL NUL for a file
// system without a name), each destination expected on its own.
inline void writeStore(const TempHome& home, const QList<StoredAssociation>& associations) {
    FileSystem fs;
    const auto volumeOf = [&](const QString& path) { return fs.VolumeName(fs.GetDriveName(path)); };
    QStringList backups, destinations;
    for (const StoredAssociation& a : associations) {
        const QString name = volumeOf(a.source);
        const QString flag = a.folder ? "1" : "0";
        backups << a.source << (name.isEmpty() ? QString(2, QChar(0)) : name)
                << "06.12.2026 10:00:00"
                << "Never"
                << "Never" << QStringList{flag, "1", "0", "3", flag, "0", "1", "1"};
        for (const QString& dest : a.destinations)
            destinations << dest << a.source << volumeOf(dest);
    }
    home.writeAppData("usrdatab", crlfLines(backups));
    home.writeAppData("usrdatad", crlfLines(destinations));
}
