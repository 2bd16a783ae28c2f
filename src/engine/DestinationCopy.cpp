#include "engine/DestinationCopy.h"
#include "engine/Log.h"

#include "engine/BackupLayout.h"
#include "engine/CopyDestination.h"
#include "engine/DriveChecks.h"
#include "engine/PreviousVersions.h"
#include "platform/DestinationFolder.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Ending = DestinationReport::Ending;

// What the copies of one batch found out about the disks, kept for the batch's next copies: the
// drives, the loop test's answers, the mirrored folders opened. A mount or unmount drops it all.
class BatchMemory {
public:
    explicit BatchMemory(FileSystem& fso) : drives(fso, true), m_fso(fso) {}

    // Called before each copy's checks.
    void forgetOnMountChange() {
        if (!drives.forgetOnMountChange())
            return;
        folders.clear();
        m_insideSource.clear();
        m_timeSteps.clear();
    }

    // True when copying `filePath` to `copyPath` would feed the source: the copy would replace
    // the source file itself (the entry, not what a link points to), or its folder lies inside
    // a recursive source.
    bool wouldLoop(const clsBackup& association, const QString& copyPath, const QString& filePath) {
        if (m_fso.sameEntry(copyPath, filePath))
            return true;
        const QString folder = Paths::parent(copyPath);
        const QString key = association.SourcePath + QChar(u'\0') + folder +
                            QChar(association.Folder && association.Recursive ? u'r' : u'-');
        const auto it = m_insideSource.constFind(key);
        if (it != m_insideSource.constEnd())
            return *it;
        const bool inside = CopyDestination::insideRecursiveSource(m_fso, association, folder);
        m_insideSource.insert(key, inside);
        return inside;
    }

    qint64 modifiedTimeStepNs(const QString& path) {
        const auto it = m_timeSteps.constFind(path);
        if (it != m_timeSteps.constEnd())
            return *it;
        return *m_timeSteps.insert(path, m_fso.modifiedTimeStepNs(path));
    }

    DriveAnswers drives;
    OpenedFolders folders;

private:
    FileSystem& m_fso;
    QHash<QString, bool> m_insideSource;
    QHash<QString, qint64> m_timeSteps;
};

class Copy {
public:
    // `batched`: one copy of a batch into one disk, whose data and renames are flushed together.
    Copy(FileSystem& fso, BatchMemory& memory, const CopyJob& job, const CopySteps& steps,
         bool batched = false)
        : m_fso(fso), m_memory(memory), m_job(job), m_steps(steps) {
        m_report.destDir = job.destination.Path;
        if (batched)
            m_staged.joinBatch();
    }

    DestinationReport run() {
        if (std::optional<DestinationReport> ended = stage(std::nullopt))
            return *ended;
        return complete();
    }

    // The checks, and the new copy made whole in its temporary file, the target untouched: the
    // copy's ending when it ends here. A source larger than `room` is not started.
    std::optional<DestinationReport> stage(std::optional<qint64> room) {
        const clsBackup& association = m_job.association;
        const QString& filePath = m_job.filePath;
        // A link is there as long as the link is, whatever it points to: it is backed up as
        // itself.
        const std::optional<FileStamp> source = m_fso.stamp(filePath);
        if (!source)
            return failed(CheckFailure::SourceFileMissing);
        if (room && source->size > *room)
            return ended(Ending::NotStarted);
        m_sourceBytes = source->size;
        m_memory.forgetOnMountChange();
        const BackupLayout layout(m_job.sourceRoot, association.Folder, m_job.prevSaveName);
        const CopyDestination::Mirror mirror = layout.placeFile(m_job.destination.Path, filePath);
        m_report.destDir = mirror.destDir;
        const QString localDir = m_fso.localPathOf(mirror.destDir);
        m_copyName = mirror.copyName;
        const QString copyPath = Paths::join(localDir, m_copyName);
        if (m_memory.wouldLoop(association, copyPath, filePath))
            return failed(CheckFailure::Loop);
        if (const CheckFailure f = BackupOwners::checkCopy(m_job.owners, filePath, copyPath);
            f != CheckFailure::None)
            return failed(f);
        if (const CheckFailure f = DriveChecks::checkSource(
                m_memory.drives, filePath, association.Volume, m_report.sourceVolumeName);
            f != CheckFailure::None)
            return failed(f);
        if (const CheckFailure f = DriveChecks::checkDestination(
                m_fso, m_memory.drives, m_memory.folders, mirror, m_job.destination.Volume,
                m_report.destVolumeName, m_folder);
            f != CheckFailure::None)
            return failed(f);

        if (m_steps.sweep)
            m_steps.sweep(*m_folder, localDir);
        const QString& name = m_copyName;
        if (m_job.onlyIfStale && upToDate(filePath, name))
            return ended(Ending::UpToDate);
        m_report.outcome.keepBackup = association.KeepBackup;
        // The new copy is made whole first: a copy that fails leaves the old copy and every
        // version as they were.
        if (std::optional<DestinationReport> failure =
                endingOf(m_fso.stageCopy(filePath, *m_folder, name, m_staged, m_steps.between)))
            return failure;
        stepDone();
        return std::nullopt;
    }

    // After stage(): the old copy into the versions, the new one in its place.
    DestinationReport complete() {
        if (const CheckFailure f = storeAndReplace(m_staged); f != CheckFailure::None)
            return failed(f);
        return ended(Ending::Copied);
    }

    // The ending of a copy that `result` ends, if it does.
    std::optional<DestinationReport> endingOf(const CopyResult& result) {
        switch (result.error) {
        case CopyError::None:
            return std::nullopt;
        case CopyError::Busy:
            return ended(Ending::Busy);
        case CopyError::Cancelled:
            return ended(Ending::Cancelled);
        case CopyError::SourceChanged:
            return ended(Ending::SourceChanged);
        case CopyError::DiskFull:
            return copyFailed(ResultText::diskFull);
        case CopyError::Denied:
        case CopyError::Other:
            break;
        }
        return copyFailed(ResultText::copyError);
    }

    // The oldest version this copy's rotation pushed out goes once the copy is reported.
    void removeOutdated() noexcept {
        try {
            if (m_outdated)
                m_outdated->remove();
        } catch (...) {
            // Left for the sweep.
        }
        m_outdated.reset();
    }

    StagedCopy& staged() { return m_staged; }
    // The source's size when its copy was staged.
    qint64 sourceBytes() const { return m_sourceBytes; }

private:
    bool upToDate(const QString& filePath, const QString& name) const {
        const std::optional<FileStamp> source = m_fso.stamp(filePath);
        const std::optional<FileStamp> copy = m_folder->stamp(name);
        return source && copy && source->link == copy->link && source->size == copy->size &&
               std::llabs(source->modifiedNs - copy->modifiedNs) <
                   m_memory.modifiedTimeStepNs(m_job.destination.Path);
    }

    // Stores the old copy as the newest previous version and puts the staged copy in place.
    // A failure when the versions could not be rotated: nothing was replaced.
    CheckFailure storeAndReplace(StagedCopy& staged) {
        const clsBackup& association = m_job.association;
        if (association.KeepBackup) {
            // The versions give what the folder they lie in gives, which follows the source
            // folder.
            PreviousVersions versions(m_job.prevSaveName, association.Versions,
                                      m_folder->access().value_or(FolderAccess{}),
                                      [this] { stepDone(); });
            const PreviousVersions::Outcome stored = versions.store(*m_folder, m_copyName);
            m_outdated = versions.takeOutdated();
            switch (stored) {
            case PreviousVersions::Outcome::RotationFailed:
                return CheckFailure::VersionsNotRotated;
            case PreviousVersions::Outcome::LinkInTheWay:
                return CheckFailure::LinkInDestination;
            case PreviousVersions::Outcome::OtherUsersFolder:
                return CheckFailure::OtherUsersFolder;
            case PreviousVersions::Outcome::StoreFailed:
                m_report.outcome.storeFailed = true;
                break;
            case PreviousVersions::Outcome::Stored:
                m_report.outcome.previousStored = true;
                break;
            case PreviousVersions::Outcome::NoPrevious:
                break;
            }
        }
        const CopyResult placed = m_fso.commitCopy(staged);
        if (!placed.ok())
            m_report.outcome.copyErrorText =
                placed.error == CopyError::DiskFull ? ResultText::diskFull : ResultText::copyError;
        else
            stepDone();
        return CheckFailure::None;
    }

    DestinationReport failed(CheckFailure failure) {
        m_report.failure = failure;
        return ended(Ending::CheckFailed);
    }
    DestinationReport copyFailed(const QString& text) {
        m_report.outcome.copyErrorText = text;
        return ended(Ending::Copied);
    }
    DestinationReport ended(Ending ending) {
        m_report.ending = ending;
        return m_report;
    }
    void stepDone() {
        if (m_steps.afterEachStep)
            m_steps.afterEachStep();
    }

    FileSystem& m_fso;
    BatchMemory& m_memory;
    const CopyJob& m_job;
    const CopySteps& m_steps;
    DestinationReport m_report;
    // The folder that receives the file, open once checked; the batch's copies into it share it.
    std::shared_ptr<const DestinationFolder> m_folder;
    QString m_copyName; // the copy's name there
    StagedCopy m_staged;
    qint64 m_sourceBytes = 0;
    std::optional<PreviousVersions::Outdated> m_outdated;
};

// A copy whose step threw ends as a failed copy; the old copy stays.
DestinationReport brokenCopy(const CopyJob& job) {
    qCWarning(lcEngine) << "Copy of" << Paths::displayName(job.filePath) << "to"
                        << Paths::displayName(job.destination.Path)
                        << "ended:" << currentExceptionText();
    DestinationReport report;
    report.destDir = job.destination.Path;
    report.ending = DestinationReport::Ending::Copied;
    report.outcome.keepBackup = job.association.KeepBackup;
    report.outcome.copyErrorText = ResultText::copyError;
    return report;
}

// A copy left for a later batch: nothing was looked at or written.
DestinationReport notStarted(const CopyJob& job) {
    DestinationReport report;
    report.destDir = job.destination.Path;
    report.ending = Ending::NotStarted;
    return report;
}

// One copy alone, reported before its outdated version is removed.
void runOne(FileSystem& fso, const CopyJob& job, const CopySteps& steps,
            const std::function<void(const DestinationReport&)>& done) {
    std::unique_ptr<BatchMemory> memory;
    std::unique_ptr<Copy> copy;
    DestinationReport report;
    try {
        memory = std::make_unique<BatchMemory>(fso);
        copy = std::make_unique<Copy>(fso, *memory, job, steps);
        report = copy->run();
    } catch (...) {
        report = brokenCopy(job);
    }
    done(report);
    if (copy)
        copy->removeOutdated();
}

// The copies of a batch still under way, by their place among the jobs.
using Batch = std::vector<std::pair<size_t, std::unique_ptr<Copy>>>;

std::vector<StagedCopy*> stagedOf(Batch& batch) {
    std::vector<StagedCopy*> staged;
    for (auto& [index, copy] : batch)
        staged.push_back(&copy->staged());
    return staged;
}

} // namespace

bool DestinationReport::driveAway() const {
    if (ending != Ending::CheckFailed)
        return false;
    switch (failure) {
    case CheckFailure::SourceDriveMissing:
    case CheckFailure::SourceDriveNotReady:
    case CheckFailure::SourceVolumeMismatch:
    case CheckFailure::RemoteDestMissing:
    case CheckFailure::RemoteDestNotReady:
    case CheckFailure::DestShareMissing:
    case CheckFailure::DestDriveMissing:
    case CheckFailure::DestDriveNotReady:
    case CheckFailure::DestVolumeMismatch:
        return true;
    default:
        return false;
    }
}

namespace DestinationCopy {

DestinationReport run(FileSystem& fso, const CopyJob& job, const CopySteps& steps) {
    DestinationReport report;
    runOne(fso, job, steps, [&](const DestinationReport& done) { report = done; });
    return report;
}

void runBatch(FileSystem& fso, const std::vector<CopyJob>& jobs, const CopySteps& steps,
              const std::function<void(size_t, const DestinationReport&)>& done,
              std::optional<qint64> byteLimit) {
    if (jobs.size() == 1) {
        runOne(fso, jobs.front(), steps, [&](const DestinationReport& report) { done(0, report); });
        return;
    }
    std::vector<DestinationReport> reports(jobs.size());
    // Each step of one copy that throws ends that copy alone.
    const auto guarded = [&](Batch& batch, const auto& step) {
        for (auto it = batch.begin(); it != batch.end();) {
            std::optional<DestinationReport> ended;
            try {
                ended = step(it->first, *it->second);
            } catch (...) {
                ended = brokenCopy(jobs[it->first]);
            }
            if (!ended) {
                ++it;
                continue;
            }
            reports[it->first] = *ended;
            it = batch.erase(it);
        }
    };
    // The disks are looked at once for the whole batch, and again after a mount.
    BatchMemory memory(fso);
    Batch batch;
    for (size_t i = 0; i < jobs.size(); ++i)
        batch.emplace_back(i, std::make_unique<Copy>(fso, memory, jobs[i], steps, true));
    // Once one copy is left out, so are those after it: their order is kept.
    size_t staged = 0;
    qint64 stagedBytes = 0;
    bool full = false;
    guarded(batch, [&](size_t index, Copy& copy) -> std::optional<DestinationReport> {
        if (full)
            return notStarted(jobs[index]);
        std::optional<qint64> room;
        if (byteLimit && staged > 0)
            room = std::max<qint64>(*byteLimit - stagedBytes, 0);
        std::optional<DestinationReport> ended = copy.stage(room);
        if (!ended) {
            ++staged;
            stagedBytes += copy.sourceBytes();
        } else {
            full = ended->ending == Ending::NotStarted;
        }
        return ended;
    });
    // Every new copy's data is durable before any of them takes the place of an old copy.
    std::vector<CopyResult> flushed(jobs.size());
    const std::vector<CopyResult> results = fso.flushBatch(stagedOf(batch));
    for (size_t k = 0; k < batch.size(); ++k)
        flushed[batch[k].first] = results[k];
    guarded(batch, [&](size_t index, Copy& copy) { return copy.endingOf(flushed[index]); });
    for (auto& [index, copy] : batch) {
        try {
            reports[index] = copy->complete();
        } catch (...) {
            reports[index] = brokenCopy(jobs[index]);
        }
    }
    // A copy is reported done once its rename is durable too; the reports keep the order of the
    // jobs, as copies made one by one would give them.
    fso.flushBatch(stagedOf(batch));
    for (size_t i = 0; i < jobs.size(); ++i)
        done(i, reports[i]);
    for (auto& [index, copy] : batch)
        copy->removeOutdated();
}

CopyJob makeJob(const clsBackup& association, const clsDestination& destination,
                const QString& sourceRoot, const QString& filePath, const QString& prevSaveName) {
    CopyJob job{sourceRoot, filePath, association, destination, prevSaveName};
    job.association.setDestinations(nullptr);
    return job;
}

} // namespace DestinationCopy
