#include "platform/Interruption.h"

#include <atomic>

namespace {
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
} // namespace

namespace Interruption {

void request() {
    g_requested.store(true, std::memory_order_relaxed);
}

bool requested() {
    return g_requested.load(std::memory_order_relaxed);
}

void clear() {
    g_requested.store(false, std::memory_order_relaxed);
}

} // namespace Interruption
