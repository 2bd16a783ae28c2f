// One Quillmot per user, whatever other users, a second start at the same moment, or a flood of
// connections do.

#include "core/SingleInstance.h"
#include "ProgramStore.h"
#include "support/OtherUser.h"
#include "support/ProgramRun.h"
#include "support/QtApp.h"
#include "support/TempHome.h"

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Connections to a local socket that say nothing, held until destruction.
class IdleConnections {
public:
    // Opens `count`, or as many as the listener takes without keeping one waiting for seconds.
    IdleConnections(const QString& path, int count) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                     sizeof address.sun_path - 1);
        const timeval patience{5, 0};
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(fd);
                break;
            }
            m_fds.push_back(fd);
        }
    }
    ~IdleConnections() {
        for (const int fd : m_fds)
            ::close(fd);
    }
    int opened() const { return int(m_fds.size()); }

private:
    std::vector<int> m_fds;
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

// Each request line gets its answer line; a connection that says nothing is ended, so that it
// holds no descriptor of the program for long.
TEST(SingleInstance, RequestsAreAnsweredAndASilentConnectionIsEnded) {
    ensureCoreApp();
    TempHome home;
    const QString runtime = home.makeFolder("run");
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qunsetenv("QUILLMOT_INSTANCE_NAME");
    SingleInstance instance;
    QSignalSpy shown(&instance, &SingleInstance::showRequested);
    instance.addRequest("status", [] { return QByteArray("watching"); });
    ASSERT_TRUE(instance.listen());
    const auto connected = [](QLocalSocket& socket) {
        socket.connectToServer(SingleInstance::serverName());
        return socket.waitForConnected(5000);
    };
    const auto answer = [&](const QByteArray& request) {
        QLocalSocket socket;
        if (!connected(socket))
            return QByteArray("(not connected)");
        socket.write(request + "\n");
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, 10000))
            return QByteArray("(no answer)");
        return socket.readLine().trimmed();
    };
    EXPECT_EQ(answer("show"), "ok");
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(answer("status"), "watching");
    EXPECT_EQ(answer("format c:"), "unknown request");

    QLocalSocket silent;
    ASSERT_TRUE(connected(silent));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return silent.state() == QLocalSocket::UnconnectedState; }, 10000));
    qunsetenv("XDG_RUNTIME_DIR");
}

// Any process of the user may connect to the socket and say nothing. Well over a thousand such
// connections, more than the program may have descriptors, keep neither a save from being copied
// nor a second start from bringing the window up.
TEST(SingleInstance, ThousandsOfIdleConnectionsStarveNeitherTheBackupNorASecondStart) {
    constexpr int Connections = 1500;
    TempHome home;
    const QString docs = home.makeFolder("Docs");
    const QString backup = home.path() + "/Backup";
    writeStore(home, {{docs, {backup}}});
    ProgramRun run(home.path());
    ASSERT_TRUE(run.start());
    // The program gets the usual limit of a desktop session's programs; this test holds more.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit usual{std::min<rlim_t>(1024, limit.rlim_max), limit.rlim_max};
    ASSERT_EQ(::prlimit(pid_t(run.process.processId()), RLIMIT_NOFILE, &usual, nullptr), 0);
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, Connections + 256);
    if (limit.rlim_cur > limit.rlim_max || ::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        GTEST_SKIP() << "this test may not hold " << Connections << " descriptors";

    const IdleConnections idle(run.socketPath(), Connections);
    EXPECT_EQ(idle.opened(), Connections);
    home.writeFile("Docs/report.txt", "saved");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return readWholeFile(backup + "/Docs/report.txt") == "saved"; }, 15000));
    EXPECT_EQ(run.runSecondInstance(20000), 0);
    ASSERT_TRUE(run.terminate(5000));
    // The window came up: only a window that was shown writes its preferences at the exit.
    EXPECT_TRUE(QFile::exists(home.appDataFolder() + "/wprefs"));
}
