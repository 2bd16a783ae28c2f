#include "platform/StartLock.h"

#include "platform/Log.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

StartLock::StartLock(const QString& path) {
    const int fd =
        ::open(Paths::toNative(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qCWarning(lcPlatform) << "No start-up lock" << Paths::displayName(path) << ":"
                              << std::strerror(errno);
        return;
    }
    int rc;
    do
        rc = ::flock(fd, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        qCWarning(lcPlatform) << "No start-up lock" << Paths::displayName(path) << ":"
                              << std::strerror(errno);
        ::close(fd);
        return;
    }
    m_fd = fd;
}

StartLock::~StartLock() {
    release();
}

void StartLock::release() {
    if (m_fd < 0)
        return;
    // Closing the only descriptor of the open file drops the lock.
    ::close(m_fd);
    m_fd = -1;
}
