#pragma once
// Tells when a file system is mounted or unmounted: a drive plugged in or out, a share mounted.
// The program holds one, and whoever needs the news listens to its signal. The event loop brings
// the news as soon as it runs; check() looks for it at once, for code that runs a while without
// the event loop.

#include <QObject>
#include <memory>

class QSocketNotifier;

class MountWatch : public QObject {
    Q_OBJECT
public:
    explicit MountWatch(QObject* parent = nullptr);
    ~MountWatch() override;

    // Emits changed() now when the mount table changed since the last notice.
    void check();

signals:
    void changed();

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
