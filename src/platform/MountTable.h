#pragma once
// The current mount table, parsed from /proc/self/mountinfo. A "drive" is the mount point of the
// file system that holds a path: the longest mount point that is a component-wise prefix of it.

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

struct MountEntry {
    int id = 0;           // unique while mounted; a mount made again may get the same one back
    QString mountPoint;   // unescaped ("\040" becomes a space)
    QString fsType;       // "ext4", "vfat", "cifs", "fuse.sshfs", ...
    QString source;       // "/dev/sdb1", "//server/share", "server:/export", "tmpfs"
    QString root;         // the file system's folder mounted there ("/" for a whole file system)
    quint64 deviceId = 0; // major:minor as dev_t
    bool readOnly = false;
};

class MountTable {
public:
    // Parses mountinfo text; malformed lines are skipped.
    static MountTable parse(const QByteArray& mountinfoText);
    // Reads /proc/self/mountinfo now.
    static MountTable current();

    // Which reading of the mount table this is: current() gives a new number whenever the table
    // changed since its last reading, so that whoever kept answers about the disks knows when
    // to look again. 0 for a parsed text.
    quint64 generation() const { return m_generation; }

    const QList<MountEntry>& entries() const { return m_entries; }

    // The mount holding `absolutePath` (the last mounted wins where mounts stack). Always found
    // for an absolute path when "/" is in the table.
    std::optional<MountEntry> mountOf(const QString& absolutePath) const;
    // The entry whose mount point is exactly `mountPoint`.
    std::optional<MountEntry> find(const QString& mountPoint) const;
    bool isMountPoint(const QString& path) const { return find(path).has_value(); }

private:
    QList<MountEntry> m_entries;
    quint64 m_generation = 0;
    // The last entry on each mount point, by its PathKey: mountOf() walks up the path's folders
    // instead of comparing it with every mount of the system.
    QHash<QString, qsizetype> m_lastOnPoint;
};

// The step in which a file system of this type keeps last-modified times, in nanoseconds (see
// FileSystem::modifiedTimeStepNs).
qint64 modifiedTimeStepNs(const QString& fsType);

// True for file-system types that live on another computer (cifs, smb3, nfs, nfs4, fuse.sshfs,
// fuse.gvfsd-fuse, davfs, 9p).
bool isNetworkFsType(const QString& fsType);

// The network form of a mount's source: "//server/share" stays, "server:/export" and
// "user@server:/export" become "//server/export", a URL loses its scheme. Empty for a source
// that names no computer ("/dev/sdb1", "tmpfs").
QString networkFormOfSource(const QString& source);
