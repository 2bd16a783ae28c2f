#pragma once
// The name of a mounted file system: its label, else "UUID=" and its UUID, else empty.

#include "platform/MountTable.h"

#include <QString>

QString volumeNameOf(const MountEntry& mount);

struct FileSystemIds {
    QString label;
    QString uuid;
};

// What libblkid reads from the file system on a block device (or an image file); empty fields
// when it cannot be read, which for a disk needs read access to its device.
FileSystemIds probeFileSystemIds(const QString& device);
