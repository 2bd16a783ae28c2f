// Linux: the kernel marks an open /proc/self/mountinfo with POLLPRI after every mount or unmount
// in this namespace. Each open file has its own mark, which the poll that sees it takes: this
// one is the watch's alone, so no other reader of the table (MountTable's cache) takes the news
// from it.
#include "platform/MountWatch.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

MountWatch::MountWatch(QObject* parent) : QObject(parent) {
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // The mark is POLLPRI, which a socket notifier of the exception kind waits for; the event
    // loop's poll has taken it by the time the notifier fires.
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Exception);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &MountWatch::changed);
}

MountWatch::~MountWatch() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void MountWatch::check() {
    if (m_fd < 0)
        return;
    pollfd watch{m_fd, POLLPRI, 0};
    if (::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR)) != 0)
        emit changed();
}
