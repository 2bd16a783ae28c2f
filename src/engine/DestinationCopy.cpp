#include "engine/DestinationCopy.h"
#include "engine/Log.h"

#include "engine/BackupLayout.h"
#include "engine/CopyDestination.h"
#include "engine/DriveChecks.h"
#include "engine/PreviousVersions.h"
#include "platform/DestinationFolder.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <cstdlib>

namespace {

using Ending = DestinationReport::Ending;

class Copy {
public:
    Copy(FileSystem& fso, const CopyJob& job, const CopySteps& steps)
        : m_fso(fso), m_job(job), m_steps(steps) {
        m_report.destDir = job.destination.Path;
    }

    DestinationReport run() {
        const clsBackup& association = m_job.association;
        const QString& filePath = m_job.filePath;
        // A link is there as long as the link is, whatever it points to: it is backed up as
        // itself.
        if (!m_fso.stamp(filePath))
            return failed(CheckFailure::SourceFileMissing);
        const BackupLayout layout(m_job.sourceRoot, association.Folder, m_job.prevSaveName);
        const CopyDestination::Mirror mirror = layout.placeFile(m_job.destination.Path, filePath);
        m_report.destDir = mirror.destDir;
        const QString localDir = m_fso.localPathOf(mirror.destDir);
        m_copyName = mirror.copyName;
        const QString copyPath = Paths::join(localDir, m_copyName);
        if (CopyDestination::wouldLoop(m_fso, association, copyPath, filePath))
            return failed(CheckFailure::Loop);
        if (const CheckFailure f = BackupOwners::checkCopy(m_job.owners, filePath, copyPath);
            f != CheckFailure::None)
            return failed(f);
        if (const CheckFailure f = DriveChecks::checkSource(m_fso, filePath, association.Volume,
                                                            m_report.sourceVolumeName);
            f != CheckFailure::None)
            return failed(f);
        if (const CheckFailure f = DriveChecks::checkDestination(
                m_fso, mirror, m_job.destination.Volume, m_report.destVolumeName, m_folder);
            f != CheckFailure::None)
            return failed(f);

        if (m_steps.sweep)
            m_steps.sweep(m_folder, localDir);
        const QString& name = m_copyName;
        if (m_job.onlyIfStale && upToDate(filePath, name))
            return ended(Ending::UpToDate);
        m_report.outcome.keepBackup = association.KeepBackup;
        // The new copy is made whole first: a copy that fails leaves the old copy and every
        // version as they were.
        StagedCopy staged;
        const CopyResult copied =
            m_fso.stageCopy(filePath, m_folder, name, staged, m_steps.between);
        switch (copied.error) {
        case CopyError::None:
            break;
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
            return copyFailed(ResultText::copyError);
        }
        stepDone();
        if (const CheckFailure f = storeAndReplace(staged); f != CheckFailure::None)
            return failed(f);
        return ended(Ending::Copied);
    }

private:
    bool upToDate(const QString& filePath, const QString& name) const {
        const std::optional<FileStamp> source = m_fso.stamp(filePath);
        const std::optional<FileStamp> copy = m_folder.stamp(name);
        return source && copy && source->link == copy->link && source->size == copy->size &&
               std::llabs(source->modifiedNs - copy->modifiedNs) <
                   m_fso.modifiedTimeStepNs(m_job.destination.Path);
    }

    // Stores the old copy as the newest previous version and puts the staged copy in place.
    // A failure when the versions could not be rotated: nothing was replaced.
    CheckFailure storeAndReplace(StagedCopy& staged) {
        const clsBackup& association = m_job.association;
        if (association.KeepBackup) {
            // The versions give what the folder they lie in gives, which follows the source
            // folder.
            PreviousVersions versions(m_job.prevSaveName, association.Versions,
                                      m_folder.access().value_or(FolderAccess{}),
                                      [this] { stepDone(); });
            switch (versions.store(m_folder, m_copyName)) {
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
    const CopyJob& m_job;
    const CopySteps& m_steps;
    DestinationReport m_report;
    DestinationFolder m_folder; // the folder that receives the file, open once checked
    QString m_copyName;         // the copy's name there
};

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
    try {
        return Copy(fso, job, steps).run();
    } catch (...) {
        // A broken step ends this destination as a failed copy; the old copy stays.
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
}

CopyJob makeJob(const clsBackup& association, const clsDestination& destination,
                const QString& sourceRoot, const QString& filePath, const QString& prevSaveName) {
    CopyJob job{sourceRoot, filePath, association, destination, prevSaveName};
    job.association.setDestinations(nullptr);
    return job;
}

} // namespace DestinationCopy
