#include "platform/linux/VolumeLabelLinux.h"

#include "platform/Paths.h"
#include "platform/linux/UniqueFd.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

#include <blkid/blkid.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef FS_IOC_GETFSUUID
// Newer kernels answer this for any file system that has a UUID; older headers lack it.
struct fsuuid2 {
    __u8 len;
    __u8 uuid[16];
};
#define FS_IOC_GETFSUUID _IOR(0x15, 0, struct fsuuid2)
#endif

namespace {

// A D-Bus call must not stall the engine for long when the service hangs.
constexpr int uDisksTimeoutMs = 2000;

UniqueFd openFolder(const QString& path) {
    return UniqueFd(
        ::open(Paths::toNative(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
}

// nullopt when the file system does not answer; an empty text when it has no label.
std::optional<QString> ioctlLabel(const QString& mountPoint) {
    const UniqueFd dir = openFolder(mountPoint);
    char label[FSLABEL_MAX + 1] = {};
    if (dir.get() < 0 || ::ioctl(dir.get(), FS_IOC_GETFSLABEL, label) != 0)
        return std::nullopt;
    label[FSLABEL_MAX] = '\0';
    return QString::fromUtf8(label);
}

// Written the way blkid and udev write a 16-byte UUID, so either source gives the same name.
QString ioctlUuid(const QString& mountPoint) {
    const UniqueFd dir = openFolder(mountPoint);
    struct fsuuid2 id {};
    if (dir.get() < 0 || ::ioctl(dir.get(), FS_IOC_GETFSUUID, &id) != 0 || id.len != 16)
        return {};
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(id.uuid), 16).toHex();
    return QString::fromLatin1(hex.left(8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' +
                               hex.mid(16, 4) + '-' + hex.mid(20));
}

// udev writes unsafe characters of a name as "\xHH".
QString decodeUdevName(const QString& name) {
    QByteArray out;
    const QByteArray in = Paths::toNative(name);
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] == 'x') {
            bool ok = false;
            const int value = in.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(in[i]);
    }
    return QString::fromUtf8(out);
}

// The name of the link in a /dev/disk/by-* folder that points at `device`.
QString udevLinkName(const QString& folder, dev_t device) {
    if (device == 0)
        return {};
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::System |
                                                     QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : names) {
        struct stat st {};
        if (::stat(Paths::toNative(Paths::join(folder, name)).constData(), &st) == 0 &&
            S_ISBLK(st.st_mode) && st.st_rdev == device)
            return decodeUdevName(name);
    }
    return {};
}

} // namespace

QDBusMessage udisksResolveDevice(const QString& device) {
    QDBusMessage resolve = QDBusMessage::createMethodCall(
        udisksService, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
        QStringLiteral("org.freedesktop.UDisks2.Manager"), QStringLiteral("ResolveDevice"));
    resolve << QVariantMap{{QStringLiteral("path"), device}} << QVariantMap{};
    return resolve;
}

QString udisksObjectIn(const QDBusMessage& answer) {
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty())
        return {};
    const auto objects = qdbus_cast<QList<QDBusObjectPath>>(answer.arguments().constFirst());
    return objects.isEmpty() ? QString() : objects.constFirst().path();
}

FileSystemIds probeFileSystemIds(const QString& device) {
    FileSystemIds ids;
    blkid_probe probe = blkid_new_probe_from_filename(Paths::toNative(device).constData());
    if (!probe)
        return ids;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
    if (blkid_do_safeprobe(probe) == 0) {
        const char* value = nullptr;
        if (blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value)
            ids.label = QString::fromUtf8(value);
        if (blkid_probe_lookup_value(probe, "UUID", &value, nullptr) == 0 && value)
            ids.uuid = QString::fromUtf8(value);
    }
    blkid_free_probe(probe);
    return ids;
}

namespace {

// Connecting to a bus that is not there costs a warning on every call; look for it first.
bool systemBusPresent() {
    return !qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") ||
           QFileInfo::exists(QStringLiteral("/run/dbus/system_bus_socket")) ||
           QFileInfo::exists(QStringLiteral("/var/run/dbus/system_bus_socket"));
}

QString udisksProperty(QDBusConnection& bus, const QString& object, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        udisksService, object, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.UDisks2.Block") << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, uDisksTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

FileSystemIds udisksIds(const QString& device) {
    if (device.isEmpty() || !systemBusPresent())
        return {};
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return {};
    const QString object =
        udisksObjectIn(bus.call(udisksResolveDevice(device), QDBus::Block, uDisksTimeoutMs));
    if (object.isEmpty())
        return {};
    return {udisksProperty(bus, object, QStringLiteral("IdLabel")),
            udisksProperty(bus, object, QStringLiteral("IdUUID"))};
}

// The block device behind a mount, when its source names one. The device number of the mount
// must match, unless the file system (btrfs) reports an anonymous one.
QString blockDeviceOf(const MountEntry& mount, dev_t* device) {
    *device = major(mount.deviceId) != 0 ? dev_t(mount.deviceId) : 0;
    if (!mount.source.startsWith(QStringLiteral("/dev/")))
        return {};
    struct stat st {};
    if (::stat(Paths::toNative(mount.source).constData(), &st) != 0 || !S_ISBLK(st.st_mode))
        return {};
    if (*device != 0 && st.st_rdev != *device)
        return {};
    *device = st.st_rdev;
    return mount.source;
}

// Memory file systems, network shares and user-space file systems have no stable name.
bool hasNoName(const MountEntry& mount) {
    return isNetworkFsType(mount.fsType) || mount.fsType == QStringLiteral("fuse") ||
           mount.fsType.startsWith(QStringLiteral("fuse."));
}

} // namespace

QString volumeNameOf(const MountEntry& mount) {
    if (hasNoName(mount))
        return {};
    dev_t device = 0;
    const QString blockDevice = blockDeviceOf(mount, &device);
    // fuseblk (ntfs-3g, exfat-fuse) has a device to probe but no kernel file system to ask.
    const bool kernelFs = mount.fsType != QStringLiteral("fuseblk");

    // Where the file system itself says "no label", the slower sources need not be asked.
    bool knownUnlabeled = false;
    if (kernelFs) {
        if (const std::optional<QString> label = ioctlLabel(mount.mountPoint)) {
            if (!label->isEmpty())
                return *label;
            knownUnlabeled = true;
        }
    }
    if (!knownUnlabeled) {
        const QString label = udevLinkName(QStringLiteral("/dev/disk/by-label"), device);
        if (!label.isEmpty())
            return label;
    }
    const FileSystemIds probed =
        blockDevice.isEmpty() ? FileSystemIds{} : probeFileSystemIds(blockDevice);
    if (!knownUnlabeled && !probed.label.isEmpty())
        return probed.label;
    std::optional<FileSystemIds> fromUDisks;
    if (!knownUnlabeled && probed.uuid.isEmpty()) {
        fromUDisks = udisksIds(blockDevice);
        if (!fromUDisks->label.isEmpty())
            return fromUDisks->label;
    }

    // Only a device-backed file system has a UUID that names the disk: a memory file system
    // answers the UUID ioctl with one made up at mount time.
    if (blockDevice.isEmpty() && device == 0)
        return {};
    QString uuid = kernelFs ? ioctlUuid(mount.mountPoint) : QString();
    if (uuid.isEmpty())
        uuid = udevLinkName(QStringLiteral("/dev/disk/by-uuid"), device);
    if (uuid.isEmpty())
        uuid = probed.uuid;
    if (uuid.isEmpty())
        uuid = (fromUDisks ? *fromUDisks : udisksIds(blockDevice)).uuid;
    return uuid.isEmpty() ? QString() : QStringLiteral("UUID=") + uuid;
}
