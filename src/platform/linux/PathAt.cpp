#include "platform/linux/PathAt.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <fcntl.h>

namespace {

// Opens `relative` below `from` (a folder, or AT_FDCWD) for use as a starting point only.
int openFolderAt(int from, const QByteArray& relative) {
    return ::openat(from, relative.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

PathAt::PathAt(const QByteArray& nativePath) {
    if (nativePath.size() < PATH_MAX) {
        m_name = nativePath;
        return;
    }
    const qsizetype lastSeparator = nativePath.lastIndexOf('/');
    m_name = nativePath.mid(lastSeparator + 1);
    const QList<QByteArray> folders = nativePath.left(lastSeparator).split('/');
    int from = AT_FDCWD;
    QByteArray run = nativePath.startsWith('/') ? QByteArray("/") : QByteArray();
    // Each run of components is opened from the folder the one before it reached.
    const auto openRun = [&] {
        if (run.isEmpty())
            return true;
        const int next = openFolderAt(from, run);
        if (next < 0)
            return false;
        m_dir.reset(next);
        from = next;
        run.clear();
        return true;
    };
    for (const QByteArray& piece : folders) {
        if (piece.isEmpty())
            continue;
        if (run.size() + piece.size() + 1 >= PATH_MAX && !openRun()) {
            m_ok = false;
            return;
        }
        if (!run.isEmpty() && !run.endsWith('/'))
            run += '/';
        run += piece;
    }
    m_ok = openRun();
}

int PathAt::dir() const {
    return m_dir.get() >= 0 ? m_dir.get() : AT_FDCWD;
}
