#include "support/ProgramRun.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QUuid>
#include <csignal>

ProgramRun::ProgramRun(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("QUILLMOT_INSTANCE_NAME",
               "quillmot-test-" + QUuid::createUuid().toString(QUuid::Id128));
    process.setProcessEnvironment(env);
}

ProgramRun::~ProgramRun() {
    if (process.state() != QProcess::NotRunning)
        process.kill();
    process.waitForFinished(5000);
}

bool ProgramRun::start(const QStringList& arguments) {
    process.start(QStringLiteral(QUILLMOT_BINARY), arguments);
    QElapsedTimer t;
    t.start();
    while (process.waitForStarted(5000) && t.elapsed() < 10000) {
        QLocalSocket probe;
        probe.connectToServer(process.processEnvironment().value("QUILLMOT_INSTANCE_NAME"));
        if (probe.waitForConnected(100))
            return true;
        process.waitForFinished(50);
    }
    return false;
}

bool ProgramRun::terminate(int timeoutMs) {
    ::kill(pid_t(process.processId()), SIGTERM);
    return process.waitForFinished(timeoutMs);
}

int ProgramRun::runSecondInstance(int timeoutMs) {
    QProcess second;
    second.setProcessEnvironment(process.processEnvironment());
    second.start(QStringLiteral(QUILLMOT_BINARY), {"nowin"});
    if (second.waitForFinished(timeoutMs))
        return second.exitCode();
    second.kill();
    second.waitForFinished(2000);
    return -1;
}
