#pragma once
// What a test reads of a path straight from the system, where QFileInfo says too little: the
// permission bits of the entry itself (a link's own), times to the nanosecond, the status change
// time, the inode, a link's text.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

constexpr qint64 NsPerSecond = 1000 * 1000 * 1000;

inline QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The entry itself, never what a link points to; zeroes when it is missing.
inline struct stat statOf(const QString& path) {
    struct stat st {};
    ::lstat(native(path).constData(), &st);
    return st;
}

inline unsigned modeOf(const QString& path) {
    return statOf(path).st_mode & 07777;
}

inline ino_t inodeOf(const QString& path) {
    return statOf(path).st_ino;
}

inline qint64 modifiedNs(const QString& path) {
    const struct stat st = statOf(path);
    return qint64(st.st_mtim.tv_sec) * NsPerSecond + st.st_mtim.tv_nsec;
}

// The status change time moves with every write, rename and permission change: a file whose
// ctime stayed the same was not touched.
inline qint64 changedNs(const QString& path) {
    const struct stat st = statOf(path);
    return qint64(st.st_ctim.tv_sec) * NsPerSecond + st.st_ctim.tv_nsec;
}

// Sets a file's last-modified time to the nanosecond; false when that failed.
inline bool setModifiedNs(const QString& path, qint64 ns) {
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(ns / NsPerSecond), long(ns % NsPerSecond)}};
    return ::utimensat(AT_FDCWD, native(path).constData(), times, 0) == 0;
}

// The target text of a link; empty for anything else.
inline QByteArray linkText(const QString& path) {
    char text[256] = {};
    const ssize_t n = ::readlink(native(path).constData(), text, sizeof text);
    return n > 0 ? QByteArray(text, n) : QByteArray();
}
