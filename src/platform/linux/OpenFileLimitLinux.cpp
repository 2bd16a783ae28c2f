#include "platform/OpenFileLimit.h"

#include <sys/resource.h>

#include <algorithm>

namespace {

// Far above what the batches need; some libraries walk every possible descriptor when they
// start a process, so the limit is not taken to the sky.
constexpr rlim_t wantedOpenFiles = 65536;

long raisedLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    const rlim_t wanted = std::min(limit.rlim_max, wantedOpenFiles);
    if (limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return long(std::min<rlim_t>(limit.rlim_cur, wantedOpenFiles));
}

} // namespace

long openFileLimit() {
    static const long limit = raisedLimit();
    return limit;
}
