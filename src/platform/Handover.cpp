#include "platform/Handover.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <exception>
#include <mutex>
#include <vector>

namespace {

struct Waiting {
    QPointer<QObject> context;
    std::function<void()> work;
};

class Deliverer;

// The application's deliverer and what waits for it; the lock also keeps a worker from handing
// over to a deliverer that is being deleted with its application.
std::mutex g_mutex;
Deliverer* g_deliverer = nullptr;
std::vector<Waiting> g_waiting;

// Made on the main thread with the application, a child of it. It is called by the name of its
// method, so that the call Qt queues is made inside Qt and carries nothing of the worker's; the
// work itself waits in `g_waiting`.
class Deliverer : public QObject {
    Q_OBJECT
public:
    explicit Deliverer(QObject* application) : QObject(application) {
        const std::lock_guard lock(g_mutex);
        g_deliverer = this;
    }
    ~Deliverer() override {
        std::vector<Waiting> dropped;
        const std::lock_guard lock(g_mutex);
        g_deliverer = nullptr;
        dropped.swap(g_waiting);
    }
    Deliverer(const Deliverer&) = delete;
    Deliverer& operator=(const Deliverer&) = delete;

    Q_INVOKABLE void deliver() {
        std::vector<Waiting> arrived;
        {
            const std::lock_guard lock(g_mutex);
            arrived.swap(g_waiting);
        }
        for (Waiting& w : arrived) {
            if (!w.context)
                continue;
            try {
                w.work();
            } catch (const std::exception& e) {
                qCWarning(lcPlatform) << "A worker's result was not taken in:" << e.what();
            }
        }
    }
};

void makeDeliverer() {
    new Deliverer(QCoreApplication::instance());
}

} // namespace

// Each application gets its deliverer as it is made, on the main thread.
Q_COREAPP_STARTUP_FUNCTION(makeDeliverer)

namespace Handover {

void toMainThread(QPointer<QObject> context, std::function<void()> work) {
    if (!context)
        return;
    const std::lock_guard lock(g_mutex);
    if (!g_deliverer)
        return;
    g_waiting.push_back({std::move(context), std::move(work)});
    // One call runs everything that arrived before it.
    if (g_waiting.size() == 1)
        QMetaObject::invokeMethod(g_deliverer, "deliver", Qt::QueuedConnection);
}

} // namespace Handover

#include "Handover.moc"
