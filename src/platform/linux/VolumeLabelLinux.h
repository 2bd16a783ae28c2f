#pragma once
// The name of a mounted file system: its label, else "UUID=" and its UUID, else empty.

#include "platform/MountTable.h"

#include <QDBusMessage>
#include <QString>

QString volumeNameOf(const MountEntry& mount);

struct FileSystemIds {
    QString label;
    QString uuid;
};

// What libblkid reads from the file system on a block device (or an image file); empty fields
// when it cannot be read, which for a disk needs read access to its device.
FileSystemIds probeFileSystemIds(const QString& device);

// UDisks2, which reads and writes labels for users without access to the devices.
inline const QString udisksService = QStringLiteral("org.freedesktop.UDisks2");
// The question for the UDisks2 object of a block device (a "path" such as "/dev/sdb1").
QDBusMessage udisksResolveDevice(const QString& device);
// The object named in the answer to that question; empty when it names none.
QString udisksObjectIn(const QDBusMessage& answer);
