// Save-to-copy latency of the backup tools running around it. Each target names a source file
// that some tool copies and the place its copy lands. In every round each source file is saved
// once (open, truncate, write, close), and the time from the close until the copy holds the new
// content is taken. The copy is watched with inotify on its folder and re-read at least every
// millisecond, so in-place writers and rename-into-place writers are both seen at once.
//
//   bench_latency SAVES GAP_MS NAME=SOURCE:COPY [NAME=SOURCE:COPY ...]
//
// Saves of one file are at least GAP_MS apart: the engine's change test works to the second, so
// two saves in the same second would be one version. Targets take turns, so a slow phase of the
// shared machine falls on all of them alike.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr auto CopyTimeout = std::chrono::seconds(10);
constexpr auto WarmUpTimeout = std::chrono::seconds(30);
// A quiet moment between two targets' saves, so one tool's tail work is not the next one's noise.
constexpr auto BetweenTargets = std::chrono::milliseconds(200);
constexpr int RecheckMs = 1;

struct Target {
    std::string name, source, copy;
    std::vector<double> samplesMs;
    int missed = 0;
    Clock::time_point lastSave{};
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1));
}

std::optional<std::string> readSmall(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    return n < 0 ? std::nullopt : std::optional<std::string>(std::string(buf, size_t(n)));
}

// Saves `content` in place; `closing` gets the moment close() was called. Taken before the call,
// not after it: the close wakes the watching tool, which may run before this process gets the
// processor back, and a stamp taken then would make its copy look instant.
bool save(const std::string& path, const std::string& content, Clock::time_point& closing) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    closing = Clock::now();
    return ::close(fd) == 0 && written;
}

// Waits until `copy` holds `content`; the moment it was seen, or nothing on time-out.
std::optional<Clock::time_point> waitForContent(const std::string& copy, const std::string& content,
                                                Clock::duration timeout) {
    const int in = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // The copy's folder may not exist before a tool's first copy; re-reading covers that.
    int watch = -1;
    const auto deadline = Clock::now() + timeout;
    std::optional<Clock::time_point> seen;
    char events[4096];
    while (Clock::now() < deadline) {
        if (watch < 0 && in >= 0)
            watch = ::inotify_add_watch(in, folderOf(copy).c_str(),
                                        IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
        if (readSmall(copy) == content) {
            seen = Clock::now();
            break;
        }
        pollfd p{in, POLLIN, 0};
        if (::poll(&p, in >= 0 ? 1 : 0, RecheckMs) > 0)
            while (::read(in, events, sizeof events) > 0) {
            }
    }
    if (in >= 0)
        ::close(in);
    return seen;
}

std::string token(const Target& t, int round) {
    const auto ns = Clock::now().time_since_epoch().count();
    return t.name + " save " + std::to_string(round) + " " + std::to_string(ns) + "\n";
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const double pos = p * double(v.size() - 1);
    const size_t lo = size_t(pos);
    const size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - double(lo));
}

bool parseTarget(const char* arg, Target& t) {
    const std::string s(arg);
    const auto eq = s.find('=');
    const auto colon = s.find(':', eq == std::string::npos ? 0 : eq);
    if (eq == std::string::npos || colon == std::string::npos)
        return false;
    t.name = s.substr(0, eq);
    t.source = s.substr(eq + 1, colon - eq - 1);
    t.copy = s.substr(colon + 1);
    return !t.name.empty() && !t.source.empty() && !t.copy.empty();
}

void saveAndMeasure(Target& t, int round, std::chrono::milliseconds gap) {
    const auto earliest = t.lastSave + gap;
    if (Clock::now() < earliest)
        std::this_thread::sleep_until(earliest);
    const std::string content = token(t, round);
    Clock::time_point closed;
    if (!save(t.source, content, closed)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", t.name.c_str(), t.source.c_str(),
                     std::strerror(errno));
        ++t.missed;
        return;
    }
    t.lastSave = closed;
    const auto seen = waitForContent(t.copy, content, round == 0 ? WarmUpTimeout : CopyTimeout);
    if (!seen) {
        std::fprintf(stderr, "%s: no copy in %s after save %d\n", t.name.c_str(), t.copy.c_str(),
                     round);
        if (round > 0)
            ++t.missed;
    } else if (round > 0) {
        t.samplesMs.push_back(Ms(*seen - closed).count());
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SAVES GAP_MS NAME=SOURCE:COPY...\n", argv[0]);
        return 2;
    }
    const int saves = std::atoi(argv[1]);
    const std::chrono::milliseconds gap(std::atoi(argv[2]));
    std::vector<Target> targets;
    for (int i = 3; i < argc; ++i) {
        Target t;
        if (!parseTarget(argv[i], t)) {
            std::fprintf(stderr, "bad target: %s\n", argv[i]);
            return 2;
        }
        targets.push_back(t);
    }

    // Round 0 is a warm-up: it makes the copies' folders and lets every tool finish starting.
    for (int round = 0; round <= saves; ++round)
        for (Target& t : targets) {
            saveAndMeasure(t, round, gap);
            std::this_thread::sleep_for(BetweenTargets);
        }

    std::printf("%-22s %6s %9s %9s %9s %9s %7s\n", "target", "saves", "median", "p10", "p90", "max",
                "missed");
    for (const Target& t : targets)
        std::printf("%-22s %6zu %7.1fms %7.1fms %7.1fms %7.1fms %7d\n", t.name.c_str(),
                    t.samplesMs.size(), percentile(t.samplesMs, 0.5), percentile(t.samplesMs, 0.1),
                    percentile(t.samplesMs, 0.9), percentile(t.samplesMs, 1.0), t.missed);
    return 0;
}
