#pragma once
// The stamp of a directory entry from what stat reports about it.

#include "platform/FileSystem.h"

#include <optional>
#include <sys/stat.h>

inline qint64 nanosecondsOf(const struct timespec& t) {
    return qint64(t.tv_sec) * nsPerSecond + t.tv_nsec;
}

// A regular file's size and time; a symbolic link's own (its target text's length and the time
// it was made), marked as a link; empty for anything else.
inline std::optional<FileStamp> stampOfEntry(const struct stat& st) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return std::nullopt;
    return FileStamp{qint64(st.st_size), nanosecondsOf(st.st_mtim), S_ISLNK(st.st_mode)};
}
