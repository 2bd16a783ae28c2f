#include "support/Mounts.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// The mkfs and loop tools live in sbin, which a non-login PATH may lack.
QString findTool(const QString& name) {
    QString exe = QStandardPaths::findExecutable(name);
    if (exe.isEmpty())
        exe = QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    return exe;
}

bool runTool(const QString& name, const QStringList& args, QString* error,
             QByteArray* out = nullptr) {
    const QString exe = findTool(name);
    if (exe.isEmpty()) {
        *error = name + " is not installed";
        return false;
    }
    QProcess p;
    p.start(exe, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(60000)) {
        *error = name + " did not run: " + p.errorString();
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = name + " " + args.join(' ') +
                 " failed: " + QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        return false;
    }
    return true;
}

// mountinfo writes space, tab, newline and backslash as three octal digits.
QByteArray unescapeOctal(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return out;
}

bool appearsInMountTable(const QString& mountPoint) {
    QFile f("/proc/self/mountinfo");
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = QFile::encodeName(mountPoint);
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && unescapeOctal(fields[4]) == wanted)
            return true;
    }
    return false;
}

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// A fresh scratch folder with an empty "mnt" inside. The canonical path is kept so that it
// matches the mount table, which shows resolved paths.
QString makeScratchFolder(QString* error) {
    QByteArray pattern = "/tmp/quillmot-scratch-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        *error = "cannot create a scratch folder: " + errnoText(errno);
        return {};
    }
    const QString folder = QFileInfo(QFile::decodeName(pattern)).canonicalFilePath();
    if (!QDir(folder).mkdir("mnt")) {
        *error = "cannot create a mount point in " + folder;
        QDir(folder).removeRecursively();
        return {};
    }
    return folder;
}

bool refusedUnlessRoot(QString* skipReason) {
    if (geteuid() == 0)
        return false;
    *skipReason = "mounting needs root";
    return true;
}

} // namespace

ScratchMount::ScratchMount(Kind kind, const QString& scratchFolder)
    : m_kind(kind), m_scratch(scratchFolder), m_mountPoint(scratchFolder + "/mnt") {}

std::unique_ptr<ScratchMount> ScratchMount::loopImage(const QString& fsType, const QString& label,
                                                      int sizeMiB, QString* skipReason) {
    if (refusedUnlessRoot(skipReason))
        return nullptr;
    if (!QFileInfo::exists("/dev/loop-control") && !QFileInfo::exists("/dev/loop0")) {
        *skipReason = "no loop devices";
        return nullptr;
    }
    const QString scratch = makeScratchFolder(skipReason);
    if (scratch.isEmpty())
        return nullptr;
    std::unique_ptr<ScratchMount> m(new ScratchMount(Kind::Loop, scratch));
    m->m_image = scratch + "/image";
    QFile image(m->m_image);
    if (!image.open(QIODevice::WriteOnly) || !image.resize(qint64(sizeMiB) * 1024 * 1024)) {
        *skipReason = "cannot create the image file " + m->m_image;
        return nullptr;
    }
    image.close();
    QStringList args;
    QString tool;
    if (fsType == "ext4") {
        tool = "mkfs.ext4";
        args << "-q"
             << "-F";
        if (!label.isEmpty())
            args << "-L" << label;
    } else {
        tool = "mkfs.vfat";
        if (!label.isEmpty())
            args << "-n" << label;
    }
    args << m->m_image;
    if (!runTool(tool, args, skipReason) || !m->mountNow(skipReason))
        return nullptr;
    return m;
}

std::unique_ptr<ScratchMount> ScratchMount::ext4(const QString& label, int sizeMiB,
                                                 QString* skipReason) {
    return loopImage("ext4", label, sizeMiB, skipReason);
}

std::unique_ptr<ScratchMount> ScratchMount::vfat(const QString& label, int sizeMiB,
                                                 QString* skipReason) {
    return loopImage("vfat", label, sizeMiB, skipReason);
}

std::unique_ptr<ScratchMount> ScratchMount::tmpfs(int sizeKiB, QString* skipReason) {
    if (refusedUnlessRoot(skipReason))
        return nullptr;
    const QString scratch = makeScratchFolder(skipReason);
    if (scratch.isEmpty())
        return nullptr;
    std::unique_ptr<ScratchMount> m(new ScratchMount(Kind::Tmpfs, scratch));
    m->m_sizeKiB = sizeKiB;
    if (!m->mountNow(skipReason))
        return nullptr;
    return m;
}

std::unique_ptr<ScratchMount> ScratchMount::readOnlyBind(const QString& sourceFolder,
                                                         QString* skipReason) {
    if (refusedUnlessRoot(skipReason))
        return nullptr;
    const QString scratch = makeScratchFolder(skipReason);
    if (scratch.isEmpty())
        return nullptr;
    std::unique_ptr<ScratchMount> m(new ScratchMount(Kind::Bind, scratch));
    m->m_source = sourceFolder;
    if (!m->mountNow(skipReason))
        return nullptr;
    return m;
}

bool ScratchMount::mountNow(QString* error) {
    const QByteArray target = QFile::encodeName(m_mountPoint);
    switch (m_kind) {
    case Kind::Loop:
        return runTool("mount", {"-o", "loop", m_image, m_mountPoint}, error);
    case Kind::Tmpfs: {
        const QByteArray options = "size=" + QByteArray::number(m_sizeKiB) + "k,mode=0755";
        if (::mount("tmpfs", target.constData(), "tmpfs", 0, options.constData()) == 0)
            return true;
        *error = "tmpfs mount refused: " + errnoText(errno);
        return false;
    }
    case Kind::Bind: {
        const QByteArray source = QFile::encodeName(m_source);
        if (::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0) {
            *error = "bind mount refused: " + errnoText(errno);
            return false;
        }
        // A bind mount takes the source's flags; read-only needs a second, remounting call.
        if (::mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) != 0) {
            *error = "read-only remount refused: " + errnoText(errno);
            ::umount2(target.constData(), MNT_DETACH);
            return false;
        }
        return true;
    }
    }
    return false;
}

bool ScratchMount::isMounted() const {
    return appearsInMountTable(m_mountPoint);
}

void ScratchMount::detachLoopDevices() {
    if (m_image.isEmpty())
        return;
    QString error;
    QByteArray out;
    if (!runTool("losetup", {"-j", m_image}, &error, &out))
        return;
    for (const QByteArray& line : out.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            runTool("losetup", {"-d", QString::fromLocal8Bit(line.left(colon))}, &error);
    }
}

QString ScratchMount::mountPoint() const {
    return m_mountPoint;
}

bool ScratchMount::unmount() {
    const QByteArray target = QFile::encodeName(m_mountPoint);
    for (int attempt = 0; attempt < 8 && isMounted(); ++attempt) {
        // A test that failed half-way may still hold a file open there; detach lazily then.
        if (::umount2(target.constData(), 0) != 0 && errno == EBUSY)
            ::umount2(target.constData(), MNT_DETACH);
    }
    if (m_kind == Kind::Loop)
        detachLoopDevices();
    return !isMounted();
}

bool ScratchMount::remount() {
    if (isMounted())
        return true;
    QString error;
    return mountNow(&error);
}

ScratchMount::~ScratchMount() {
    if (unmount()) {
        // Only once nothing is mounted there, so this cannot reach into a mounted file system
        // (a bind mount's source above all).
        QDir(m_scratch).removeRecursively();
    } else if (!m_image.isEmpty()) {
        QFile::remove(m_image);
    }
}
