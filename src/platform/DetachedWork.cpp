#include "platform/DetachedWork.h"

#include <atomic>
#include <thread>

namespace DetachedWork {

namespace {
std::atomic<int> g_underWay{0};
} // namespace

void run(std::function<void()> work) {
    ++g_underWay;
    std::thread([work = std::move(work)] {
        try {
            work();
        } catch (...) {
            // The work says what it failed at through its own results; nothing escapes a thread.
        }
        --g_underWay;
    }).detach();
}

int underWay() {
    return g_underWay.load();
}

} // namespace DetachedWork
