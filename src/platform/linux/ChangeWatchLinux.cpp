// Change watches on inotify: one instance per watched folder, so that polling one folder never
// consumes another folder's events.

#include "platform/ChangeWatch.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// Writes to files; the folder-creation bit only matters where sub-folders are watched.
constexpr uint32_t ChangeMask = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_TO;
constexpr uint32_t SubtreeMask = ChangeMask | IN_CREATE;
// A sub-folder reached by a walk or an event may have been swapped for a symbolic link.
constexpr uint32_t SubFolderFlags = IN_ONLYDIR | IN_DONT_FOLLOW;
// Room for many events per read; one event with the longest name needs under 300 bytes.
constexpr size_t EventBufferBytes = 8192;

QByteArray childPath(const QByteArray& folder, const char* name) {
    QByteArray child = folder;
    if (!child.endsWith('/'))
        child += '/';
    child += name;
    return child;
}

bool isOwnTempName(const char* name) {
    static const QByteArray prefix = OwnTempPrefix.toUtf8();
    return std::strncmp(name, prefix.constData(), size_t(prefix.size())) == 0;
}

bool isRealFolder(const QByteArray& folder, const dirent* entry) {
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st {};
    return ::lstat(childPath(folder, entry->d_name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

class InotifyWatch final : public ChangeWatch {
public:
    InotifyWatch(const QString& folder, bool subtree, const WatchFault& fault)
        : m_subtree(subtree), m_fault(fault) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) {
            // Too many inotify instances is the same kind of limit as too many watches.
            m_limitReached = errno == EMFILE;
            return;
        }
        const QByteArray top = Paths::toNative(folder);
        if (!addFolder(top, IN_ONLYDIR)) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        if (m_subtree)
            addSubFoldersBelow(top);
    }

    ~InotifyWatch() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool isOpen() const override { return m_fd >= 0; }
    bool limitReached() const override { return m_limitReached; }
    int watchedFolders() const override { return int(m_folders.size()); }

    bool wait(int timeoutMs) override {
        if (m_signalled)
            return true;
        if (m_fd < 0)
            return false;
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int remaining = timeoutMs;
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, remaining);
            if (ready < 0 && errno != EINTR)
                return false;
            if (ready > 0) {
                const Drained d = drain();
                if (d.changed || d.addedFolder) {
                    m_signalled = true;
                    return true;
                }
            }
            // Only ignored events (our own temporary files) arrived: keep waiting for the rest.
            remaining =
                int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                        .count());
            if (remaining <= 0)
                return false;
        }
    }

    void rearm() override {
        if (m_fd < 0)
            return;
        m_signalled = drain().addedFolder;
    }

private:
    struct Drained {
        bool changed = false;
        bool addedFolder = false;
    };

    // Reads every pending event without blocking.
    Drained drain() {
        Drained result;
        for (;;) {
            const ssize_t n = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (n <= 0) {
                if (n < 0 && errno == EINTR)
                    continue;
                return result;
            }
            for (ssize_t at = 0; at < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(m_buffer + at);
                at += ssize_t(sizeof(inotify_event) + ev->len);
                handle(*ev, result);
            }
        }
    }

    void handle(const inotify_event& ev, Drained& result) {
        if (ev.mask & IN_Q_OVERFLOW) {
            result.changed = true;
            return;
        }
        if (ev.mask & IN_IGNORED) {
            m_folders.erase(ev.wd);
            return;
        }
        const bool named = ev.len > 0 && ev.name[0] != '\0';
        if (named && isOwnTempName(ev.name))
            return;
        const bool newFolder = (ev.mask & IN_ISDIR) && (ev.mask & (IN_CREATE | IN_MOVED_TO));
        if (newFolder && m_subtree && named) {
            const auto folder = m_folders.find(ev.wd);
            if (folder != m_folders.end()) {
                const QByteArray child = childPath(folder->second, ev.name);
                if (addFolder(child, SubFolderFlags)) {
                    addSubFoldersBelow(child);
                    result.addedFolder = true;
                    return;
                }
            }
            // Unwatched (the limit, or gone again): a scan now is the only look at its files.
            result.changed = true;
            return;
        }
        // A new file is no write yet; its writes follow as their own events.
        if ((ev.mask & IN_CREATE) && !(ev.mask & IN_ISDIR))
            return;
        result.changed = true;
    }

    bool addFolder(const QByteArray& folder, uint32_t flags) {
        if (m_limitReached)
            return false;
        int err = m_fault ? m_fault(Paths::fromNative(folder)) : 0;
        int wd = -1;
        if (err == 0) {
            wd = ::inotify_add_watch(m_fd, folder.constData(),
                                     (m_subtree ? SubtreeMask : ChangeMask) | flags);
            err = wd < 0 ? errno : 0;
        }
        if (err == ENOSPC)
            m_limitReached = true;
        if (wd < 0)
            return false;
        m_folders[wd] = folder;
        return true;
    }

    // Walks below `top` without following symbolic links, watching every folder it meets.
    void addSubFoldersBelow(const QByteArray& top) {
        std::vector<QByteArray> pending{top};
        while (!pending.empty() && !m_limitReached) {
            const QByteArray folder = std::move(pending.back());
            pending.pop_back();
            DIR* dir = ::opendir(folder.constData());
            if (!dir)
                continue;
            while (const dirent* entry = ::readdir(dir)) {
                if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                    continue;
                if (!isRealFolder(folder, entry))
                    continue;
                const QByteArray child = childPath(folder, entry->d_name);
                if (addFolder(child, SubFolderFlags))
                    pending.push_back(child);
                else if (m_limitReached)
                    break;
            }
            ::closedir(dir);
        }
    }

    int m_fd = -1;
    bool m_subtree;
    bool m_signalled = false;
    bool m_limitReached = false;
    WatchFault m_fault;
    std::unordered_map<int, QByteArray> m_folders; // watch descriptor -> folder path
    alignas(inotify_event) char m_buffer[EventBufferBytes];
};

} // namespace

std::unique_ptr<ChangeWatch> ChangeWatch::open(const QString& folder, bool subtree,
                                               const WatchFault& fault) {
    return std::make_unique<InotifyWatch>(folder, subtree, fault);
}
