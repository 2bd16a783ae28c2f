#include "support/Mounts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>
#include <unistd.h>

namespace {

// The mkfs and mount tools live in sbin, which a non-login PATH may lack.
bool run(const QString& tool, const QStringList& args, QString* error) {
    QProcess p;
    p.start(QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}), args);
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    if (error)
        *error = tool + " " + args.join(' ') +
                 " failed: " + QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return false;
}

QString g_refusal; // why the last factory returned nullptr

QStringList labelled(QStringList args, const char* option, const QString& label) {
    return label.isEmpty() ? args : args << option << label;
}

} // namespace

std::unique_ptr<ScratchMount> ScratchMount::create(QStringList mkfs, QStringList mountArgs) {
    QByteArray pattern = "/tmp/quillmot-scratch-XXXXXX";
    if (geteuid() != 0 || !mkdtemp(pattern.data())) {
        g_refusal = "mounting needs root and a scratch folder";
        return nullptr;
    }
    std::unique_ptr<ScratchMount> m(new ScratchMount);
    // Canonical, so that it matches the mount table, which shows resolved paths.
    m->m_scratch = QDir(QFile::decodeName(pattern)).canonicalPath();
    QDir(m->m_scratch).mkdir("mnt");
    const QString image = m->m_scratch + "/image";
    if (!mkfs.isEmpty()) {
        const QString tool = mkfs.takeFirst();
        if (!run(tool, mkfs.replaceInStrings("%image", image), &g_refusal))
            return nullptr;
        mountArgs << "-o"
                  << "loop" << image;
    }
    m->m_mountArgs = mountArgs << m->mountPoint();
    return m->remount(&g_refusal) ? std::move(m) : nullptr;
}

std::unique_ptr<ScratchMount> ScratchMount::ext4(const QString& label, int sizeMiB) {
    const QStringList mkfs = labelled({"mkfs.ext4", "-q", "-F"}, "-L", label);
    return create(mkfs + QStringList{"%image", QString::number(sizeMiB) + "M"}, {});
}

std::unique_ptr<ScratchMount> ScratchMount::vfat(const QString& label, int sizeMiB) {
    const QStringList mkfs = labelled({"mkfs.vfat"}, "-n", label);
    return create(mkfs + QStringList{"-C", "%image", QString::number(sizeMiB * 1024)}, {});
}

std::unique_ptr<ScratchMount> ScratchMount::tmpfs(int sizeKiB, const QString& source) {
    const QString options = "size=" + QString::number(sizeKiB) + "k,mode=0755";
    return create({}, {"-t", "tmpfs", "-o", options, source});
}

std::unique_ptr<ScratchMount> ScratchMount::readOnlyBind(const QString& sourceFolder) {
    return create({}, {"-o", "bind,ro", sourceFolder});
}

std::string ScratchMount::refusal() {
    return g_refusal.toStdString();
}

bool ScratchMount::isMounted() const {
    QFile table("/proc/self/mountinfo");
    return table.open(QIODevice::ReadOnly) &&
           table.readAll().contains(" " + QFile::encodeName(mountPoint()) + " ");
}

bool ScratchMount::unmount() {
    // -d frees the loop device at once; a test that failed half-way may still hold a file open
    // there, which only a lazy unmount gets past.
    if (isMounted() && !run("umount", {"-d", mountPoint()}, nullptr))
        run("umount", {"-l", "-d", mountPoint()}, nullptr);
    return !isMounted();
}

bool ScratchMount::remount(QString* error) {
    return isMounted() || run("mount", m_mountArgs, error);
}

ScratchMount::~ScratchMount() {
    // Only once nothing is mounted there, so this cannot reach into a mounted file system (a bind
    // mount's source above all).
    if (unmount())
        QDir(m_scratch).removeRecursively();
    else
        QFile::remove(m_scratch + "/image");
}

SshfsShare::SshfsShare() {
    QByteArray pattern = "/tmp/quillmot-sshfs-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        m_refusal = "no scratch folder for the share";
        return;
    }
    m_dir = QFile::decodeName(pattern);
    m_mounted = run("mount");
}

SshfsShare::~SshfsShare() {
    if (!m_dir.isEmpty() && !run("unmount"))
        qWarning("%s", qPrintable(m_refusal));
}

bool SshfsShare::stopServer() {
    return run("stop");
}

bool SshfsShare::continueServer() {
    return run("continue");
}

bool SshfsShare::run(const QString& action) {
    QProcess p;
    p.start(QStringLiteral(QUILLMOT_TEST_SUPPORT_DIR "/sshfs-share.sh"), {action, m_dir});
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    m_refusal = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (m_refusal.isEmpty())
        m_refusal = "sshfs-share.sh " + action + " failed";
    return false;
}
