#include "support/ProgramRun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QUuid>
#include <csignal>

namespace {
// The line the program prints once its watches are open.
const QByteArray WatchesOpen = "Quillmot: watches open";
constexpr int StartLimitMs = 20000;
} // namespace

ProgramRun::ProgramRun(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    // The runtime folder holds the single-instance socket and the start-up lock.
    const QString runtime = home + "/.run";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("QUILLMOT_INSTANCE_NAME",
               "quillmot-test-" + QUuid::createUuid().toString(QUuid::Id128));
    process.setProcessEnvironment(env);
    // What the program says on standard error (warnings, a sanitizer's report) lands in the
    // test's own output, where a failing test shows it.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The program keeps a SIGHUP that it inherits ignored ("nohup"); a suite run under nohup
    // must still start it as a terminal would.
    process.setChildProcessModifier([] { ::signal(SIGHUP, SIG_DFL); });
}

ProgramRun::~ProgramRun() {
    if (process.state() != QProcess::NotRunning)
        process.kill();
    process.waitForFinished(5000);
}

bool ProgramRun::start(const QStringList& arguments) {
    launch(arguments);
    return waitForOutput(WatchesOpen, StartLimitMs);
}

void ProgramRun::launch(const QStringList& arguments) {
    m_output.clear();
    process.start(QStringLiteral(QUILLMOT_BINARY), arguments);
}

bool ProgramRun::waitForOutput(const QByteArray& text, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!output().contains(text)) {
        if (process.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return true;
}

QByteArray ProgramRun::output() {
    m_output += process.readAllStandardOutput();
    return m_output;
}

QString ProgramRun::socketPath() const {
    const QProcessEnvironment env = process.processEnvironment();
    return env.value("XDG_RUNTIME_DIR") + "/" + env.value("QUILLMOT_INSTANCE_NAME", "quillmot");
}

bool ProgramRun::terminate(int timeoutMs, int signal) {
    ::kill(pid_t(process.processId()), signal);
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

int ProgramRun::runSecondInstance(int timeoutMs, const QStringList& arguments,
                                  QByteArray* printed) {
    QProcess second;
    second.setProcessEnvironment(process.processEnvironment());
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(QStringLiteral(QUILLMOT_BINARY), arguments);
    if (second.waitForFinished(timeoutMs)) {
        if (printed)
            *printed = second.readAllStandardOutput();
        return second.exitCode();
    }
    second.kill();
    second.waitForFinished(2000);
    return -1;
}
