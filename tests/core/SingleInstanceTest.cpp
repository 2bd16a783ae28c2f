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
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                 sizeof address.sun_path - 1);
    return address;
}

bool connects(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    return socket.waitForConnected(100);
}

// A process of `user` listening on a local socket at `path`, answering nothing; it listens once
// this returns, and ends with the returned object.
std::unique_ptr<OtherUser::Process> listenAs(const OtherUser& user, const QString& path) {
    ensureCoreApp();
    const sockaddr_un address = addressOf(path);
    auto listener = std::make_unique<OtherUser::Process>(user, [address] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::umask(0);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0)
            return;
        for (;;) {
            const int client = ::accept(fd, nullptr, nullptr);
            char buffer[64];
            [[maybe_unused]] auto got = ::read(client, buffer, sizeof buffer);
            ::close(client);
        }
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return connects(path); }, 10000));
    return listener;
}

// A folder every user may write into, as /tmp is.
struct SharedFolder {
    QTemporaryDir dir{"/tmp/quillmot-shared-XXXXXX"};
    SharedFolder() { ::chmod(QFile::encodeName(dir.path()).constData(), 01777); }
    QString path() const { return dir.path(); }
};

} // namespace

// Another user's process listening where Quillmot would: one that binds the name Quillmot would
// use in a shared folder first must neither receive its "show" request nor keep it from starting,
// and one in the instance folder is not taken for a running Quillmot.
TEST(SingleInstance, AnotherUsersListenerIsNeitherInTheWayNorTrusted) {
    QString reason;
    const auto user = OtherUser::create(&reason);
    if (!user)
        GTEST_SKIP() << reason.toStdString();
    TempHome home;
    SharedFolder shared;
    const auto squatter =
        listenAs(*user, shared.path() + "/quillmot-" + QString::number(::getuid()));

    ProgramRun run(home.path());
    QProcessEnvironment env = run.process.processEnvironment();
    env.insert("TMPDIR", shared.path());
    env.remove("QUILLMOT_INSTANCE_NAME");
    run.process.setProcessEnvironment(env);
    ASSERT_TRUE(run.start()) << "ended with " << run.process.exitCode();
    EXPECT_EQ(run.runSecondInstance(10000), 0);
    EXPECT_EQ(run.process.state(), QProcess::Running);

    // The folder is opened to the other user only while their process binds its socket.
    const QString runtime = shared.path() + "/run";
    ASSERT_TRUE(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0777);
    const auto impostor = listenAs(*user, runtime + "/quillmot");
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

    // Connections that say nothing: as many as the program takes without keeping one waiting
    // for seconds.
    std::vector<int> idle;
    const auto closeAll = qScopeGuard([&] {
        for (const int fd : idle)
            ::close(fd);
    });
    const sockaddr_un address = addressOf(run.socketPath());
    const timeval patience{5, 0};
    while (int(idle.size()) < Connections) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            break;
        }
        idle.push_back(fd);
    }
    EXPECT_EQ(idle.size(), size_t(Connections));
    home.writeFile("Docs/report.txt", "saved");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return readWholeFile(backup + "/Docs/report.txt") == "saved"; }, 15000));
    EXPECT_EQ(run.runSecondInstance(20000), 0);
    ASSERT_TRUE(run.terminate(5000));
    // The window came up: only a window that was shown writes its preferences at the exit.
    EXPECT_TRUE(QFile::exists(home.appDataFolder() + "/wprefs"));
}
