#include "engine/PreviousVersions.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <algorithm>

PreviousVersions::PreviousVersions(FileSystem& fso, const QString& baseName, int versions,
                                   unsigned folderMode, std::function<void()> afterStep)
    // Keeping 0 versions keeps one all the same: P-1 alone receives the previous version.
    : m_fso(fso), m_baseName(baseName), m_kept(std::max(versions, 1)), m_folderMode(folderMode),
      m_afterStep(std::move(afterStep)) {}

QString PreviousVersions::versionFolder(const QString& destDir, int k) const {
    return Paths::join(destDir, m_baseName + QLatin1Char('-') + QString::number(k));
}

PreviousVersions::Outcome PreviousVersions::store(const QString& destDir, const QString& fileName) {
    const QString oldCopy = Paths::join(destDir, fileName);
    if (!m_fso.FileExists(oldCopy))
        return Outcome::NoPrevious;
    const QString newest = versionFolder(destDir, 1);
    if (!ensureFolder(newest))
        return Outcome::StoreFailed;
    // A save killed after keeping the old copy left it under both names: it is kept already, and
    // storing it again would push out a version for a duplicate.
    if (m_fso.sameFile(oldCopy, Paths::join(newest, fileName)))
        return Outcome::Stored;
    if (!moveVersionsUp(destDir, fileName) || !keepOldCopy(oldCopy, Paths::join(newest, fileName)))
        return Outcome::RotationFailed;
    return Outcome::Stored;
}

bool PreviousVersions::ensureFolder(const QString& folder) {
    return m_fso.FolderExists(folder) || m_fso.createFolderWithMode(folder, m_folderMode);
}

bool PreviousVersions::moveVersionsUp(const QString& destDir, const QString& fileName) {
    // Only the versions below the first free place move, from there down: each rename fills the
    // place the one before it left. Without a free place the oldest kept version is the one
    // replaced, the only one that goes. A save killed part-way leaves one gap, which the next
    // save fills without losing a version.
    int firstFree = 1;
    while (firstFree < m_kept &&
           m_fso.FileExists(Paths::join(versionFolder(destDir, firstFree), fileName)))
        ++firstFree;
    for (int v = firstFree - 1; v >= 1; --v) {
        const QString from = Paths::join(versionFolder(destDir, v), fileName);
        const QString toFolder = versionFolder(destDir, v + 1);
        if (!ensureFolder(toFolder) || !m_fso.renameFile(from, Paths::join(toFolder, fileName)))
            return false;
        stepDone();
    }
    return true;
}

bool PreviousVersions::keepOldCopy(const QString& oldCopy, const QString& newest) {
    switch (m_fso.linkFile(oldCopy, newest)) {
    case LinkResult::Linked:
        stepDone();
        return true;
    case LinkResult::Unsupported:
        if (!m_fso.renameFile(oldCopy, newest))
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
