// Linux: /proc/self/mountinfo, as the mount table itself (MountTable.cpp).
#include "platform/MountWatch.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

MountWatch::MountWatch(QObject* parent) : QObject(parent) {
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // The mark is POLLPRI, which a socket notifier of the exception kind waits for.
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Exception);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &MountWatch::onMarked);
}

MountWatch::~MountWatch() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

// The mark stays until the file is read again from its start.
void MountWatch::onMarked() {
    char buffer[4096];
    ::lseek(m_fd, 0, SEEK_SET);
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
    emit changed();
}
