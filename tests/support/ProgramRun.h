#pragma once
// Runs the real build/quillmot on the offscreen platform against a prepared configuration
// folder, for end-to-end tests.

#include <QProcess>
#include <QString>
#include <QStringList>

class ProgramRun {
public:
    // `home` becomes HOME, `home`/.config XDG_CONFIG_HOME; the single-instance socket is private
    // to this run.
    explicit ProgramRun(const QString& home);
    ~ProgramRun();

    bool start(const QStringList& arguments = {"nowin"});
    // True once the program listens for a second instance (its start-up is under way).
    bool waitUntilListening(int timeoutMs = 10000);
    // Sends SIGTERM; true when the process ended within `timeoutMs`. `elapsedMs` gets the time.
    bool terminate(int timeoutMs, qint64* elapsedMs = nullptr);
    // Runs a second instance with the same environment; its exit code, or -1 on time-out.
    int runSecondInstance(int timeoutMs, qint64* elapsedMs = nullptr);

    QProcess& process() { return m_process; }
    // Standard output gathered so far.
    QString output();
    QProcessEnvironment environment() const { return m_env; }

private:
    QProcessEnvironment m_env;
    QProcess m_process;
    QByteArray m_stdout;
};
