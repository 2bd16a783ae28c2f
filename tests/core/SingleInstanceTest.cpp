// One Quillmot per user, whatever other users or a second start at the same moment do.

#include "core/SingleInstance.h"
#include "support/OtherUser.h"
#include "support/ProgramRun.h"
#include "support/QtApp.h"
#include "support/TempHome.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A process of another user listening on a local socket at `path`, answering nothing.
class ForeignListener {
public:
    ForeignListener(uid_t user, const QString& path) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            if (::setgid(user) != 0 || ::setuid(user) != 0)
                ::_exit(1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray native = QFile::encodeName(path);
            std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
            ::umask(0);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                ::listen(fd, 8) != 0)
                ::_exit(2);
            [[maybe_unused]] auto n = ::write(ready[1], "r", 1);
            for (;;) {
                const int client = ::accept(fd, nullptr, nullptr);
                char buffer[64];
                [[maybe_unused]] auto got = ::read(client, buffer, sizeof buffer);
                ::close(client);
            }
        }
        ::close(ready[1]);
        char byte = 0;
        m_ready = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~ForeignListener() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

// A folder every user may write into, as /tmp is.
struct SharedFolder {
    QTemporaryDir dir{"/tmp/quillmot-shared-XXXXXX"};
    SharedFolder() { ::chmod(QFile::encodeName(dir.path()).constData(), 01777); }
    QString path() const { return dir.path(); }
};

} // namespace

// Another user who binds the name Quillmot would use in a shared folder first must neither
// receive its "show" request nor keep it from starting.
TEST(SingleInstance, AnotherUsersSocketInTheSharedTempFolderDoesNotStopTheStart) {
    QString reason;
    const auto user = OtherUser::create(&reason);
    if (!user)
        GTEST_SKIP() << reason.toStdString();
    TempHome home;
    SharedFolder shared;
    ForeignListener squatter(user->uid(),
                             shared.path() + "/quillmot-" + QString::number(::getuid()));
    ASSERT_TRUE(squatter.ready());

    ProgramRun run(home.path());
    QProcessEnvironment env = run.process.processEnvironment();
    env.insert("TMPDIR", shared.path());
    env.remove("QUILLMOT_INSTANCE_NAME");
    run.process.setProcessEnvironment(env);
    ASSERT_TRUE(run.start()) << "ended with " << run.process.exitCode();
    EXPECT_EQ(run.runSecondInstance(10000), 0);
    EXPECT_EQ(run.process.state(), QProcess::Running);
}

// A socket in the instance folder that another user's process serves is not a running Quillmot.
TEST(SingleInstance, AnAnswerFromAnotherUsersProcessIsNotTrusted) {
    QString reason;
    const auto user = OtherUser::create(&reason);
    if (!user)
        GTEST_SKIP() << reason.toStdString();
    ensureCoreApp();
    SharedFolder shared;
    // The folder is opened to the other user only while their process binds its socket.
    const QString runtime = shared.path() + "/run";
    ASSERT_TRUE(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0777);
    ForeignListener impostor(user->uid(), runtime + "/quillmot");
    ASSERT_TRUE(impostor.ready());
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qunsetenv("QUILLMOT_INSTANCE_NAME");
    ASSERT_EQ(SingleInstance::serverName(), runtime + "/quillmot");
    EXPECT_FALSE(SingleInstance::askRunningInstanceToShow(2000));
    qunsetenv("XDG_RUNTIME_DIR");
}

// True when process `pid` waits for an flock on the file with inode `inode`.
bool waitsForLock(qint64 pid, ino_t inode) {
    QFile locks("/proc/locks");
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray owner = " " + QByteArray::number(pid) + " ";
    const QByteArray file = ":" + QByteArray::number(quint64(inode)) + " ";
    for (const QByteArray& line : locks.readAll().split('\n'))
        if (line.contains("-> FLOCK") && line.contains(owner) && line.contains(file))
            return true;
    return false;
}

// A start that finds another start under way waits until that one listens, rather than finding
// no instance yet and running as well.
TEST(SingleInstance, AStartWaitsForTheStartUnderWay) {
    TempHome home;
    ProgramRun run(home.path());
    const QByteArray lockPath = QFile::encodeName(run.socketPath() + ".lock");
    const int held = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    struct stat st {};
    ASSERT_EQ(::fstat(held, &st), 0);
    run.launch();
    const bool waited =
        QTest::qWaitFor([&] { return waitsForLock(run.process.processId(), st.st_ino); }, 20000);
    ::close(held);
    EXPECT_TRUE(waited);
    EXPECT_TRUE(run.waitForOutput("Quillmot: watches open", 20000));
}

// The log-in entry and a click at the same moment: one runs, the others show it and end.
TEST(SingleInstance, StartsAtTheSameMomentLeaveExactlyOneRunning) {
    TempHome home;
    ProgramRun first(home.path());
    constexpr int Starts = 4;
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 0; i < Starts; ++i) {
        starts.push_back(std::make_unique<QProcess>());
        starts.back()->setProcessEnvironment(first.process.processEnvironment());
    }
    for (auto& p : starts)
        p->start(QStringLiteral(QUILLMOT_BINARY), {"nowin"});
    const auto ended = [&] {
        return int(std::count_if(starts.begin(), starts.end(),
                                 [](const auto& p) { return p->state() == QProcess::NotRunning; }));
    };
    for (int waited = 0; ended() < Starts - 1 && waited < 60000; waited += 100)
        for (auto& p : starts)
            p->waitForFinished(25);
    EXPECT_EQ(ended(), Starts - 1);
    for (auto& p : starts) {
        if (p->state() == QProcess::NotRunning) {
            EXPECT_EQ(p->exitCode(), 0);
        }
    }
    for (auto& p : starts) {
        if (p->state() != QProcess::NotRunning) {
            ::kill(pid_t(p->processId()), SIGTERM);
            EXPECT_TRUE(p->waitForFinished(10000));
        }
    }
}
