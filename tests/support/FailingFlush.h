#pragma once
// The real file system, except that the flush of a copy fails when told to, as a failing disk's
// does (or a full one's that tells only then): every copy's, or only that of copies of
// `failingSize` bytes; and a test may act between the chunks of a copy.

#include "platform/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <functional>
#include <sys/stat.h>

class FailingFlush : public FileSystem {
public:
    std::atomic<int> failWith = 0;
    std::atomic<qint64> failingSize = -1;
    // Runs on the copying thread after each chunk of a copy.
    std::function<void()> duringCopy;
    CopyResult stageCopy(const QString& source, const DestinationFolder& folder,
                         const QString& name, StagedCopy& staged,
                         const std::function<bool()>& between) override {
        return FileSystem::stageCopy(source, folder, name, staged, [&] {
            if (duringCopy)
                duringCopy();
            return !between || between();
        });
    }
    // A failing disk fails the flush of the whole disk as well; each file's then tells.
    int flushDisk(int fd) const override {
        if (failWith == 0)
            return FileSystem::flushDisk(fd);
        errno = failWith;
        return -1;
    }
    int flushFile(int fd) const override {
        struct stat st {};
        if (failWith == 0 ||
            (failingSize >= 0 && (::fstat(fd, &st) != 0 || st.st_size != failingSize)))
            return FileSystem::flushFile(fd);
        errno = failWith;
        return -1;
    }
};
