#pragma once
// The stamp of a directory entry from what stat reports about it.

#include "platform/FileSystem.h"

#include <optional>
#include <sys/stat.h>

// A regular file's size and time; a symbolic link's own (its target text's length and the time
// it was made), marked as a link; empty for anything else.
inline std::optional<FileStamp> stampOfEntry(const struct stat& st) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return std::nullopt;
    return FileStamp{qint64(st.st_size),
                     qint64(st.st_mtim.tv_sec) * nsPerSecond + st.st_mtim.tv_nsec,
                     S_ISLNK(st.st_mode)};
}
