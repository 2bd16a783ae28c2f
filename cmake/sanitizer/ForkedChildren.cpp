// Compiled into every program of the thread-sanitized build only.
//
// Qt 6.4's QProcess starts a child with clone(CLONE_VM | CLONE_VFORK): until it calls exec, the
// child runs in the parent's memory, on the parent's thread-local storage. Every call it makes
// that the thread sanitizer intercepts (close, dup2, sigaction, ...) then runs on the state the
// sanitizer keeps for the parent's thread, and the child's exec leaves that state half updated:
// from then on the sanitizer misses the locks that thread takes and reports races on data that
// the locks protect. The tests start mount tools, other users' processes and the program itself
// through QProcess, so every test after such a start would be reported.
//
// Here such a child gets memory of its own instead, which is how Qt starts children where it
// cannot use vfork: it behaves the same, only the parent does not wait for the child's exec.
// Threads (CLONE_THREAD) and every other use of clone are passed on untouched.

#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

extern "C" __attribute__((visibility("default"), used)) int clone(int (*fn)(void*), void* stack,
                                                                  int flags, void* arg, ...) {
    // The optional arguments, read whether given or not, as the C library's own clone does.
    va_list rest;
    va_start(rest, arg);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);

    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto next = reinterpret_cast<Clone>(::dlsym(RTLD_NEXT, "clone"));
    const int sharedChild = CLONE_VM | CLONE_VFORK;
    if ((flags & sharedChild) == sharedChild && (flags & CLONE_THREAD) == 0)
        flags &= ~sharedChild;
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
