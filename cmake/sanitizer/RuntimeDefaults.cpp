// Compiled into every program of a sanitized build, so that the program, the test programs and
// any copy of the program they start as a child need no ASAN_OPTIONS or LSAN_OPTIONS set by hand.
// The runtimes look these functions up when they start; options given in the environment are
// still read after them and win.
//
// Only faults inside libraries this program cannot mend belong here, each as narrow as it can be
// and with the reason. A report from Quillmot's own code is a fault to fix, never one to hide.

extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
    // Otherwise every process that touched fontconfig ends by listing the leaks it was spared,
    // burying a real report among the output of the tests and of the programs they start.
    return "print_suppressions=0";
}

extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_suppressions() {
    // Qt 6.4's date-time parser reads past a string it is rewriting for some locales' formats.
    return "interceptor_via_fun:QDateTimeParser::parseSection\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    // fontconfig keeps its configuration for the life of the process and never frees it.
    return "leak:libfontconfig.so\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __ubsan_default_options() {
    // Stop at the first fault, with the stack that led to it, so a test fails where it happened.
    return "print_stacktrace=1:halt_on_error=1";
}

extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_options() {
    // Stop at the first race, as the undefined-behaviour sanitizer does: a program the tests start
    // as a child then ends at once with a failing exit code instead of racing on, and the test
    // that waits for it fails. Both stacks of a lock-order inversion say where each order was
    // taken.
    // die_after_fork=0: the tests fork children that only make system calls or exec (another
    // user's process, a second instance, mount tools through QProcess), and the sanitizer
    // otherwise ends the test program at the next thread it starts after such a fork.
    return "halt_on_error=1:second_deadlock_stack=1:die_after_fork=0";
}

extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_suppressions() {
    // Qt and GLib are not built with the thread sanitizer, and they hand data between threads
    // through futexes it cannot see: an event posted to another thread's object is made on one
    // thread and deleted on the other, a task given to Qt's thread pool is made on the thread
    // that starts it and deleted on the pool's, and GLib's wake-up descriptor of an event loop is
    // made on its thread and written by the thread that posts to it; Qt's network and D-Bus
    // threads hand over what they read the same way. Their own calls into the
    // runtime (allocation, copies, descriptors) are left out; the program's own code stays
    // checked, and what it hands between threads goes through locks of its own.
    // Qt 6.4's date-time parser reads a string it has just rewritten, for some locales' formats
    // (the address build leaves out the same fault).
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Network.so.6\n"
           "called_from_lib:libQt6DBus.so.6\n"
           "called_from_lib:libdbus-1.so.3\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "race:QDateTimeParser::sectionMaxSize\n";
}
