#include "engine/PreviousVersions.h"

#include "engine/BackupLayout.h"
#include "platform/OwnTemporaryNames.h"

#include <algorithm>
#include <vector>

PreviousVersions::PreviousVersions(const QString& baseName, int versions,
                                   const FolderAccess& folderAccess,
                                   std::function<void()> afterStep)
    // Keeping 0 versions keeps one all the same: P-1 alone receives the previous version.
    : m_baseName(baseName), m_kept(std::max(versions, 1)), m_folderAccess(folderAccess),
      m_afterStep(std::move(afterStep)) {}

QString PreviousVersions::versionFolderName(int k) const {
    return BackupLayout::versionFolderName(m_baseName, k);
}

PreviousVersions::Outcome PreviousVersions::store(const DestinationFolder& destDir,
                                                  const QString& fileName) {
    if (!destDir.stamp(fileName))
        return Outcome::NoPrevious;
    // The folders of the versions that move, P-1 up to the first free place (or the oldest
    // kept), all entered before anything moves.
    std::vector<DestinationFolder> folders(1);
    if (const Outcome opened = openVersionFolder(destDir, 1, folders[0]); opened != Outcome::Stored)
        return opened == Outcome::RotationFailed ? Outcome::StoreFailed : opened;
    // A save killed after keeping the old copy left it under both names: it is kept already, and
    // storing it again would push out a version for a duplicate.
    if (destDir.sameEntry(fileName, folders[0], fileName))
        return Outcome::Stored;
    // Only the versions below the first free place move, from there down: each rename fills the
    // place the one before it left. Without a free place the oldest kept version is the one
    // replaced, the only one that goes. A save killed part-way leaves one gap, which the next
    // save fills without losing a version.
    while (int(folders.size()) < m_kept && folders.back().stamp(fileName)) {
        DestinationFolder next;
        if (const Outcome opened = openVersionFolder(destDir, int(folders.size()) + 1, next);
            opened != Outcome::Stored)
            return opened;
        folders.push_back(std::move(next));
    }
    std::optional<QString> aside;
    if (int(folders.size()) == m_kept && folders.back().stamp(fileName))
        aside = setOldestAside(folders.back(), fileName);
    const bool rotated =
        moveVersionsUp(folders, fileName) && keepOldCopy(destDir, folders[0], fileName);
    if (aside) {
        // A rotation that failed before its first move leaves the oldest version where it was.
        if (!rotated && !folders.back().stamp(fileName) &&
            folders.back().rename(*aside, folders.back(), fileName))
            aside.reset();
        else
            m_outdated = Outdated{std::move(folders.back()), *aside};
    }
    return rotated ? Outcome::Stored : Outcome::RotationFailed;
}

// No free place: the oldest version goes. Where it cannot be set aside, the rename of the next
// one over it removes it, as part of the save.
std::optional<QString> PreviousVersions::setOldestAside(const DestinationFolder& oldest,
                                                        const QString& fileName) {
    const QString aside = OwnTemporaryNames::fresh();
    if (!oldest.rename(fileName, oldest, aside))
        return std::nullopt;
    stepDone();
    return aside;
}

PreviousVersions::Outcome PreviousVersions::openVersionFolder(const DestinationFolder& destDir,
                                                              int k, DestinationFolder& folder) {
    bool made = false;
    switch (destDir.enterOrMake(versionFolderName(k), m_folderAccess, folder, &made)) {
    case DestinationFolder::Refusal::None:
        break;
    case DestinationFolder::Refusal::Link:
        return Outcome::LinkInTheWay;
    case DestinationFolder::Refusal::OtherOwner:
        return Outcome::OtherUsersFolder;
    case DestinationFolder::Refusal::NotFolder:
    case DestinationFolder::Refusal::Failed:
        return Outcome::RotationFailed;
    }
    // The versions are no more readable than the copy beside them, whenever they were made.
    if (!made)
        folder.bringTo(m_folderAccess);
    return Outcome::Stored;
}

void PreviousVersions::Outdated::remove() const {
    folder.removeTemporary(name);
}

bool PreviousVersions::moveVersionsUp(const std::vector<DestinationFolder>& folders,
                                      const QString& fileName) {
    for (size_t v = folders.size() - 1; v >= 1; --v) {
        if (!folders[v - 1].rename(fileName, folders[v], fileName))
            return false;
        stepDone();
    }
    return true;
}

bool PreviousVersions::keepOldCopy(const DestinationFolder& destDir,
                                   const DestinationFolder& newest, const QString& fileName) {
    switch (destDir.link(fileName, newest, fileName)) {
    case LinkResult::Linked:
        stepDone();
        return true;
    case LinkResult::Unsupported:
        if (!destDir.rename(fileName, newest, fileName))
            return false;
        stepDone();
        return true;
    case LinkResult::Failed:
        break;
    }
    return false;
}

void PreviousVersions::stepDone() {
    if (m_afterStep)
        m_afterStep();
}
