#include "platform/MountChanges.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// The kernel flags an open mountinfo with POLLPRI after every mount or unmount in this namespace,
// once for each open file: this one is ours alone, so no other reader takes the news from it.
MountChanges::MountChanges() : m_handle(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {}

MountChanges::~MountChanges() {
    if (m_handle >= 0)
        ::close(m_handle);
}

bool MountChanges::changed() {
    if (m_handle < 0)
        return false;
    pollfd watch{m_handle, POLLPRI, 0};
    return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR)) != 0;
}
