#include "presentation/DestinationStatus.h"

#include "platform/DetachedWork.h"
#include "platform/FileSystem.h"
#include "platform/Handover.h"
#include "platform/MountTable.h"
#include "platform/Paths.h"

#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QStorageInfo>

namespace DestinationStatus {

namespace {

bool sameVolume(const QString& a, const QString& b, bool network) {
    return network ? a == b : a.compare(b, Qt::CaseInsensitive) == 0;
}

// Whether any mounted disk carries `volume`.
bool mountedSomewhere(const FileSystem& fso, const QString& volume) {
    const MountTable mounts = MountTable::current();
    for (const MountEntry& e : mounts.entries())
        if (Paths::isAbsolute(e.source) &&
            fso.VolumeName(e.mountPoint).compare(volume, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Whether `drive` is a disk that the folder of an unplugged disk falls back to: the system's
// root, the disk of the home folder or of the source. Another name found there means the disk
// is simply not connected; any other disk in that place is another disk plugged in instead.
bool isFallbackDisk(const FileSystem& fso, const QString& drive, const QString& sourcePath) {
    for (const QString& path : {QDir::rootPath(), QDir::homePath(), sourcePath})
        if (Paths::samePath(fso.GetDriveName(path), drive))
            return true;
    return false;
}

} // namespace

QString sizeText(qint64 bytes) {
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString of(const FileSystem& fso, const QString& sourcePath, bool recursiveSource,
           const QString& destPath, const QString& destVolume) {
    if (recursiveSource && Paths::isSameOrBelow(destPath, sourcePath))
        return QStringLiteral("Inside the source: its copies are skipped");
    const QString drive = fso.GetDriveName(destPath);
    const bool network = fso.IsNetworkPath(destPath);
    if (!fso.DriveExists(drive) || !fso.DriveIsReady(drive))
        return QStringLiteral("Drive not connected");
    const QString held = fso.VolumeName(drive);
    if (!sameVolume(held, destVolume, network)) {
        if (!network && !destVolume.isEmpty() && !mountedSomewhere(fso, destVolume) &&
            isFallbackDisk(fso, drive, sourcePath))
            return QStringLiteral("Drive not connected");
        return QStringLiteral("Volume name differs: the drive holds ") +
               (held.isEmpty() ? QStringLiteral("no name") : held);
    }
    const MountTable mounts = MountTable::current();
    const auto sourceMount = mounts.mountOf(QDir::cleanPath(sourcePath));
    const auto destMount = mounts.mountOf(QDir::cleanPath(destPath));
    if (sourceMount && destMount && sourceMount->deviceId == destMount->deviceId &&
        sourceMount->source == destMount->source)
        return QStringLiteral("Same disk as the source");
    const QStorageInfo storage(drive);
    if (!storage.isValid())
        return QStringLiteral("Ready");
    return QStringLiteral("Ready, ") + sizeText(storage.bytesAvailable()) + QStringLiteral(" free");
}

void ofInBackground(std::shared_ptr<const FileSystem> fso, const Request& request,
                    QObject* receiver, std::function<void(const QString&)> done) {
    DetachedWork::run(
        [fso = std::move(fso), request, to = QPointer<QObject>(receiver), done = std::move(done)] {
            QString status;
            try {
                status = of(*fso, request.sourcePath, request.recursiveSource, request.destPath,
                            request.destVolume);
            } catch (...) {
                status = QStringLiteral("Drive not connected");
            }
            Handover::toMainThread(to, [done, status] { done(status); });
        });
}

} // namespace DestinationStatus
