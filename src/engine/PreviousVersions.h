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

#include <QString>
#include <functional>

class FileSystem;

class PreviousVersions {
public:
    enum class Outcome {
        NoPrevious,     // no earlier copy to keep
        Stored,         // the earlier copy is now the newest previous version
        StoreFailed,    // the first version folder could not be made; nothing was moved
        RotationFailed, // a version could not move; those not yet moved are still in place
    };

    // `folderMode`: the permission bits of a version folder made here. `afterStep` runs after
    // each rename or link (tests stop the process there); it may be empty.
    PreviousVersions(FileSystem& fso, const QString& baseName, int versions, unsigned folderMode,
                     std::function<void()> afterStep = {});

    // Makes room for a new copy of `fileName` in `destDir`: the versions move up and the old copy
    // becomes the newest of them. The caller then puts the new copy in place.
    Outcome store(const QString& destDir, const QString& fileName);

    // D/P-k for the version number k.
    QString versionFolder(const QString& destDir, int k) const;

private:
    bool ensureFolder(const QString& folder);
    bool moveVersionsUp(const QString& destDir, const QString& fileName);
    bool keepOldCopy(const QString& oldCopy, const QString& newest);
    void stepDone();

    FileSystem& m_fso;
    QString m_baseName;
    int m_kept;
    unsigned m_folderMode;
    std::function<void()> m_afterStep;
};
