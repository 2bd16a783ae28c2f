// Change watches on inotify. The per-user limit on inotify instances is small (128 by default)
// and shared with every other program of the user, so the program holds one instance, which
// lives while any watch does; each event goes to the watches that hold its watch descriptor.

#include "platform/ChangeWatch.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Every watch asks for the same events, since one folder's watch descriptor may serve several
// watches (inotify replaces the mask on a second add). Writes and arrivals name files; the folder
// events keep the sub-folder list true; the self events tell when the top folder goes away.
constexpr uint32_t eventMask = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_TO | IN_CREATE |
                               IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF;
// A sub-folder reached by a walk or an event may have been swapped for a symbolic link.
constexpr uint32_t subFolderFlags = IN_ONLYDIR | IN_DONT_FOLLOW;
// Room for many events per read; one event with the longest name needs under 300 bytes.
constexpr size_t eventBufferBytes = 64 * 1024;
// An unpacked archive names a hundred thousand files at once; past this many pending paths the
// watch forgets them and asks for a walk, which costs the same and holds no memory.
constexpr int defaultMaxPendingPaths = 20000;

QByteArray childPath(const QByteArray& folder, const char* name) {
    QByteArray child = folder;
    if (!child.endsWith('/'))
        child += '/';
    child += name;
    return child;
}

bool isBelowOrSame(const QByteArray& path, const QByteArray& folder) {
    if (!path.startsWith(folder))
        return false;
    return path.size() == folder.size() || folder.endsWith('/') || path[folder.size()] == '/';
}

class InotifyWatch;

// The program's one inotify instance and the routing of its events.
class Hub {
public:
    static std::shared_ptr<Hub> shared() {
        std::shared_ptr<Hub> hub = instance().lock();
        if (!hub) {
            hub = std::make_shared<Hub>();
            if (hub->m_fd < 0)
                return hub; // not kept: the next open tries again
            instance() = hub;
        }
        return hub;
    }
    static int liveInstances() { return instance().expired() ? 0 : 1; }
    static std::shared_ptr<Hub> existing() { return instance().lock(); }

    Hub() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_initErrno(m_fd < 0 ? errno : 0) {}
    ~Hub() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Hub(const Hub&) = delete;
    Hub& operator=(const Hub&) = delete;

    int fd() const { return m_fd; }
    int initErrno() const { return m_initErrno; }

    // The watch descriptor, or -1 with errno set.
    int add(InotifyWatch* watch, const QByteArray& folder, uint32_t flags) {
        const int wd = ::inotify_add_watch(m_fd, folder.constData(), eventMask | flags);
        if (wd >= 0) {
            auto& subscribers = m_routes[wd];
            if (std::find(subscribers.begin(), subscribers.end(), watch) == subscribers.end())
                subscribers.push_back(watch);
        }
        return wd;
    }

    void remove(InotifyWatch* watch, int wd) {
        const auto it = m_routes.find(wd);
        if (it == m_routes.end())
            return;
        auto& subscribers = it->second;
        subscribers.erase(std::remove(subscribers.begin(), subscribers.end(), watch),
                          subscribers.end());
        if (subscribers.empty()) {
            m_routes.erase(it);
            ::inotify_rm_watch(m_fd, wd);
        }
    }

    void enlist(InotifyWatch* watch) { m_watches.insert(watch); }
    void leave(InotifyWatch* watch) {
        m_watches.erase(watch);
        m_signalled.erase(watch);
    }
    // A watch gained changes: readEvents() hands it out.
    void noteSignalled(InotifyWatch* watch) { m_signalled.insert(watch); }
    std::vector<ChangeWatch*> takeSignalled();

    // Waits up to `timeoutMs` for events and routes all that are pending.
    void poll(int timeoutMs) {
        pollfd p{m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready > 0)
            readAll();
    }

    void readAll();

private:
    static std::weak_ptr<Hub>& instance() {
        static std::weak_ptr<Hub> hub;
        return hub;
    }
    void route(const inotify_event& ev);

    int m_fd;
    int m_initErrno;
    std::unordered_map<int, std::vector<InotifyWatch*>> m_routes; // watch descriptor -> watches
    std::unordered_set<InotifyWatch*> m_watches;
    std::unordered_set<InotifyWatch*> m_signalled;
    alignas(inotify_event) char m_buffer[eventBufferBytes];
};

class InotifyWatch final : public ChangeWatch {
public:
    InotifyWatch(const QString& folder, const Scope& scope)
        : m_hub(Hub::shared()), m_scope(scope),
          m_maxPending(scope.maxPendingPaths > 0 ? scope.maxPendingPaths : defaultMaxPendingPaths) {
        if (m_hub->fd() < 0) {
            // Too many inotify instances is the same kind of limit as too many watches.
            m_limitReached = m_hub->initErrno() == EMFILE;
            return;
        }
        m_hub->enlist(this);
        const QByteArray top = Paths::toNative(folder);
        struct stat st {};
        if (::stat(top.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return;
        m_device = st.st_dev;
        m_inode = st.st_ino;
        m_topWd = addFolder(top, IN_ONLYDIR);
        if (m_topWd < 0)
            return;
        m_open = true;
        if (m_scope.subtree)
            addSubFoldersBelow(top);
    }

    ~InotifyWatch() override {
        closeAll();
        m_hub->leave(this);
    }

    bool isOpen() const override { return m_open; }
    bool limitReached() const override { return m_limitReached; }
    int watchedFolders() const override { return int(m_folders.size()); }
    QStringList unwatchedFolders() const override { return m_unwatched; }
    quint64 topDevice() const override { return m_device; }
    quint64 topInode() const override { return m_inode; }

    bool signalled() const override { return !m_pending.empty(); }

    bool wait(int timeoutMs) override {
        if (signalled())
            return true;
        if (!m_open)
            return false;
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int remaining = timeoutMs;
        for (;;) {
            m_hub->poll(remaining);
            if (signalled())
                return true;
            // Only other watches' events, or ignored ones (our own temporary files), arrived.
            remaining =
                int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                        .count());
            if (remaining <= 0 || !m_open)
                return false;
        }
    }

    void rearm() override {
        if (m_open)
            m_hub->poll(0);
        // Usually nothing waits untaken: then the pending batch is the whole answer, and its
        // hundred thousand paths need not be looked up one by one.
        if (m_taken.empty())
            m_taken = std::move(m_pending);
        else
            m_taken.append(m_pending);
        m_pending = {};
    }

    ChangeBatch take() override {
        ChangeBatch batch = std::move(m_taken);
        m_taken = {};
        return batch;
    }

    // --- called by the hub
    void overflowed() { markOverflow(); }

    void handle(int wd, uint32_t mask, const char* name) {
        const auto it = m_folders.find(wd);
        if (!m_open || it == m_folders.end())
            return;
        const bool isTop = wd == m_topWd;
        if (mask & IN_IGNORED) {
            m_folders.erase(it);
            if (isTop)
                goneAway();
            return;
        }
        // A renamed sub-folder is dealt with through its parent's move events.
        if (isTop && (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))) {
            goneAway();
            return;
        }
        // A watched folder's own change of permission bits: its mirrors follow them.
        if (name == nullptr && (mask & IN_ATTRIB)) {
            noteFolderChanged(it->second);
            return;
        }
        if (name == nullptr || OwnTemporaryNames::matches(QByteArrayView(name)))
            return;
        const QByteArray child = childPath(it->second, name);
        if (mask & IN_ISDIR)
            folderEvent(mask, child, name);
        else if (mask & (IN_MODIFY | IN_CREATE))
            queueFile(child, FileEvent::Written);
        else if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
            queueFile(child, FileEvent::Closed);
        else if (mask & IN_ATTRIB)
            queueFile(child, FileEvent::Touched);
    }

private:
    void folderEvent(uint32_t mask, const QByteArray& child, const char* name) {
        if (!m_scope.subtree)
            return;
        if (mask & IN_MOVED_FROM) {
            dropFoldersBelow(child);
            const QString gone = Paths::fromNative(child);
            m_unwatched.removeIf([&](const QString& folder) {
                return folder == gone || folder.startsWith(gone + QLatin1Char('/'));
            });
            return;
        }
        if (!(mask & (IN_CREATE | IN_MOVED_TO)))
            return;
        if (m_scope.skipHidden && isHiddenName(name))
            return;
        // Files may already be in it (a folder moved in, or filled before its watch was added):
        // only a walk can name them. A folder that cannot be watched is walked all the same.
        if (addFolder(child, subFolderFlags) >= 0)
            addSubFoldersBelow(child);
        else if (m_limitReached)
            noteUnwatched(child);
        queueFolder(child);
    }

    void queueFile(const QByteArray& path, FileEvent event) {
        m_hub->noteSignalled(this);
        m_pending.countEvent();
        if (m_pending.overflow)
            return;
        m_pending.noteFile(Paths::fromNative(path), event);
        boundPending();
    }

    void noteFolderChanged(const QByteArray& path) {
        m_hub->noteSignalled(this);
        m_pending.countEvent();
        m_pending.noteChangedFolder(Paths::fromNative(path));
    }

    void queueFolder(const QByteArray& path) {
        m_hub->noteSignalled(this);
        m_pending.countEvent();
        if (m_pending.overflow)
            return;
        m_pending.noteNewFolder(Paths::fromNative(path));
        boundPending();
    }

    void boundPending() {
        if (m_pending.files.size() + m_pending.newFolders.size() > m_maxPending)
            markOverflow();
    }

    void markOverflow() {
        if (!m_open)
            return;
        m_hub->noteSignalled(this);
        m_pending = {};
        m_pending.overflow = true;
        m_pending.countEvent();
    }

    // The top folder was deleted, renamed or unmounted: the watch is over, and what it had
    // gathered refers to a tree that is no longer there.
    void goneAway() {
        // The registry hears of it, so that it looks for the folder's return.
        m_hub->noteSignalled(this);
        closeAll();
        m_pending = {};
        m_taken = {};
    }

    void closeAll() {
        for (const auto& [wd, path] : m_folders)
            m_hub->remove(this, wd);
        m_folders.clear();
        m_open = false;
    }

    void dropFoldersBelow(const QByteArray& folder) {
        for (auto it = m_folders.begin(); it != m_folders.end();) {
            if (it->first != m_topWd && isBelowOrSame(it->second, folder)) {
                m_hub->remove(this, it->first);
                it = m_folders.erase(it);
            } else {
                ++it;
            }
        }
    }

    int addFolder(const QByteArray& folder, uint32_t flags) {
        if (m_limitReached)
            return -1;
        int err = m_scope.fault ? m_scope.fault(Paths::fromNative(folder)) : 0;
        int wd = -1;
        if (err == 0) {
            wd = m_hub->add(this, folder, flags);
            err = wd < 0 ? errno : 0;
        }
        if (err == ENOSPC)
            m_limitReached = true;
        if (wd < 0)
            return -1;
        // A bind mount may show the same folder twice; it is watched once.
        if (m_folders.count(wd))
            return -1;
        m_folders[wd] = folder;
        return wd;
    }

    // A sub-folder the watch enters: a real folder (not a link), on the top folder's file
    // system (a whole-drive source means that drive, not every disk mounted below it), and not
    // hidden when hidden files are not wanted.
    bool entersFolder(int dirFd, const dirent* entry) const {
        if (m_scope.skipHidden && isHiddenName(entry->d_name))
            return false;
        if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
            return false;
        struct stat st {};
        return ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(st.st_mode) && st.st_dev == m_device;
    }

    // Walks below `top` without following symbolic links, watching every folder it meets.
    void addSubFoldersBelow(const QByteArray& top) {
        std::vector<QByteArray> pending{top};
        while (!pending.empty()) {
            const QByteArray folder = std::move(pending.back());
            pending.pop_back();
            DIR* dir = ::opendir(folder.constData());
            if (!dir)
                continue;
            while (const dirent* entry = ::readdir(dir)) {
                if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                    continue;
                if (!entersFolder(::dirfd(dir), entry))
                    continue;
                const QByteArray child = childPath(folder, entry->d_name);
                if (!m_limitReached && addFolder(child, subFolderFlags) >= 0)
                    pending.push_back(child);
                else if (m_limitReached)
                    noteUnwatched(child);
            }
            ::closedir(dir);
        }
    }

    // Past the system's limit a folder's whole tree goes unwatched: each change looks it through.
    void noteUnwatched(const QByteArray& folder) {
        const QString path = Paths::fromNative(folder);
        if (!m_unwatched.contains(path))
            m_unwatched << path;
    }

    std::shared_ptr<Hub> m_hub;
    Scope m_scope;
    int m_maxPending;
    bool m_open = false;
    bool m_limitReached = false;
    int m_topWd = -1;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    std::unordered_map<int, QByteArray> m_folders; // watch descriptor -> folder path
    ChangeBatch m_pending;                         // since the last re-arm
    QStringList m_unwatched; // folders past the limit, whose trees no watch covers
    ChangeBatch m_taken;     // re-armed, waiting for the pass to take it
};

void Hub::readAll() {
    for (;;) {
        const ssize_t n = ::read(m_fd, m_buffer, sizeof m_buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(m_buffer + at);
            at += ssize_t(sizeof(inotify_event) + ev->len);
            route(*ev);
        }
    }
}

std::vector<ChangeWatch*> Hub::takeSignalled() {
    std::vector<ChangeWatch*> watches(m_signalled.begin(), m_signalled.end());
    m_signalled.clear();
    return watches;
}

void Hub::route(const inotify_event& ev) {
    if (ev.mask & IN_Q_OVERFLOW) {
        for (InotifyWatch* watch : m_watches)
            watch->overflowed();
        return;
    }
    const auto it = m_routes.find(ev.wd);
    if (it == m_routes.end())
        return;
    // A handler may add or drop watch descriptors, which changes the routes.
    const std::vector<InotifyWatch*> subscribers = it->second;
    const char* name = ev.len > 0 && ev.name[0] != '\0' ? ev.name : nullptr;
    for (InotifyWatch* watch : subscribers)
        watch->handle(ev.wd, ev.mask, name);
    if (ev.mask & IN_IGNORED)
        m_routes.erase(ev.wd);
}

} // namespace

std::unique_ptr<ChangeWatch> ChangeWatch::open(const QString& folder, const Scope& scope) {
    return std::make_unique<InotifyWatch>(folder, scope);
}

int ChangeWatch::instanceCount() {
    return Hub::liveInstances();
}

bool ChangeWatch::stillAt(const QString& folder) const {
    struct stat st {};
    return ::stat(Paths::toNative(folder).constData(), &st) == 0 &&
           quint64(st.st_dev) == topDevice() && quint64(st.st_ino) == topInode();
}

int ChangeWatch::eventDescriptor() {
    const std::shared_ptr<Hub> hub = Hub::existing();
    return hub ? hub->fd() : -1;
}

void ChangeWatch::readEvents() {
    if (const std::shared_ptr<Hub> hub = Hub::existing())
        hub->poll(0);
}

std::vector<ChangeWatch*> ChangeWatch::takeSignalled() {
    const std::shared_ptr<Hub> hub = Hub::existing();
    return hub ? hub->takeSignalled() : std::vector<ChangeWatch*>{};
}

qint64 ChangeWatch::systemWatchLimit() {
    QFile file(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}
