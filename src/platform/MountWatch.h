#pragma once
// Tells when a file system is mounted or unmounted: the kernel marks an open mountinfo file
// after every change of the mount table in this namespace.

#include <QObject>
#include <memory>

class QSocketNotifier;

class MountWatch : public QObject {
    Q_OBJECT
public:
    explicit MountWatch(QObject* parent = nullptr);
    ~MountWatch() override;

signals:
    void changed();

private:
    void onMarked();

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
