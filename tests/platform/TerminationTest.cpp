#include "platform/Interruption.h"
#include "platform/TerminationSignals.h"

#include "support/QtApp.h"

#include <QSignalSpy>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// A call that blocks (a read from a dead share, here from an empty pipe) must not keep the
// program from ending: the signal ends the call, and the orderly exit follows.
TEST(TerminationSignals, ASignalEndsABlockedCallAndAsksForTheOrderlyExit) {
    ensureCoreApp();
    TerminationSignals termination;
    QSignalSpy requested(&termination, &TerminationSignals::requested);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);

    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::atomic<bool> rescued = false;
    const pthread_t blocked = ::pthread_self();
    // The signal is sent until the read has ended; should it never end, a byte ends it.
    std::thread sender([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::unique_lock lock(mutex);
        while (!done && std::chrono::steady_clock::now() < giveUp) {
            ::pthread_kill(blocked, SIGTERM);
            ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
        }
        if (!done) {
            rescued = true;
            [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], "x", 1);
        }
    });
    char byte = 0;
    const ssize_t n = ::read(pipeFds[0], &byte, 1);
    const int readErrno = errno;
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    ended.notify_all();
    sender.join();
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);

    EXPECT_FALSE(rescued);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(readErrno, EINTR);
    EXPECT_TRUE(Interruption::requested());
    EXPECT_TRUE(requested.count() > 0 || requested.wait(5000));
    Interruption::clear();
}

} // namespace
