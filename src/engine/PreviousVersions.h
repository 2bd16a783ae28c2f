#pragma once
// The rotating previous versions of a destination copy. Inside the destination folder D, with
// the base name P and the file name N, D/P-1/N holds the newest previous version and D/P-k/N the
// k-th newest, up to the kept number.
//
// The versions below the first free place (or all, the oldest then going) move up by renames
// within D, and the old copy D/N becomes D/P-1/N by a second name (a hard link), so that D/N
// stays whole until the new copy is renamed over it. Nothing is copied, so a save costs one copy
// whatever the number of versions, and a crash at any moment loses at most the oldest version,
// which was due to go anyway. Where the file system has no hard links (FAT) the old copy itself
// moves, and D/N is missing until the new copy takes its place.
//
// The oldest version, when it goes, is first set aside under a temporary name in its folder and
// removed only once the new copy is in place and reported: freeing a large file keeps the disk
// busy for a while, and the save need not wait for it. Should the program end first, the sweep
// for stale temporary files removes it.
//
// Every version folder is entered from D, never through a symbolic link, and only when it is
// this user's: a link or another user's folder where a version folder belongs stops the
// rotation before anything has moved, so no version is moved out of the backup or into it.

#include "platform/DestinationFolder.h"

#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class PreviousVersions {
public:
    enum class Outcome {
        NoPrevious,       // no earlier copy to keep
        Stored,           // the earlier copy is now the newest previous version
        StoreFailed,      // the first version folder could not be made; nothing was moved
        RotationFailed,   // a version could not move; those not yet moved are still in place
        LinkInTheWay,     // a link stands where a version folder belongs; nothing was moved
        OtherUsersFolder, // a version folder belongs to another user; nothing was moved
    };

    // `folderAccess`: what a version folder gives (that of the destination folder). `afterStep`
    // runs after each rename or link (tests stop the process there); it may be empty.
    PreviousVersions(const QString& baseName, int versions, const FolderAccess& folderAccess,
                     std::function<void()> afterStep = {});

    // Makes room for a new copy of `fileName` in `destDir`: the versions move up and the old copy
    // becomes the newest of them. The caller then puts the new copy in place.
    Outcome store(const DestinationFolder& destDir, const QString& fileName);

    // P-k for the version number k.
    QString versionFolderName(int k) const;

    // The oldest version that the last store pushed out, under its temporary name in its folder,
    // for the caller to remove.
    struct Outdated {
        DestinationFolder folder;
        QString name;
        // Removes it; best effort, as a sweep finds it otherwise.
        void remove() const;
    };
    std::optional<Outdated> takeOutdated() { return std::exchange(m_outdated, std::nullopt); }

private:
    // Enters (making it when missing) the folder of version k into `folder`.
    Outcome openVersionFolder(const DestinationFolder& destDir, int k, DestinationFolder& folder);
    std::optional<QString> setOldestAside(const DestinationFolder& oldest, const QString& fileName);
    bool moveVersionsUp(const std::vector<DestinationFolder>& folders, const QString& fileName);
    bool keepOldCopy(const DestinationFolder& destDir, const DestinationFolder& newest,
                     const QString& fileName);
    void stepDone();

    QString m_baseName;
    int m_kept;
    FolderAccess m_folderAccess;
    std::function<void()> m_afterStep;
    std::optional<Outdated> m_outdated;
};
