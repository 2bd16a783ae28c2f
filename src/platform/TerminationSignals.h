#pragma once
// SIGTERM, SIGINT and SIGHUP (log-off, kill, Ctrl+C, the terminal closed) run the same orderly
// exit as "Stop and Exit". The handler only writes a byte to a pipe; the event loop picks it up
// and emits requested().
//
// SIGPIPE is caught and does nothing: a standard output that nobody reads any more ("quillmot nowin
// | head") then fails a write, which is dropped, instead of ending the program and its backups.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void requested();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
