#include "platform/UserSession.h"

#include "platform/Paths.h"

#include <QStandardPaths>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UserSession {

QString userId() {
    return QString::number(::getuid());
}

QString privateRuntimeFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return {};
    // Another user's folder, or one others may write into, could hold a socket of theirs.
    struct stat st {};
    if (::lstat(Paths::toNative(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::getuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return folder;
}

bool peerIsThisUser(qintptr descriptor) {
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        size != sizeof peer)
        return false;
    return peer.uid == ::getuid();
}

} // namespace UserSession
