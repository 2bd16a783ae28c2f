#include "restore/RestoreRun.h"

#include "engine/DestinationCopy.h"
#include "engine/DriveChecks.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/RestoreFiles.h"
#include "restore/SourceKeeper.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

namespace {

// Names shown for one reason before the rest are counted.
constexpr int namesShownPerReason = 3;
// A folder restore makes its files durable a batch at a time, before it names them: enough
// files that the flushes cost little beside the writing, few enough bytes that a flush waits
// for little and a crash loses little work.
constexpr size_t stagedFilesAtMost = 1000;
constexpr qint64 stagedBytesAtMost = qint64(64) << 20;

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString shown(const QString& path) {
    return Paths::displayName(path);
}

// Why a destination could not take the source before it is replaced, in words.
QString whyNotKept(const DestinationReport& report) {
    switch (report.ending) {
    case DestinationReport::Ending::CheckFailed:
        return chooseCheckResult(report.failure, {}, Options{}).logText;
    case DestinationReport::Ending::Copied:
        return report.outcome.copyErrorText;
    case DestinationReport::Ending::Busy:
        return QStringLiteral("the file is in use by another program");
    case DestinationReport::Ending::SourceChanged:
        return QStringLiteral("the file was being written");
    default:
        return QStringLiteral("the copy was stopped");
    }
}

bool kept(const DestinationReport& report) {
    return report.ending == DestinationReport::Ending::UpToDate ||
           (report.ending == DestinationReport::Ending::Copied &&
            report.outcome.copyErrorText.isEmpty());
}

// Copies the source file as it is now to every destination, as a save would, unless a
// destination's copy already has it. Empty when at least one destination keeps it now; else why
// none does. Destinations that could not take it are added to `notes`.
QString keepSource(FileSystem& fso, const BackupSet& set, const QString& sourceFile,
                   const std::atomic<bool>* cancel, QStringList& notes) {
    std::vector<CopyJob> jobs;
    for (const clsDestination& destination : set.destinations) {
        CopyJob job = DestinationCopy::makeJob(set.association, destination, set.sourceRoot(),
                                               sourceFile, set.prevSaveName);
        // A copy that already has the source's size and time is the source's kept state: it
        // becomes a version once the restored file is saved to the destination.
        job.onlyIfStale = true;
        job.owners = set.owners;
        jobs.push_back(std::move(job));
    }
    const std::shared_ptr<SourceKeeper> keeper =
        set.keeper ? set.keeper : SourceKeeper::onThisThread();
    const std::vector<DestinationReport> reports = keeper->keep(fso, jobs, cancel);
    QStringList reasons, notTaken;
    bool anyKept = false;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const DestinationReport& report = reports[i];
        if (kept(report)) {
            anyKept = true;
            continue;
        }
        const QString destination = shown(jobs[i].destination.Path);
        reasons << RestoreTexts::keptNowhere.arg(destination, whyNotKept(report));
        notTaken << RestoreTexts::notKeptIn.arg(destination, whyNotKept(report));
    }
    if (!anyKept)
        return reasons.isEmpty() ? QStringLiteral("it has no destination") : reasons.join("; ");
    notes << notTaken;
    return {};
}

// The folders below the target that the files of a restore go into, entered once each while
// the files come in path order. A folder the restore makes is its owner's alone while it fills,
// and takes its bits once it is left and its files are in place (sealLeft()): the files of a
// folder come one after the other, so a folder left is done.
class TargetFolders {
public:
    // The bits that the folder `level` of the folders entered should have once done.
    using ModeOf = std::function<std::optional<unsigned>(qsizetype level)>;
    using Folder = std::shared_ptr<const RestoreTarget>;

    explicit TargetFolders(RestoreTarget root) {
        m_chain.push_back({{}, std::make_shared<RestoreTarget>(std::move(root)), {}});
    }
    ~TargetFolders() { leaveAll(); }
    TargetFolders(const TargetFolders&) = delete;
    TargetFolders& operator=(const TargetFolders&) = delete;

    // The folder for `folders` (below the root); null with `why` set when it cannot be entered.
    Folder enter(const QStringList& folders, const ModeOf& modeOf, QString& why) {
        qsizetype same = 0;
        while (same < folders.size() && same + 1 < qsizetype(m_chain.size()) &&
               m_chain[size_t(same + 1)].name == folders[same])
            ++same;
        leaveDownTo(size_t(same + 1));
        for (qsizetype i = same; i < folders.size(); ++i) {
            RestoreTarget next;
            int err = 0;
            bool made = false;
            switch (m_chain.back().folder->enterOrMake(folders[i], next, &err, &made)) {
            case RestoreTarget::Refusal::None:
                m_chain.push_back({folders[i], std::make_shared<RestoreTarget>(std::move(next)),
                                   made ? modeOf(i) : std::optional<unsigned>()});
                continue;
            case RestoreTarget::Refusal::Link:
                why = RestoreTexts::linkInTarget;
                return nullptr;
            case RestoreTarget::Refusal::NotFolder:
                why = RestoreTexts::notFolderInTarget;
                return nullptr;
            case RestoreTarget::Refusal::Failed:
                why = RestoreTexts::writeFailed.arg(errnoText(err));
                return nullptr;
            }
        }
        return m_chain.back().folder;
    }
    // The folders made and left get their bits.
    void sealLeft() {
        for (const auto& [folder, mode] : m_left)
            folder->setMode(mode);
        m_left.clear();
    }
    void leaveAll() {
        leaveDownTo(1);
        sealLeft();
    }
    const RestoreTarget& root() const { return *m_chain.front().folder; }

private:
    struct Level {
        QString name;
        Folder folder;
        std::optional<unsigned> modeWhenLeft; // set for a folder the restore made
    };
    void leaveDownTo(size_t levels) {
        while (m_chain.size() > levels) {
            if (const auto mode = m_chain.back().modeWhenLeft)
                m_left.emplace_back(m_chain.back().folder, *mode);
            m_chain.pop_back();
        }
    }
    std::vector<Level> m_chain;
    std::vector<std::pair<Folder, unsigned>> m_left; // innermost first
};

class Runner {
public:
    Runner(FileSystem& fso, const RestoreRequest& request,
           const std::function<void(const RestoreProgress&)>& progress,
           const std::atomic<bool>* cancel)
        : m_fso(fso), m_request(request), m_progress(progress), m_cancel(cancel) {}

    RestoreSummary run() {
        m_summary.total = int(m_request.items.size());
        // A file that had no copy then was not there then: as it was, it is left out.
        if (!m_request.withoutCopy.empty())
            m_summary.notes << RestoreTexts::leftOut.arg(m_request.withoutCopy.size());
        if (!refusal())
            restoreAll();
        return m_summary;
    }

private:
    // Why the restore may not start at all; nothing has been written then.
    bool refusal() {
        const QString target = m_request.targetFolder;
        if (m_request.items.empty() && !m_request.withoutCopy.empty())
            return refuse(RestoreTexts::nothingFits);
        if (RestoreCatalog::insideBackup(m_fso, m_request.set, target))
            return refuse(RestoreTexts::insideBackup.arg(shown(target)));
        if (m_request.kind == RestoreRequest::Kind::ToSource && !m_request.items.empty()) {
            const QString source = m_request.items.front().sourcePath;
            if (m_fso.FolderExists(source))
                return refuse(RestoreTexts::sourceIsFolder.arg(shown(source)));
            if (!m_fso.stamp(source) &&
                m_fso.entryBelow(Paths::parent(source), {Paths::fileName(source)}))
                return refuse(RestoreTexts::sourceIsOther.arg(shown(source)));
        }
        int err = 0;
        m_root = RestoreTarget::openChosen(target, &err);
        if (!m_root.isOpen())
            return refuse(RestoreTexts::targetMissing.arg(shown(target), errnoText(err)));
        m_resolvedTarget = m_fso.resolvedPath(target);
        for (const QString& destination : m_request.set.everyDestination)
            m_backupRoots << m_fso.resolvedPath(m_fso.localPathOf(destination));
        return false;
    }

    // True when a file's place below the target is in a backup (a target that holds a
    // destination). The folders below the target are entered without following links, so their
    // names are where they are.
    bool placeInBackup(const RestoreItem& item) const {
        const QString place = Paths::join(m_resolvedTarget, item.targetRelative.join('/'));
        return std::any_of(m_backupRoots.begin(), m_backupRoots.end(),
                           [&](const QString& root) { return Paths::isSameOrBelow(place, root); });
    }
    bool refuse(const QString& why) {
        m_summary.refused = why;
        return true;
    }

    void restoreAll() {
        QElapsedTimer clock;
        clock.start();
        RestoreProgress progress;
        progress.totalFiles = int(m_request.items.size());
        for (const RestoreItem& item : m_request.items)
            progress.totalBytes += item.copy.stamp.size;
        const bool single = m_request.kind != RestoreRequest::Kind::Folder;
        TargetFolders folders(std::move(m_root));
        for (const RestoreItem& item : m_request.items) {
            if (stopRequested()) {
                m_summary.cancelled = true;
                break;
            }
            restoreOne(folders, item, single);
            if (!m_summary.refused.isEmpty())
                return;
            ++progress.files;
            progress.bytes += item.copy.stamp.size;
            if (progress.bytes > 0)
                progress.msLeft =
                    clock.elapsed() * (progress.totalBytes - progress.bytes) / progress.bytes;
            if (m_progress)
                m_progress(progress);
        }
        if (single)
            return;
        placeStaged(folders);
        folders.leaveAll();
        // The names placed and the bits given are made durable before the restore ends.
        if (const int err = folders.root().flushDisk(); err != 0 && m_summary.restored > 0) {
            m_summary.restored = 0;
            m_summary.failures.push_back(
                {m_request.targetFolder, RestoreTexts::writeFailed.arg(errnoText(err))});
        }
    }

    // The files staged so far are made durable together, then put in place under their names:
    // a crash leaves under a name either nothing or a whole file, and one flush of the disk
    // serves many files instead of one each.
    void placeStaged(TargetFolders& folders) {
        if (m_staged.empty())
            return;
        const int err = folders.root().flushDisk();
        for (const Staged& staged : m_staged) {
            if (err != 0) {
                staged.folder->discard(staged.temp);
                fail(*staged.item, RestoreTexts::writeFailed.arg(errnoText(err)));
                continue;
            }
            const CopyResult placed = staged.folder->place(
                staged.temp, staged.item->targetRelative.last(), m_request.replace);
            if (placed.ok())
                ++m_summary.restored;
            else if (placed.errnoValue == EEXIST)
                fail(*staged.item, RestoreTexts::alreadyThere);
            else
                fail(*staged.item, RestoreTexts::writeFailed.arg(errnoText(placed.errnoValue)));
        }
        m_staged.clear();
        m_stagedBytes = 0;
        folders.sealLeft();
    }

    void restoreOne(TargetFolders& folders, const RestoreItem& item, bool single) {
        const QString destination = item.copy.destination;
        if (m_goneDestinations.contains(destination))
            return fail(item, RestoreTexts::destinationGone.arg(shown(destination)));
        if (!m_diskFullAt.isEmpty())
            return fail(item, RestoreTexts::targetFull);
        if (placeInBackup(item))
            return fail(item, RestoreTexts::insideBackup.arg(shown(m_request.targetFolder)));
        int err = 0;
        // Opened before the source is kept: keeping it moves the versions up, and the open copy
        // stays the one that was chosen.
        const KeptCopyFile copy = KeptCopyFile::open(item.copy.base, item.copy.relative(), &err);
        if (!copy.isOpen())
            return failToRead(item, err);
        if (m_request.kind == RestoreRequest::Kind::ToSource && m_fso.stamp(item.sourcePath)) {
            const QString why =
                keepSource(m_fso, m_request.set, item.sourcePath, m_cancel, m_summary.notes);
            if (!why.isEmpty()) {
                m_summary.refused = RestoreTexts::notKept.arg(shown(item.sourcePath), why);
                return;
            }
        }
        QString whyNot;
        const TargetFolders::Folder folder = folders.enter(
            item.targetRelative.mid(0, item.targetRelative.size() - 1),
            [&](qsizetype level) { return folderModeOf(item, level); }, whyNot);
        if (!folder)
            return fail(item, whyNot);
        const auto goOn = [this] { return !stopRequested(); };
        CopyResult written;
        if (single) {
            written = folder->write(copy, item.targetRelative.last(), m_request.replace, goOn);
            if (written.ok())
                ++m_summary.restored;
        } else {
            QByteArray temp;
            written = folder->stage(copy, temp, false, goOn);
            if (written.ok()) {
                m_staged.push_back({&item, folder, temp});
                m_stagedBytes += item.copy.stamp.size;
                if (m_staged.size() >= stagedFilesAtMost || m_stagedBytes >= stagedBytesAtMost)
                    placeStaged(folders);
            }
        }
        if (written.ok())
            return;
        switch (written.error) {
        case CopyError::DiskFull:
            m_diskFullAt = item.sourcePath;
            return fail(item, RestoreTexts::targetFull);
        case CopyError::Cancelled:
            m_summary.cancelled = true;
            return;
        default:
            if (written.errnoValue == EEXIST)
                return fail(item, RestoreTexts::alreadyThere);
            // A read that failed half-way: the copy's disk may have gone.
            if (!destinationAnswers(item))
                return fail(item, RestoreTexts::destinationGone.arg(shown(destination)));
            return fail(item, RestoreTexts::writeFailed.arg(errnoText(written.errnoValue)));
        }
    }

    // The bits of the target folder `level` of `item`: those of the backed-up folder it comes
    // from, as the engine's mirrors follow their sources; else those of its source folder now.
    std::optional<unsigned> folderModeOf(const RestoreItem& item, qsizetype level) const {
        QString sourceFolder = item.sourcePath;
        for (qsizetype up = item.targetRelative.size() - 1 - level; up > 0; --up)
            sourceFolder = Paths::parent(sourceFolder);
        const BackupLayout layout = m_request.set.layout();
        if (Paths::isSameOrBelow(sourceFolder, layout.topSourceFolder()))
            if (const auto mode = KeptCopyFile::folderMode(
                    item.copy.base, layout.mirrorOf(item.copy.base, sourceFolder).names))
                return mode;
        if (m_fso.FolderExists(sourceFolder))
            if (const auto attributes = m_fso.attributes(sourceFolder))
                return attributes->mode;
        return std::nullopt;
    }

    void failToRead(const RestoreItem& item, int err) {
        const QString destination = item.copy.destination;
        if (!destinationAnswers(item))
            return fail(item, RestoreTexts::destinationGone.arg(shown(destination)));
        if (err == ENOENT)
            return fail(item, RestoreTexts::copyGone.arg(shown(destination)));
        fail(item, RestoreTexts::copyUnreadable.arg(shown(destination), errnoText(err)));
    }

    // True while the copy's destination is still on its disk; once it is not, its other files
    // are not tried.
    bool destinationAnswers(const RestoreItem& item) {
        const QString destination = item.copy.destination;
        QString expected = item.copy.volume, found;
        for (const clsDestination& d : m_request.set.destinations)
            if (Paths::samePath(d.Path, destination))
                expected = d.Volume;
        if (DriveChecks::checkDestinationDrive(m_fso, destination, expected, found) ==
                CheckFailure::None &&
            m_fso.FolderExists(item.copy.base))
            return true;
        m_goneDestinations.insert(destination);
        return false;
    }

    void fail(const RestoreItem& item, const QString& why) {
        m_summary.failures.push_back({item.sourcePath, why});
    }

    bool stopRequested() const { return m_cancel && m_cancel->load(); }

    FileSystem& m_fso;
    const RestoreRequest& m_request;
    const std::function<void(const RestoreProgress&)>& m_progress;
    const std::atomic<bool>* m_cancel;
    RestoreSummary m_summary;
    RestoreTarget m_root;
    QString m_resolvedTarget;
    QStringList m_backupRoots;
    QSet<QString> m_goneDestinations;
    QString m_diskFullAt;
    // Files written whole under temporary names, waiting for the flush before their names.
    struct Staged {
        const RestoreItem* item;
        TargetFolders::Folder folder;
        QByteArray temp;
    };
    std::vector<Staged> m_staged;
    qint64 m_stagedBytes = 0;
};

// Where a source file goes below the association's top folder: its folders, then its name.
QStringList belowTop(const BackupSet& set, const QString& sourceFile) {
    return Paths::componentsBelow(sourceFile, set.layout().topSourceFolder());
}

} // namespace

QString RestoreSummary::text() const {
    if (!refused.isEmpty())
        return refused;
    QStringList lines;
    lines << (cancelled ? RestoreTexts::cancelled : RestoreTexts::restoredCount)
                 .arg(restored)
                 .arg(total);
    // Failures of one reason are one line, naming the first few files.
    QStringList reasons;
    QHash<QString, QStringList> byReason;
    for (const RestoreFailure& failure : failures) {
        if (!byReason.contains(failure.reason))
            reasons << failure.reason;
        byReason[failure.reason] << shown(failure.sourcePath);
    }
    for (const QString& reason : reasons) {
        const QStringList& names = byReason[reason];
        QString who = names.mid(0, namesShownPerReason).join(", ");
        if (names.size() > namesShownPerReason)
            who += RestoreTexts::andMore.arg(names.size() - namesShownPerReason);
        lines << RestoreTexts::failedGroup.arg(who, reason);
    }
    lines << notes;
    return lines.join('\n');
}

namespace RestoreRun {

RestoreSummary run(FileSystem& fso, const RestoreRequest& request,
                   const std::function<void(const RestoreProgress&)>& progress,
                   const std::atomic<bool>* cancel) {
    try {
        return Runner(fso, request, progress, cancel).run();
    } catch (const std::exception& e) {
        RestoreSummary summary;
        summary.refused = QString::fromLocal8Bit(e.what());
        return summary;
    }
}

RestoreRequest toSource(const BackupSet& set, const QString& sourceFile, const KeptCopy& copy) {
    RestoreRequest request;
    request.kind = RestoreRequest::Kind::ToSource;
    request.set = set;
    request.targetFolder = set.layout().topSourceFolder();
    request.items.push_back({sourceFile, copy, belowTop(set, sourceFile)});
    request.replace = true;
    return request;
}

RestoreRequest toFile(const BackupSet& set, const QString& sourceFile, const KeptCopy& copy,
                      const QString& targetPath, bool replace) {
    RestoreRequest request;
    request.kind = RestoreRequest::Kind::ToFile;
    request.set = set;
    request.targetFolder = Paths::parent(targetPath);
    request.items.push_back({sourceFile, copy, {Paths::fileName(targetPath)}});
    request.replace = replace;
    return request;
}

RestoreRequest folderInto(const BackupSet& set, const BackedUpTree& tree, const CopyChoice& choice,
                          const QString& targetFolder, bool replace) {
    RestoreRequest request;
    request.kind = RestoreRequest::Kind::Folder;
    request.set = set;
    request.targetFolder = targetFolder;
    request.replace = replace;
    // The files of a file association's tree go in by their names alone.
    const QString folder = set.association.Folder ? tree.folder : Paths::parent(tree.folder);
    for (const BackedUpFile& file : tree.files) {
        const KeptCopy* copy = RestoreCatalog::choose(file.copies, choice);
        if (!copy) {
            request.withoutCopy.push_back(file.sourcePath);
            continue;
        }
        request.items.push_back(
            {file.sourcePath, *copy, Paths::componentsBelow(file.sourcePath, folder)});
    }
    return request;
}

} // namespace RestoreRun
