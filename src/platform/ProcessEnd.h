#pragma once
// The end of a process that leaves threads behind.

// Ends the process at once with `exitCode`, without waiting for threads stuck in a system call
// on a disk that does not answer. The kernel keeps such a process, and every descriptor it holds,
// until that call returns, which for a share whose server went away may be never; so the
// descriptors are closed first: the single-instance socket then lets the next start run, and
// whoever reads standard output sees it end.
[[noreturn]] void endLeavingStuckThreads(int exitCode);
