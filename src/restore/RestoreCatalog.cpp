#include "restore/RestoreCatalog.h"

#include "engine/DriveChecks.h"
#include "model/Collections.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/RestoreFiles.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <future>

namespace {

const QString plugInText = QStringLiteral("plug in %1 to see its copies");

// The destinations whose disks answer now, with the volume each carries; the others unplugged.
struct Reachable {
    const clsDestination* destination;
    QString volume;
    QString base;      // as the local file system reaches it
    qint64 timeStepNs; // copies' times may differ from their sources' by less than this
};

std::vector<Reachable> reachableDestinations(FileSystem& fso, const BackupSet& set,
                                             std::vector<UnpluggedDestination>& unplugged) {
    std::vector<Reachable> found;
    for (const clsDestination& d : set.destinations) {
        QString volume;
        if (DriveChecks::checkDestinationDrive(fso, d.Path, d.Volume, volume) !=
                CheckFailure::None ||
            !fso.FolderExists(fso.localPathOf(d.Path))) {
            unplugged.push_back({d.Path, d.Volume});
            continue;
        }
        const QString base = fso.localPathOf(d.Path);
        found.push_back({&d, volume, base, std::max<qint64>(1, fso.modifiedTimeStepNs(base))});
    }
    return found;
}

KeptCopy keptCopy(const Reachable& at, const FoundCopy& found) {
    KeptCopy copy;
    copy.destination = at.destination->Path;
    copy.volume = at.volume;
    copy.version = found.version;
    copy.path = found.path;
    copy.base = at.base;
    copy.stamp = found.entry.stamp;
    copy.link = found.entry.kind == FolderEntry::Kind::Link;
    return copy;
}

// Same size and, within what the copy's disk keeps of a time, the same last-modified time.
bool equals(const KeptCopy& copy, const std::optional<FileStamp>& source, qint64 timeStepNs) {
    return source && source->link == copy.link && source->size == copy.stamp.size &&
           std::llabs(source->modifiedNs - copy.stamp.modifiedNs) < timeStepNs;
}

// Adds the files that one destination holds to `files`; both are sorted by source path, and so
// is the outcome: a merge, where a table of every path and a sort afterwards cost ten times more.
void mergeInto(std::vector<BackedUpFile>& files, std::vector<FoundFile>&& found,
               const Reachable& at) {
    std::vector<BackedUpFile> merged;
    merged.reserve(files.size() + found.size());
    size_t a = 0;
    for (FoundFile& file : found) {
        const QString key = Paths::PathKey(file.sourcePath);
        while (a < files.size() && Paths::PathKey(files[a].sourcePath) < key)
            merged.push_back(std::move(files[a++]));
        if (a < files.size() && Paths::PathKey(files[a].sourcePath) == key)
            merged.push_back(std::move(files[a++]));
        else
            merged.push_back({std::move(file.sourcePath), {}, false});
        std::vector<KeptCopy>& copies = merged.back().copies;
        for (const FoundCopy& copy : file.copies)
            copies.push_back(keptCopy(at, copy));
    }
    while (a < files.size())
        merged.push_back(std::move(files[a++]));
    files = std::move(merged);
}

SourceState sourceStateOf(const FileSystem& fso, const QString& path) {
    if (fso.stamp(path))
        return SourceState::File;
    if (fso.FolderExists(path))
        return SourceState::Folder;
    return fso.entryBelow(Paths::parent(path), {Paths::fileName(path)}) ? SourceState::Other
                                                                        : SourceState::Missing;
}

bool fromMatches(const KeptCopy& copy, const QString& from) {
    return from.isEmpty() || Paths::samePath(copy.destination, from) ||
           Paths::samePath(Paths::withoutTrailingSeparator(copy.destination),
                           Paths::withoutTrailingSeparator(from)) ||
           copy.volume.compare(from, Qt::CaseInsensitive) == 0;
}

} // namespace

BackupLayout BackupSet::layout() const {
    return BackupLayout::of(association, prevSaveName);
}

BackupSet BackupSet::of(const clsBackup& association, const colBackups& backups,
                        const colDestinations& destinations, const QString& prevSaveName) {
    BackupSet set;
    set.association = association;
    set.association.setDestinations(nullptr);
    for (const auto& d : destinations.of(association.SourcePath))
        set.destinations.push_back(*d);
    set.prevSaveName = prevSaveName;
    for (const auto& d : destinations)
        set.everyDestination << d->Path;
    set.owners =
        BackupOwners::ownershipOf(backups, destinations, prevSaveName, association.SourcePath);
    return set;
}

QString UnpluggedDestination::text() const {
    return plugInText.arg(volume.isEmpty() ? destination : volume);
}

QStringList KeptCopy::relative() const {
    return Paths::componentsBelow(path, base);
}

namespace RestoreCatalog {

FileCopies copiesOf(FileSystem& fso, const BackupSet& set, const QString& sourceFile) {
    FileCopies result;
    result.sourcePath = sourceFile;
    result.source = sourceStateOf(fso, sourceFile);
    const std::optional<FileStamp> now = fso.stamp(sourceFile);
    const BackupLayout layout = set.layout();
    for (const Reachable& at : reachableDestinations(fso, set, result.unplugged)) {
        for (const FoundCopy& found :
             layout.findFile(fso, at.destination->Path, sourceFile).copies) {
            KeptCopy copy = keptCopy(at, found);
            copy.equalsSource = equals(copy, now, at.timeStepNs);
            result.copies.push_back(std::move(copy));
        }
    }
    return result;
}

BackedUpTree treeOf(FileSystem& fso, const BackupSet& set, const QString& folder) {
    BackedUpTree tree;
    const BackupLayout layout = set.layout();
    const bool whole = folder.isEmpty() || Paths::samePath(folder, set.sourceRoot());
    tree.folder = whole ? set.sourceRoot() : folder;
    const std::vector<Reachable> reachable = reachableDestinations(fso, set, tree.unplugged);
    const auto listing = [&](const Reachable& at) {
        return whole ? layout.findAll(fso, at.destination->Path)
                     : layout.findBelow(fso, at.destination->Path, folder);
    };
    // Each destination is walked on a thread of its own: the walks wait on different disks, or
    // on one disk's cache, and the window waits for the slowest alone.
    std::vector<std::future<std::vector<FoundFile>>> others;
    for (size_t d = 1; d < reachable.size(); ++d)
        others.push_back(std::async(std::launch::async, listing, std::cref(reachable[d])));
    if (!reachable.empty())
        mergeInto(tree.files, listing(reachable[0]), reachable[0]);
    for (size_t d = 1; d < reachable.size(); ++d)
        mergeInto(tree.files, others[d - 1].get(), reachable[d]);

    QHash<QString, qint64> timeSteps; // by destination
    for (const Reachable& at : reachable)
        timeSteps.insert(at.destination->Path, at.timeStepNs);
    // The sources as they are now, each folder looked up once.
    QHash<QString, std::vector<size_t>> byFolder;
    for (size_t i = 0; i < tree.files.size(); ++i)
        byFolder[Paths::parent(tree.files[i].sourcePath)].push_back(i);
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        QStringList names;
        names.reserve(qsizetype(it.value().size()));
        for (const size_t i : it.value())
            names << Paths::fileName(tree.files[i].sourcePath);
        const auto stamps = fso.stampsIn(it.key(), names);
        for (size_t n = 0; n < it.value().size(); ++n) {
            BackedUpFile& file = tree.files[it.value()[n]];
            file.inSource = stamps[n].has_value();
            for (KeptCopy& copy : file.copies)
                copy.equalsSource = equals(copy, stamps[n], timeSteps.value(copy.destination, 1));
        }
    }
    return tree;
}

const KeptCopy* choose(const std::vector<KeptCopy>& copies, const CopyChoice& choice) {
    const KeptCopy* best = nullptr;
    for (const KeptCopy& copy : copies) {
        if (!fromMatches(copy, choice.from))
            continue;
        if (choice.version) {
            // The first destination that keeps that version, in the destinations' order.
            if (copy.version == *choice.version)
                return &copy;
            continue;
        }
        if (choice.asOfNs && copy.stamp.modifiedNs > *choice.asOfNs)
            continue;
        // Of equal times the current copy, then the first destination's: the copy most likely
        // to be whole and the least travelled.
        if (!best || copy.stamp.modifiedNs > best->stamp.modifiedNs ||
            (copy.stamp.modifiedNs == best->stamp.modifiedNs && copy.version < best->version))
            best = &copy;
    }
    return best;
}

bool sameContent(const KeptCopy& copy, const QString& sourcePath) {
    const KeptCopyFile file = KeptCopyFile::open(copy.base, copy.relative());
    return file.isOpen() && file.sameContentAs(sourcePath);
}

bool insideBackup(const FileSystem& fso, const BackupSet& set, const QString& path) {
    const QString resolved = fso.resolvedPath(path);
    return std::any_of(set.everyDestination.begin(), set.everyDestination.end(),
                       [&](const QString& destination) {
                           const QString local = fso.localPathOf(destination);
                           return Paths::isSameOrBelow(resolved, fso.resolvedPath(local)) ||
                                  fso.sameFile(path, local);
                       });
}

} // namespace RestoreCatalog
