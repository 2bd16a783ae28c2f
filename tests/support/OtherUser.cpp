#include "support/OtherUser.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <ftw.h>
#include <grp.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// useradd refuses while another holds the user database's lock; tests run side by side.
constexpr int UserToolAttempts = 20;
constexpr int LockBusyStatus = 10;

int runUserTool(const QString& tool, const QStringList& args, QString* error) {
    const QString program = QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"});
    if (program.isEmpty()) {
        if (error)
            *error = tool + " is not installed";
        return -1;
    }
    int status = -1;
    for (int attempt = 0; attempt < UserToolAttempts; ++attempt) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(30000))
            return -1;
        status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        if (error)
            *error = tool + " failed: " + QString::fromLocal8Bit(p.readAllStandardError());
        if (status != LockBusyStatus)
            break;
    }
    return status;
}

uid_t g_owner = 0;
gid_t g_group = 0;

int chownEntry(const char* path, const struct stat*, int, FTW*) {
    return ::lchown(path, g_owner, g_group);
}

} // namespace

std::unique_ptr<OtherUser> OtherUser::create(QString* skipReason) {
    if (::geteuid() != 0) {
        *skipReason = "making a second user needs root";
        return nullptr;
    }
    static int made = 0;
    std::unique_ptr<OtherUser> user(new OtherUser);
    user->m_name = QString("qmtest%1x%2").arg(::getpid()).arg(++made);
    if (runUserTool("useradd",
                    {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", "--user-group",
                     user->m_name},
                    skipReason) != 0)
        return nullptr;
    const passwd* entry = ::getpwnam(QFile::encodeName(user->m_name).constData());
    if (!entry) {
        *skipReason = "useradd made no user " + user->m_name;
        return nullptr;
    }
    user->m_uid = entry->pw_uid;
    user->m_gid = entry->pw_gid;
    return user;
}

OtherUser::~OtherUser() {
    runUserTool("userdel", {m_name}, nullptr);
}

void OtherUser::own(const QString& path) const {
    g_owner = m_uid;
    g_group = m_gid;
    ::nftw(QFile::encodeName(path).constData(), chownEntry, 16, FTW_PHYS);
}

std::vector<gid_t> OtherUser::groups() const {
    std::vector<gid_t> all{m_gid};
    all.insert(all.end(), m_groups.begin(), m_groups.end());
    return all;
}

OtherUser::Acting::Acting(const OtherUser& user) {
    const std::vector<gid_t> groups = user.groups();
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setegid(user.m_gid) != 0 ||
        ::seteuid(user.m_uid) != 0)
        throw std::runtime_error("cannot act as the second user");
}

OtherUser::Process::Process(const OtherUser& user, const std::function<void()>& body) {
    const std::vector<gid_t> groups = user.groups();
    m_pid = ::fork();
    if (m_pid != 0)
        return;
    // Only system calls from here on: the parent's other threads do not exist in the child.
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(user.m_gid) != 0 ||
        ::setuid(user.m_uid) != 0)
        ::_exit(1);
    body();
    ::_exit(0);
}

OtherUser::Process::~Process() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
}

OtherUser::Acting::~Acting() {
    // Back to root, who may then set the groups again.
    if (::seteuid(0) == 0) {
        ::setegid(0);
        ::setgroups(0, nullptr);
    }
}
