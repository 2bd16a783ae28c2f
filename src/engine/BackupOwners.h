#pragma once
// One owner for every place in the backups, and no copies of copies without end. Two
// associations whose copies would land in one place, standing there for different source files
// (/X/Docs and /Y/Docs into one destination), would replace each other's copies and rotate each
// other's versions out; associations that back up into each other's sources (Docs into
// Pics/backup, Pics into Docs/backup) would copy their copies for ever. Such sets are refused
// where they are made, and at run time a copy that would do either is skipped.
//
// The rules read a snapshot of the associations, taken on the window's thread; the snapshot is a
// plain value that any thread may read.

#include "engine/ResultMessages.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class colBackups;
class colDestinations;

namespace BackupOwners {

struct Member {
    QString source; // SourcePath
    bool folder = false;
    bool recursive = false;
    bool enabled = true;
    QStringList destinations; // the destination folders, as they are stored
};

struct Snapshot {
    std::vector<Member> members; // in the associations' order: an earlier one owns a place first
    QString versionBase;         // the version folders' base name
};

Snapshot snapshotOf(const colBackups& backups, const colDestinations& destinations,
                    const QString& versionBase);

// What the copies of one association go by: the snapshot, shared by every job made from it, and
// the association's position in it. Unset (no check) when the association is not in it.
struct Ownership {
    std::shared_ptr<const Snapshot> snapshot;
    qsizetype index = -1;
};
Ownership ownershipOf(const colBackups& backups, const colDestinations& destinations,
                      const QString& versionBase, const QString& sourcePath);

// Every association's ownership from one snapshot. A pass over many associations (the start's
// catch-up of all of them) takes one of these instead of a snapshot per association, which
// would make the pass quadratic in their number.
class Owners {
public:
    Owners(const colBackups& backups, const colDestinations& destinations,
           const QString& versionBase);
    explicit Owners(Snapshot snapshot);
    Ownership of(const QString& sourcePath) const;
    const QString& versionBase() const { return m_snapshot->versionBase; }

private:
    std::shared_ptr<const Snapshot> m_snapshot;
    QHash<QString, qsizetype> m_positions; // by the source's PathKey
};

// Two associations whose copies would land in one place of `destination`; `first` comes first.
struct Clash {
    qsizetype first = 0;
    qsizetype second = 0;
    QString destination;
};
std::vector<Clash> clashes(const Snapshot& snapshot);

// Associations each of which copies into the next one's source, the last into the first's:
// member positions, from the first in order on. Only enabled associations copy.
using Chain = std::vector<qsizetype>;
std::vector<Chain> chains(const Snapshot& snapshot);

// What is wrong with the set, for people.
QString describe(const Snapshot& snapshot, const Clash& clash);
QString describe(const Snapshot& snapshot, const Chain& chain);

// Why the member at `index` may not be saved as it is, in words; nullopt when it may.
std::optional<QString> refusalFor(const Snapshot& snapshot, qsizetype index);

// --- run time: the copy of `filePath`, a file of the member at `index`, would go to `copyPath`.
// True when an earlier association's backup stands in that place for another source file.
bool placeTakenByAnother(const Snapshot& snapshot, qsizetype index, const QString& filePath,
                         const QString& copyPath);
// True when `filePath` is itself a copy made by an association (or by one whose copy it was
// made from, and so on), and `copyPath` lies in the source of one of them.
bool wouldFeedItsOrigin(const Snapshot& snapshot, const QString& filePath, const QString& copyPath);
// Both, as the copy's check: PlaceTaken, FeedsItsOrigin or None (also when `owners` is unset).
CheckFailure checkCopy(const Ownership& owners, const QString& filePath, const QString& copyPath);

} // namespace BackupOwners
