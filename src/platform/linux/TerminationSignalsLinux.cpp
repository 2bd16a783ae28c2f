#include "platform/TerminationSignals.h"

#include "platform/Interruption.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};
constexpr int orderlyExitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int) {
    // The code the signal interrupted may be about to read errno.
    const int savedErrno = errno;
    Interruption::request();
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

// "nohup quillmot" starts the program with SIGHUP ignored, asking that closing the terminal
// leave it running: that wish is kept.
bool leftAlone(int number) {
    struct sigaction current = {};
    return number == SIGHUP && sigaction(number, nullptr, &current) == 0 &&
           current.sa_handler == SIG_IGN;
}

// The write that raised it fails with EPIPE, and its caller drops what it wrote.
void onBrokenPipe(int) {}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        emit requested();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a call blocked on a dead share or a stuck device returns EINTR, and the
    // copy that made it ends instead of holding up the exit for good.
    action.sa_flags = 0;
    for (const int number : orderlyExitSignals)
        if (!leftAlone(number))
            sigaction(number, &action, nullptr);
    // Caught rather than ignored: an ignored signal stays ignored in the programs the process
    // starts (the label tools), a caught one is back to its default there.
    struct sigaction brokenPipe = {};
    brokenPipe.sa_handler = onBrokenPipe;
    sigemptyset(&brokenPipe.sa_mask);
    brokenPipe.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &brokenPipe, nullptr);
}

TerminationSignals::~TerminationSignals() {
    // SIGPIPE stays caught: the last writes of the exit may still meet a closed output.
    for (const int number : orderlyExitSignals)
        if (!leftAlone(number))
            signal(number, SIG_DFL);
}
