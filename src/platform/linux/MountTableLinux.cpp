#include "platform/MountTable.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QFile>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const char* const mountInfoPath = "/proc/self/mountinfo";

// The kernel writes space, tab, newline and backslash in mountinfo fields as "\" and three octal
// digits; anything else after a backslash is kept as it stands.
QString unescapeField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], d = field[i + 3];
            const auto octal = [](char x) { return x >= '0' && x <= '7'; };
            if (octal(a) && octal(b) && octal(d)) {
                out.append(char(((a - '0') << 6) | ((b - '0') << 3) | (d - '0')));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return Paths::fromNative(out);
}

bool hasOption(const QByteArray& options, const char* option) {
    return options.split(',').contains(QByteArray(option));
}

std::optional<quint64> parseDevice(const QByteArray& field) {
    const QList<QByteArray> parts = field.split(':');
    if (parts.size() != 2)
        return std::nullopt;
    bool okMajor = false, okMinor = false;
    const uint maj = parts[0].toUInt(&okMajor);
    const uint min = parts[1].toUInt(&okMinor);
    if (!okMajor || !okMinor)
        return std::nullopt;
    return quint64(makedev(maj, min));
}

// Line format: id parent major:minor root mount-point options [optional...] - type source super.
std::optional<MountEntry> parseLine(const QByteArray& line) {
    const QList<QByteArray> f = line.split(' ');
    const qsizetype dash = f.indexOf(QByteArray("-"), 6);
    if (f.size() < 6 || dash < 0 || dash + 2 >= f.size())
        return std::nullopt;
    const std::optional<quint64> device = parseDevice(f[2]);
    if (!device || !f[4].startsWith('/'))
        return std::nullopt;
    bool idRead = false;
    MountEntry e;
    e.id = f[0].toInt(&idRead);
    if (!idRead)
        return std::nullopt;
    e.deviceId = *device;
    e.root = unescapeField(f[3]);
    e.mountPoint = unescapeField(f[4]);
    e.fsType = unescapeField(f[dash + 1]);
    e.source = unescapeField(f[dash + 2]);
    e.readOnly = hasOption(f[5], "ro") || (dash + 3 < f.size() && hasOption(f[dash + 3], "ro"));
    return e;
}

QByteArray readProcFile(const char* path) {
    // /proc files report size 0, so read until the end rather than trusting a size.
    QByteArray all;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return all;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            all.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fd);
    return all;
}

} // namespace

MountTable MountTable::parse(const QByteArray& mountinfoText) {
    MountTable table;
    for (const QByteArray& line : mountinfoText.split('\n')) {
        if (std::optional<MountEntry> e = parseLine(line)) {
            table.m_lastOnPoint.insert(
                Paths::PathKey(Paths::withoutTrailingSeparator(e->mountPoint)),
                table.m_entries.size());
            table.m_entries.append(*e);
        }
    }
    return table;
}

// The table is read again only when the kernel says it changed: an open mountinfo polls with
// POLLPRI after every mount or unmount in this namespace. A copy asks for the table several times
// per destination, and each fresh read parses every mount of the system.
MountTable MountTable::current() {
    static std::mutex mutex;
    static const int changes = ::open(mountInfoPath, O_RDONLY | O_CLOEXEC);
    static std::optional<MountTable> cached;
    static quint64 readings = 0;
    const std::lock_guard lock(mutex);
    pollfd watch{changes, POLLPRI, 0};
    if (!cached || changes < 0 || ::poll(&watch, 1, 0) != 0) {
        cached = parse(readProcFile(mountInfoPath));
        cached->m_generation = ++readings;
    }
    return *cached;
}

std::optional<MountEntry> MountTable::mountOf(const QString& absolutePath) const {
    // The deepest mount point at or above the path holds it; of several on one place, the last
    // mounted lies on top.
    for (QString at = Paths::withoutTrailingSeparator(absolutePath); !at.isEmpty();
         at = Paths::parent(at)) {
        const auto it = m_lastOnPoint.constFind(Paths::PathKey(at));
        if (it != m_lastOnPoint.constEnd())
            return m_entries[it.value()];
    }
    return std::nullopt;
}

std::optional<MountEntry> MountTable::find(const QString& mountPoint) const {
    // The last mount on a point is the one seen there.
    const auto it =
        m_lastOnPoint.constFind(Paths::PathKey(Paths::withoutTrailingSeparator(mountPoint)));
    if (it == m_lastOnPoint.constEnd())
        return std::nullopt;
    return m_entries[it.value()];
}

qint64 modifiedTimeStepNs(const QString& fsType) {
    // FAT keeps even seconds. exFAT keeps 10 ms, but other systems write it in 2 s steps, and
    // FUSE's block type does not say whether an exFAT or an NTFS driver is behind it: the coarser
    // step is assumed, so that such a backup disk is not copied again on every catch-up.
    static const QSet<QString> evenSeconds = {"vfat",  "msdos",   "fat",
                                              "exfat", "fuseblk", "fuse.exfat"};
    static const QSet<QString> wholeSeconds = {"hfs", "hfsplus", "iso9660", "udf", "smbfs"};
    if (evenSeconds.contains(fsType))
        return 2 * nsPerSecond;
    if (wholeSeconds.contains(fsType))
        return nsPerSecond;
    return 1;
}

QString networkFormOfSource(const QString& source) {
    if (Paths::isNetworkName(source))
        return Paths::withoutTrailingSeparator(source);
    QString s = source;
    const qsizetype scheme = s.indexOf(QStringLiteral("://"));
    if (scheme >= 0)
        s = s.mid(scheme + 3);
    const qsizetype at = s.indexOf(QLatin1Char('@'));
    const qsizetype colon = s.indexOf(QLatin1Char(':'));
    const qsizetype slash = s.indexOf(Paths::separator());
    if (at >= 0 && (colon < 0 || at < colon) && (slash < 0 || at < slash))
        s = s.mid(at + 1);
    // An IPv6 address is bracketed because it holds colons itself.
    const qsizetype hostEnd = s.startsWith(QLatin1Char('[')) ? s.indexOf(QLatin1Char(']')) : 0;
    qsizetype cut = -1;
    for (qsizetype i = qMax<qsizetype>(hostEnd, 0); i < s.size() && cut < 0; ++i)
        if (s[i] == QLatin1Char(':') || s[i] == Paths::separator())
            cut = i;
    if (cut <= 0)
        return {};
    return Paths::join(Paths::networkPrefix() + s.left(cut),
                       Paths::withoutTrailingSeparator(s.mid(cut + 1)));
}

bool isNetworkFsType(const QString& fsType) {
    static const QSet<QString> network = {"cifs",       "smb3",
                                          "smbfs",      "nfs",
                                          "nfs4",       "9p",
                                          "fuse.sshfs", "fuse.gvfsd-fuse",
                                          "davfs",      "fuse.davfs",
                                          "ceph",       "fuse.rclone",
                                          "afs",        "fuse.glusterfs"};
    return network.contains(fsType);
}
