#pragma once
// Folders below a folder the user chose, entered one real folder at a time relative to the
// descriptor of the one above with O_NOFOLLOW: a link put in place of a folder (by a program, or
// by someone who shares the disk) leads nowhere.

#include "platform/Paths.h"
#include "platform/linux/UniqueFd.h"

#include <QByteArray>
#include <QStringList>
#include <cerrno>
#include <fcntl.h>

// A component that names one entry of its folder, and nothing else.
inline bool isPlainName(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/');
}

// A descriptor of base/relative...; -1 with errno set when a step fails. `base` itself may be a
// link the user chose.
inline int openFolderBelow(const QString& base, const QStringList& relative) {
    int fd = ::open(Paths::toNative(base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const QString& component : relative) {
        if (fd < 0)
            break;
        const UniqueFd above(fd);
        const QByteArray name = Paths::toNative(component);
        if (!isPlainName(name)) {
            errno = EINVAL;
            return -1;
        }
        fd = ::openat(above.get(), name.constData(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    return fd;
}
