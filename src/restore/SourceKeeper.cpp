#include "restore/SourceKeeper.h"

#include "engine/DestinationWorkers.h"
#include "platform/Handover.h"

#include <chrono>
#include <future>

namespace {

// How often a restore waiting for its keeps looks whether it was cancelled.
constexpr std::chrono::milliseconds cancelLookEvery(100);

DestinationReport stopped() {
    DestinationReport report;
    report.ending = DestinationReport::Ending::Cancelled;
    return report;
}

class ThreadKeeper : public SourceKeeper {
public:
    std::vector<DestinationReport> keep(FileSystem& fso, const std::vector<CopyJob>& jobs,
                                        const std::atomic<bool>*) override {
        std::vector<DestinationReport> reports;
        for (const CopyJob& job : jobs)
            reports.push_back(DestinationCopy::run(fso, job));
        return reports;
    }
};

} // namespace

std::shared_ptr<SourceKeeper> SourceKeeper::onThisThread() {
    return std::make_shared<ThreadKeeper>();
}

WorkerKeeper::WorkerKeeper(DestinationWorkers& workers) : m_link(std::make_shared<Link>()) {
    m_link->workers = &workers;
    // Taken under the link's lock: no keep is handed to workers that are being destroyed.
    QObject::connect(&workers, &QObject::destroyed, [link = m_link] {
        const std::lock_guard lock(link->mutex);
        link->workers = nullptr;
    });
}

WorkerKeeper::~WorkerKeeper() = default;

std::vector<DestinationReport> WorkerKeeper::keep(FileSystem&, const std::vector<CopyJob>& jobs,
                                                  const std::atomic<bool>* cancel) {
    std::vector<KeepJob> keeps;
    std::vector<std::future<DestinationReport>> answers;
    for (const CopyJob& job : jobs) {
        keeps.push_back({job, std::make_shared<std::promise<DestinationReport>>()});
        answers.push_back(keeps.back().answer->get_future());
    }
    {
        const std::lock_guard lock(m_link->mutex);
        if (DestinationWorkers* workers = m_link->workers)
            // A call dropped unrun (the workers went first) drops its jobs, and their answers
            // break.
            Handover::toMainThread(workers,
                                   [workers, keeps = std::move(keeps), handedOver = handedOver] {
                                       for (const KeepJob& job : keeps)
                                           workers->keep(job);
                                       if (handedOver)
                                           handedOver();
                                   });
    }
    std::vector<DestinationReport> reports;
    for (std::future<DestinationReport>& answer : answers) {
        while (answer.wait_for(cancelLookEvery) == std::future_status::timeout &&
               !(cancel && cancel->load())) {
        }
        try {
            reports.push_back(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready
                                  ? answer.get()
                                  : stopped());
        } catch (const std::future_error&) {
            reports.push_back(stopped());
        }
    }
    return reports;
}
