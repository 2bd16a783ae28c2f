// How quickly the running program answers: its single-instance socket is sent a request that it
// does not know, and the time from the send (the connect included) until the program hangs up is
// taken. The program serves the socket on its window's thread, so the answer time is how long
// that thread can be kept from the user; idle it answers in well under a millisecond.
//
//   bench_answer SOCKET [SAMPLES] [GAP_MS] [LABEL]
//
// Takes SAMPLES (8) answer times GAP_MS (250) apart and prints them and the worst, as
// "worst answer LABEL: N ms". A socket that cannot be reached yet (the program still starting)
// is tried again until it answers; the wait counts.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr auto AnswerLimit = std::chrono::seconds(60);
constexpr auto ConnectRetry = std::chrono::milliseconds(1);
// Not a request the program serves: it says so and hangs up, and nothing else happens.
constexpr char Request[] = "bench-ping\n";

int connectTo(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// Milliseconds from the send until the program hung up; negative when it did not in time.
double answerTime(const std::string& path) {
    const auto start = Clock::now();
    const auto deadline = start + AnswerLimit;
    int fd = -1;
    while ((fd = connectTo(path)) < 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(ConnectRetry);
    if (fd < 0)
        return -1;
    bool hungUp = ::write(fd, Request, sizeof Request - 1) < 0; // refused: it hung up already
    char buffer[256];
    while (!hungUp && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (::poll(&p, 1, std::max(left, 1)) <= 0)
            continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        hungUp = n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN);
    }
    const double ms = Ms(Clock::now() - start).count();
    ::close(fd);
    return hungUp ? ms : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SOCKET [SAMPLES] [GAP_MS] [LABEL]\n", argv[0]);
        return 2;
    }
    const std::string socket = argv[1];
    const int samples = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
    const auto gap = std::chrono::milliseconds(argc > 3 ? std::max(0, std::atoi(argv[3])) : 250);
    const std::string label = argc > 4 ? argv[4] : "";

    std::vector<double> times;
    std::printf("answer times%s%s (ms):", label.empty() ? "" : " ", label.c_str());
    for (int i = 0; i < samples; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(gap);
        const double ms = answerTime(socket);
        if (ms < 0) {
            std::printf(" none\n");
            std::fprintf(stderr, "no answer from %s within %lld s\n", socket.c_str(),
                         static_cast<long long>(AnswerLimit.count()));
            return 1;
        }
        times.push_back(ms);
        std::printf(" %.1f", ms);
        std::fflush(stdout);
    }
    std::printf("\nworst answer%s%s: %.1f ms\n", label.empty() ? "" : " ", label.c_str(),
                *std::max_element(times.begin(), times.end()));
    return 0;
}
