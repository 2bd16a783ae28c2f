#pragma once
// One changed file copied into one destination: the mirrored destination folder, the loop test,
// the source and destination checks, the staged copy and the previous versions. It works on the
// disks alone and says how it ended; logging, notifying and retrying are the caller's. It reads
// nothing but its job and the file system, so it runs on whichever thread serves the
// destination's disk.

#include "engine/BackupOwners.h"
#include "engine/ResultMessages.h"
#include "model/Records.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

class DestinationFolder;
class FileSystem;

// Everything one copy needs, fixed when the copy was asked for: the association and the
// destination as they were then (later edits reach the next copy), and the options it reads.
struct CopyJob {
    QString sourceRoot; // the association's source path
    QString filePath;   // the changed file
    clsBackup association;
    clsDestination destination;
    QString prevSaveName; // the base name of the version folders, already usable
    // Leave a copy that already has the source's size and time as it is: the file was found by
    // its times, not named by its writer's events, and may have been copied meanwhile.
    bool onlyIfStale = false;
    // Who owns which place in the destinations, as the associations stood then.
    BackupOwners::Ownership owners = {};
};

// How one destination came out.
struct DestinationReport {
    enum class Ending {
        CheckFailed, // `failure` says which check; nothing was written
        Copied,      // `outcome` says what was kept; its copyErrorText says whether the copy failed
        UpToDate,    // only if stale was asked, and the copy already matches the source
        Busy,        // the source is in use by another program: worth another try soon
        SourceChanged, // the source was written while it was read: nothing kept or rotated
        Cancelled,     // the `between` step asked to stop: the old copy stays, nothing was rotated
        NotStarted,    // left for a later batch, which had no room for it: nothing was done
    };
    Ending ending = Ending::CheckFailed;
    CheckFailure failure = CheckFailure::None;
    CopyOutcome outcome;
    QString destDir; // the folder that receives the file (the destination path until known)
    QString sourceVolumeName;
    QString destVolumeName;

    // A failure that goes away by itself when the drive comes back.
    bool driveAway() const;
};

struct CopySteps {
    // Runs after each chunk of the copy; false stops it (the copy is then Cancelled).
    std::function<bool()> between;
    // Runs after each step that changes the destination (the new copy's data complete in its
    // temporary file, each version moved, the old copy kept, the new copy in place), so that a
    // test can stop the process there.
    std::function<void()> afterEachStep;
    // Clears the folder that receives the file (open, and as the local file system reaches it)
    // of temporary files left by a killed copy, before the first copy into it.
    std::function<void(const DestinationFolder& folder, const QString& path)> sweep;
};

namespace DestinationCopy {

// Copies `job.filePath` into `job.destination`. Never throws.
DestinationReport run(FileSystem& fso, const CopyJob& job, const CopySteps& steps = {});

// Copies a batch of jobs into one disk, as run() copies each, but made durable together: every
// new copy is made whole in its temporary file, the data of all is flushed, then each old copy
// goes into the versions and each new one takes its place, and the renames are flushed. A crash
// at any moment leaves each copy old or new, and whole. `done` gets each job's report, by its
// place in `jobs`, in that order, once the batch is durable. Never throws.
// With `byteLimit`, the batch takes copies in, in their order, only while the sources staged so
// far and the next one's stay within it (the first is always taken): the rest end NotStarted, so
// that a big file neither waits for the small ones around it nor makes them wait for it.
void runBatch(FileSystem& fso, const std::vector<CopyJob>& jobs, const CopySteps& steps,
              const std::function<void(size_t, const DestinationReport&)>& done,
              std::optional<qint64> byteLimit = std::nullopt);

// The job for `filePath` of `association` into `destination`: the snapshot drops the
// association's link to the shared destination collection, which belongs to the window's thread.
CopyJob makeJob(const clsBackup& association, const clsDestination& destination,
                const QString& sourceRoot, const QString& filePath, const QString& prevSaveName);

} // namespace DestinationCopy
