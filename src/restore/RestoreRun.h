#pragma once
// Bringing kept copies back: one file to its source path, one file to a path the user picked, or
// the files of a folder into a folder the user picked. A restore reads the backups and writes
// only below its target: it never writes into a destination, never removes anything, and never
// writes through a link out of the target. Each file is written whole under a temporary name
// and renamed into place once its data is on the disk (a folder's files a batch at a time),
// keeping the copy's permission bits and times, so a failure or a crash leaves nothing
// half-written; a file that was there is replaced only where the user agreed to it.
//
// Before a copy replaces the source file, the source as it is now is copied to every destination
// as a normal save (by the BackupSet's SourceKeeper: the engine's workers in the program), so
// that it becomes a kept version and nothing is lost.
//
// A restore runs on the thread that calls it and reads only its request.

#include "restore/RestoreCatalog.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

class FileSystem;

// One file to bring back.
struct RestoreItem {
    QString sourcePath;         // the source file it is a copy of
    KeptCopy copy;              // the copy to read
    QStringList targetRelative; // where it goes: folders below the target folder, then its name
};

struct RestoreRequest {
    enum class Kind {
        ToSource, // one file back to its source path
        ToFile,   // one file to a picked path
        Folder,   // files into a picked folder
    };
    Kind kind = Kind::ToSource;
    BackupSet set;
    QString targetFolder; // the folder that receives the files, opened by its path
    std::vector<RestoreItem> items;
    // Replace files that are there already (the source itself, or where the user agreed).
    bool replace = false;
    // Source files for which no copy fitted the choice: not there at that time, or not in that
    // destination. They are left out.
    std::vector<QString> withoutCopy;
};

struct RestoreProgress {
    int files = 0;
    int totalFiles = 0;
    qint64 bytes = 0;
    qint64 totalBytes = 0;
    qint64 msLeft = -1; // unknown until some bytes are done
};

struct RestoreFailure {
    QString sourcePath;
    QString reason;
};

struct RestoreSummary {
    // Set when the restore did not start: why, in words; nothing was written.
    QString refused;
    int total = 0; // files asked for
    int restored = 0;
    std::vector<RestoreFailure> failures;
    // What the user may want to know but did not stop anything (a destination that could not
    // take the source before it was replaced).
    QStringList notes;
    bool cancelled = false;

    bool ok() const { return refused.isEmpty() && failures.empty() && !cancelled; }
    // The whole outcome in words, one line each, failures grouped by their reason.
    QString text() const;
};

namespace RestoreTexts {
inline const QString insideBackup = QStringLiteral(
    "%1 lies inside a backup. A restore never writes into a backup: pick a folder outside it.");
inline const QString sourceIsFolder = QStringLiteral(
    "%1 is a folder now, so the file cannot be put back in its place. Restore it to another "
    "place instead.");
inline const QString sourceIsOther =
    QStringLiteral("%1 is not a plain file now, so it is not replaced. Restore it to another "
                   "place instead.");
inline const QString notKept =
    QStringLiteral("%1 as it is now could not be backed up first, so it was not replaced: %2");
inline const QString keptNowhere = QStringLiteral("%1: %2");
inline const QString notKeptIn =
    QStringLiteral("The file as it was before the restore is not backed up in %1: %2");
inline const QString nothingFits =
    QStringLiteral("No file has a copy of that time or from that destination; nothing was "
                   "restored.");
inline const QString targetMissing = QStringLiteral("The folder %1 cannot be opened: %2");
inline const QString copyGone =
    QStringLiteral("the copy in %1 is gone (its disk was unplugged, or it was replaced since it "
                   "was listed)");
inline const QString copyUnreadable = QStringLiteral("the copy in %1 cannot be read: %2");
inline const QString targetFull = QStringLiteral("the target disk is full");
inline const QString alreadyThere =
    QStringLiteral("a file of that name is there already and was not replaced");
inline const QString linkInTarget =
    QStringLiteral("a link stands in the target where a folder belongs; not followed");
inline const QString notFolderInTarget =
    QStringLiteral("something that is not a folder stands in the target where a folder belongs");
inline const QString destinationGone =
    QStringLiteral("the disk of %1 went away during the restore (was it unplugged?)");
inline const QString writeFailed = QStringLiteral("it could not be written: %1");
inline const QString leftOut =
    QStringLiteral("Left out, having no copy of that time or from that destination: %1 files.");
inline const QString cancelled = QStringLiteral("Cancelled: %1 of %2 files restored.");
inline const QString restoredCount = QStringLiteral("%1 of %2 files restored.");
inline const QString failedGroup = QStringLiteral("%1 not restored: %2");
inline const QString andMore = QStringLiteral(" and %1 more");
} // namespace RestoreTexts

namespace RestoreRun {

// Runs `request`. `progress` is told after each file; `cancel` is looked at between files and
// chunks. Never throws.
RestoreSummary run(FileSystem& fso, const RestoreRequest& request,
                   const std::function<void(const RestoreProgress&)>& progress = {},
                   const std::atomic<bool>* cancel = nullptr);

// The request that puts `copy` back at `sourceFile`.
RestoreRequest toSource(const BackupSet& set, const QString& sourceFile, const KeptCopy& copy);
// The request that writes `copy` as `targetPath`, replacing a file there only with `replace`.
RestoreRequest toFile(const BackupSet& set, const QString& sourceFile, const KeptCopy& copy,
                      const QString& targetPath, bool replace);
// The request that writes the files of `tree`, each its copy by `choice`, into `targetFolder`
// (the files of the tree's folder directly into it, keeping their folders below).
RestoreRequest folderInto(const BackupSet& set, const BackedUpTree& tree, const CopyChoice& choice,
                          const QString& targetFolder, bool replace);

} // namespace RestoreRun
