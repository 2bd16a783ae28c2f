#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(int* error, int value) {
    if (error)
        *error = value;
    return false;
}

} // namespace

bool FileSystem::renameNoReplace(const QString& from, const QString& to, int* error) {
    const QByteArray source = Paths::toNative(from);
    const QByteArray target = Paths::toNative(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail(error, errno);
    // A file system without the no-replace rename: look first. Another program could still
    // create the name in between, which is the most such a file system allows.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0)
        return fail(error, EEXIST);
    if (::rename(source.constData(), target.constData()) != 0)
        return fail(error, errno);
    return true;
}
