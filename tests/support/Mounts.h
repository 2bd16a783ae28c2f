#pragma once
// Real, throw-away file systems for drive tests: a loop-mounted ext4 or vfat image with a label,
// a tiny tmpfs that fills up, a read-only bind mount. Each lives in its own scratch folder under
// /tmp and takes its mount, loop device, image and folders with it when destroyed, so a failing
// test leaves nothing mounted. A factory returns nullptr where mounting is refused (not root, no
// loop device, mount failing); the test then skips, saying refusal().

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// Ends the test as skipped, saying why, where the scratch mount `mount` could not be made.
#define SKIP_UNLESS_MOUNTED(mount)                                                                 \
    do {                                                                                           \
        if (!(mount))                                                                              \
            GTEST_SKIP() << ScratchMount::refusal();                                               \
    } while (false)

class ScratchMount {
public:
    // An empty label makes an unlabeled file system. mkfs.vfat upper-cases labels.
    static std::unique_ptr<ScratchMount> ext4(const QString& label, int sizeMiB);
    static std::unique_ptr<ScratchMount> vfat(const QString& label, int sizeMiB);
    // `source` is what the mount table shows as its source ("//server/share" to stand in for a
    // mounted network share).
    static std::unique_ptr<ScratchMount> tmpfs(int sizeKiB, const QString& source = "tmpfs");
    static std::unique_ptr<ScratchMount> readOnlyBind(const QString& sourceFolder);
    // Why the last factory that returned nullptr refused.
    static std::string refusal();
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;

    // An empty folder under /tmp before mounting.
    QString mountPoint() const { return m_scratch + "/mnt"; }
    // Unmounts early; the mount point stays as an empty folder.
    bool unmount();
    // Mounts the same image (or a fresh tmpfs, or the same bind) again at the same place.
    bool remount(QString* error = nullptr);

private:
    ScratchMount() = default;
    // `mkfs` is a tool and its arguments, "%image" standing for the image file; empty for none.
    static std::unique_ptr<ScratchMount> create(QStringList mkfs, QStringList mountArgs);
    bool isMounted() const;

    QString m_scratch; // holds the image and the mount point; removed at the end
    QStringList m_mountArgs;
};

// A real sshfs share, served by an sshd of its own on a loopback port (sshfs-share.sh beside
// this file). Where sshd, sshfs or FUSE cannot run, mountPoint() is empty and refusal() says why.
class SshfsShare {
public:
    SshfsShare();
    // Lets a stopped server go on, unmounts, ends the server and removes everything.
    ~SshfsShare();
    SshfsShare(const SshfsShare&) = delete;

    QString mountPoint() const { return m_mounted ? m_dir + "/mnt" : QString(); }
    std::string refusal() const { return m_refusal.toStdString(); }
    // Stops the server (SIGSTOP): the share hangs, as when its machine leaves the network.
    bool stopServer();
    bool continueServer();

private:
    bool run(const QString& action);

    QString m_dir;
    QString m_refusal;
    bool m_mounted = false;
};
