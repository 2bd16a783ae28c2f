#include "restore/RestoreService.h"

#include "platform/DetachedWork.h"
#include "platform/FileSystem.h"
#include "platform/Handover.h"
#include "platform/Paths.h"
#include "platform/RestoreFiles.h"

#include <QElapsedTimer>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

namespace {

// Progress reaches the window at most this often: a folder of small files must not flood it.
constexpr qint64 progressEveryMs = 100;

} // namespace

struct RestoreService::Shared {
    std::mutex mutex;
    RestoreService* target = nullptr;
    int running = 0;
    std::vector<std::weak_ptr<std::atomic<bool>>> cancels;
    FileSystem fso; // keeps no state: every job may use it at once
};

RestoreService::RestoreService(QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->target = this;
}

RestoreService::~RestoreService() {
    cancelAll();
    std::lock_guard lock(m_shared->mutex);
    m_shared->target = nullptr;
}

void RestoreService::cancelAll() {
    std::lock_guard lock(m_shared->mutex);
    for (const auto& weak : m_shared->cancels)
        if (const auto flag = weak.lock())
            flag->store(true);
}

int RestoreService::running() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->running;
}

quint64 RestoreService::start(Work work) {
    const auto cancel = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(m_shared->mutex);
        ++m_shared->running;
        std::erase_if(m_shared->cancels, [](const auto& weak) { return weak.expired(); });
        m_shared->cancels.push_back(cancel);
    }
    DetachedWork::run([shared = m_shared, cancel, work = std::move(work)] {
        const Deliver deliver = [&shared](std::function<void(RestoreService&)> result) {
            std::lock_guard lock(shared->mutex);
            if (RestoreService* service = shared->target)
                Handover::toMainThread(service,
                                       [service, result = std::move(result)] { result(*service); });
        };
        try {
            work(shared->fso, *cancel, deliver);
        } catch (const std::exception&) {
            // A job that failed this way has nothing to tell; the window stays as it was.
        }
        std::lock_guard lock(shared->mutex);
        --shared->running;
    });
    return m_nextJob++;
}

quint64 RestoreService::listTree(const BackupSet& set) {
    const quint64 job = m_nextJob;
    return start([set, job](FileSystem& fso, const std::atomic<bool>&, const Deliver& deliver) {
        BackedUpTree tree = RestoreCatalog::treeOf(fso, set);
        deliver([job, tree = std::move(tree)](RestoreService& s) { emit s.treeListed(job, tree); });
    });
}

quint64 RestoreService::listCopies(const BackupSet& set, const QString& sourceFile) {
    const quint64 job = m_nextJob;
    return start(
        [set, sourceFile, job](FileSystem& fso, const std::atomic<bool>&, const Deliver& deliver) {
            FileCopies copies = RestoreCatalog::copiesOf(fso, set, sourceFile);
            deliver([job, copies = std::move(copies)](RestoreService& s) {
                emit s.copiesListed(job, copies);
            });
        });
}

quint64 RestoreService::compareContent(const KeptCopy& copy, const QString& sourcePath) {
    const quint64 job = m_nextJob;
    return start(
        [copy, sourcePath, job](FileSystem&, const std::atomic<bool>&, const Deliver& deliver) {
            const bool same = RestoreCatalog::sameContent(copy, sourcePath);
            deliver([job, same](RestoreService& s) { emit s.contentCompared(job, same); });
        });
}

quint64 RestoreService::inspectTarget(const BackupSet& set, const QString& folder) {
    const quint64 job = m_nextJob;
    return start(
        [set, folder, job](FileSystem& fso, const std::atomic<bool>&, const Deliver& deliver) {
            TargetState state;
            state.insideBackup = RestoreCatalog::insideBackup(fso, set, folder);
            const RestoreTarget target = RestoreTarget::openChosen(folder);
            state.exists = target.isOpen();
            state.empty = !state.exists || target.isEmpty();
            deliver([job, state](RestoreService& s) { emit s.targetInspected(job, state); });
        });
}

quint64 RestoreService::restore(const RestoreRequest& request) {
    const quint64 job = m_nextJob;
    return start(
        [request, job](FileSystem& fso, const std::atomic<bool>& cancel, const Deliver& deliver) {
            QElapsedTimer sinceShown;
            sinceShown.start();
            const auto progress = [&](const RestoreProgress& p) {
                if (sinceShown.elapsed() < progressEveryMs && p.files < p.totalFiles)
                    return;
                sinceShown.restart();
                deliver([job, p](RestoreService& s) { emit s.progressed(job, p); });
            };
            RestoreSummary summary = RestoreRun::run(fso, request, progress, &cancel);
            deliver([job, summary = std::move(summary)](RestoreService& s) {
                emit s.restored(job, summary);
            });
        });
}

quint64 RestoreService::extract(const BackupSet& set, const KeptCopy& copy, const QString& folder,
                                const QString& name) {
    const quint64 job = m_nextJob;
    return start([set, copy, folder, name, job](FileSystem& fso, const std::atomic<bool>& cancel,
                                                const Deliver& deliver) {
        RestoreRequest request =
            RestoreRun::toFile(set, copy.path, copy, Paths::join(folder, name), false);
        const RestoreSummary summary = RestoreRun::run(fso, request, {}, &cancel);
        QString path, error;
        if (summary.ok()) {
            path = Paths::join(folder, name);
            // A look at a backup, never a way to change it: the copy opened is read-only.
            RestoreTarget::openChosen(folder).makeReadOnly(name);
        } else {
            error = summary.text();
        }
        deliver([job, path, error](RestoreService& s) { emit s.extracted(job, path, error); });
    });
}
