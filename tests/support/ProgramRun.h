#pragma once
// Runs the real build/quillmot on the offscreen platform against a prepared configuration
// folder, for end-to-end tests.

#include <QProcess>
#include <QStringList>
#include <csignal>

class ProgramRun {
public:
    // `home` becomes HOME, `home`/.config XDG_CONFIG_HOME; the single-instance socket is private
    // to this run.
    explicit ProgramRun(const QString& home);
    ~ProgramRun();

    // Starts the program and waits until it says that its watches are open: a save made from
    // then on is seen.
    bool start(const QStringList& arguments = {"nowin"});
    // Starts it without waiting for anything.
    void launch(const QStringList& arguments = {"nowin"});
    // Waits until standard output holds `text`; false when the program ended or time ran out.
    bool waitForOutput(const QByteArray& text, int timeoutMs);
    // Everything the program printed on standard output so far.
    QByteArray output();
    // Where the program listens for a second instance.
    QString socketPath() const;
    // Sends `signal`; true when the process ended within `timeoutMs` by itself with exit code 0,
    // so that a sanitizer's report in a sanitized build fails the test that started it.
    bool terminate(int timeoutMs, int signal = SIGTERM);
    // Runs a second instance with the same environment; its exit code, or -1 on time-out. What
    // it printed on standard output goes to `printed`.
    int runSecondInstance(int timeoutMs, const QStringList& arguments = {"nowin"},
                          QByteArray* printed = nullptr);

    QProcess process;

private:
    QByteArray m_output;
};
