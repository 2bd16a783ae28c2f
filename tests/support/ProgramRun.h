#pragma once
// Runs the real build/quillmot on the offscreen platform against a prepared configuration
// folder, for end-to-end tests.

#include <QProcess>
#include <QStringList>

class ProgramRun {
public:
    // `home` becomes HOME, `home`/.config XDG_CONFIG_HOME; the single-instance socket is private
    // to this run.
    explicit ProgramRun(const QString& home);
    ~ProgramRun();

    // Starts the program and waits until it listens for a second instance (its start-up is
    // under way).
    bool start(const QStringList& arguments = {"nowin"});
    // Sends SIGTERM; true when the process ended within `timeoutMs`.
    bool terminate(int timeoutMs);
    // Runs a second instance with the same environment; its exit code, or -1 on time-out.
    int runSecondInstance(int timeoutMs);

    QProcess process;
};
