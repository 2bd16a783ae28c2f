#include "platform/VolumeLabels.h"

#include "platform/MountTable.h"
#include "platform/linux/VolumeLabelLinux.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QVariantMap>

namespace VolumeLabels {
namespace {

// The user may take a while to answer the authorisation question that UDisks2 asks.
constexpr int authorisationLimitMs = 120000;
constexpr int toolLimitMs = 30000;

enum class Outcome { Done, Failed, Unavailable };

struct Attempt {
    Outcome outcome = Outcome::Unavailable;
    QString error;
};

// Waits for a D-Bus answer while the event loop goes on (the engine keeps its timer).
QDBusMessage callAndWait(const QDBusConnection& bus, const QDBusMessage& call, int limitMs) {
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, limitMs));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec();
    return watcher.reply();
}

Attempt writeWithUDisks(const MountEntry& mount, const QString& label) {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return {};
    const QString object =
        udisksObjectIn(callAndWait(bus, udisksResolveDevice(mount.source), 5000));
    if (object.isEmpty())
        return {}; // no UDisks2, or it does not know the device: the tools may still do it
    QDBusMessage setLabel = QDBusMessage::createMethodCall(
        udisksService, object, QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
        QStringLiteral("SetLabel"));
    setLabel << label << QVariantMap{};
    const QDBusMessage answer = callAndWait(bus, setLabel, authorisationLimitMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return {Outcome::Done, {}};
    if (answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
        answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return {};
    return {Outcome::Failed, answer.errorMessage()};
}

// The label tool of a file system type and its arguments.
QStringList toolCommand(const MountEntry& mount, const QString& label) {
    const QString& type = mount.fsType;
    if (type == QLatin1String("ext2") || type == QLatin1String("ext3") ||
        type == QLatin1String("ext4"))
        return {QStringLiteral("e2label"), mount.source, label};
    if (type == QLatin1String("vfat") || type == QLatin1String("msdos") ||
        type == QLatin1String("fat"))
        return {QStringLiteral("fatlabel"), mount.source, label};
    if (type == QLatin1String("exfat"))
        return {QStringLiteral("exfatlabel"), mount.source, label};
    if (type == QLatin1String("ntfs") || type == QLatin1String("ntfs3") ||
        type == QLatin1String("fuseblk"))
        return {QStringLiteral("ntfslabel"), mount.source, label};
    if (type == QLatin1String("btrfs"))
        return {QStringLiteral("btrfs"), QStringLiteral("filesystem"), QStringLiteral("label"),
                mount.mountPoint, label};
    if (type == QLatin1String("xfs"))
        return {QStringLiteral("xfs_io"), QStringLiteral("-c"),
                QStringLiteral("label -s %1").arg(label), mount.mountPoint};
    return {};
}

QString findTool(const QString& name) {
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty()) // the label tools live in sbin, which a user's PATH may lack
        path = QStandardPaths::findExecutable(
            name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

QString writeWithTool(const MountEntry& mount, const QString& label) {
    QStringList command = toolCommand(mount, label);
    if (command.isEmpty())
        return refusal(mount.fsType, label);
    const QString tool = findTool(command.takeFirst());
    if (tool.isEmpty())
        return QStringLiteral("The program that sets the volume name of a %1 drive is not "
                              "installed.")
            .arg(mount.fsType);
    QProcess process;
    process.start(tool, command);
    QEventLoop loop;
    QTimer::singleShot(toolLimitMs, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("Setting the volume name took too long and was stopped.");
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {};
    const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return said.isEmpty() ? QStringLiteral("Setting the volume name failed.") : said;
}

} // namespace

QString write(const QString& mountPoint, const QString& label) {
    const auto mount = MountTable::current().find(mountPoint);
    if (!mount)
        return QStringLiteral("The drive is no longer mounted.");
    if (const QString refused = refusal(mount->fsType, label); !refused.isEmpty())
        return refused;
    const Attempt viaUDisks = writeWithUDisks(*mount, label);
    if (viaUDisks.outcome == Outcome::Done)
        return {};
    if (viaUDisks.outcome == Outcome::Failed)
        return viaUDisks.error;
    return writeWithTool(*mount, label);
}

} // namespace VolumeLabels
