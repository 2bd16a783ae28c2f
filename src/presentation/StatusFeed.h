#pragma once
// Brings what the engine and the life cycle report to the protection status: every copy's
// result, the changes that settle, the pause, the workers' looks at their disks and the workers
// that stop answering. Each destination's disk is looked at by its own worker at the start,
// after every mount change and when a destination is added, so that an unplugged disk shows at
// once, not at the next save.

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <utility>

class AppState;
class Engine;
class Lifecycle;
class ProtectionStatus;
struct WorkerNews;

class StatusFeed : public QObject {
    Q_OBJECT
public:
    StatusFeed(AppState& state, Engine& engine, Lifecycle& lifecycle, ProtectionStatus& status,
               QObject* parent = nullptr);

    // Every destination's disk is looked at again.
    void checkDisks();
    // Associations or destinations changed: new destinations are looked at. Edits come in bursts
    // (one per node of an added tree), so they are gathered first.
    void associationsChanged();

private:
    void onNews(const WorkerNews& news);
    void onRespondingChanged(const QString& workerKey, bool responding);
    void check(const QString& destinationPath, const QString& volume);
    void lookAtEdits();

    AppState& m_state;
    Engine& m_engine;
    ProtectionStatus& m_status;
    // The worker each destination was last served by, by destination key: a worker that stops
    // answering holds up these. The destination's path beside it.
    QHash<QString, std::pair<QString, QString>> m_workerOf;
    QTimer m_edits;
};
