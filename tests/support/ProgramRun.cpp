#include "support/ProgramRun.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QUuid>
#include <csignal>

ProgramRun::ProgramRun(const QString& home) {
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.remove("DISPLAY");
    m_env.remove("WAYLAND_DISPLAY");
    m_env.insert("QT_QPA_PLATFORM", "offscreen");
    m_env.insert("HOME", home);
    m_env.insert("XDG_CONFIG_HOME", home + "/.config");
    m_env.insert("QUILLMOT_INSTANCE_NAME",
                 "quillmot-test-" + QUuid::createUuid().toString(QUuid::Id128));
    m_process.setProcessEnvironment(m_env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

ProgramRun::~ProgramRun() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ProgramRun::start(const QStringList& arguments) {
    m_process.start(QStringLiteral(QUILLMOT_BINARY), arguments);
    return m_process.waitForStarted(5000);
}

bool ProgramRun::waitUntilListening(int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(m_env.value("QUILLMOT_INSTANCE_NAME"));
        if (probe.waitForConnected(100)) {
            probe.disconnectFromServer();
            return true;
        }
        m_process.waitForFinished(50);
    }
    return false;
}

bool ProgramRun::terminate(int timeoutMs, qint64* elapsedMs) {
    QElapsedTimer t;
    t.start();
    ::kill(pid_t(m_process.processId()), SIGTERM);
    const bool ended = m_process.waitForFinished(timeoutMs);
    if (elapsedMs)
        *elapsedMs = t.elapsed();
    return ended;
}

int ProgramRun::runSecondInstance(int timeoutMs, qint64* elapsedMs) {
    QProcess second;
    second.setProcessEnvironment(m_env);
    QElapsedTimer t;
    t.start();
    second.start(QStringLiteral(QUILLMOT_BINARY), {"nowin"});
    const bool ended = second.waitForFinished(timeoutMs);
    if (elapsedMs)
        *elapsedMs = t.elapsed();
    if (!ended) {
        second.kill();
        second.waitForFinished(2000);
        return -1;
    }
    return second.exitCode();
}

QString ProgramRun::output() {
    m_stdout += m_process.readAllStandardOutput();
    return QString::fromUtf8(m_stdout);
}
