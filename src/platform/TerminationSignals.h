#pragma once
// SIGTERM and SIGINT (log-off, kill, Ctrl+C) run the same orderly exit as "Stop and Exit". The
// handler only writes a byte to a pipe; the event loop picks it up and emits requested().

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
