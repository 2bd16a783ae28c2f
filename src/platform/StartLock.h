#pragma once
// An exclusive lock on a file, held from construction until release() or destruction. A start-up
// holds it while it decides whether it is the first instance, so that two starts at the same
// moment (the log-in entry and a click) take turns instead of both deciding to run.

#include <QString>

class StartLock {
public:
    // Waits until the lock on `path` (created when missing) is free, then holds it. held() is
    // false when the file cannot be opened or locked; the start then goes on unguarded.
    explicit StartLock(const QString& path);
    ~StartLock();
    StartLock(const StartLock&) = delete;
    StartLock& operator=(const StartLock&) = delete;

    bool held() const { return m_fd >= 0; }
    void release();

private:
    int m_fd = -1;
};
