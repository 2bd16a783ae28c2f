#include "engine/PreviousVersions.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {
const QString ScratchSuffix = QStringLiteral("-S");
} // namespace

PreviousVersions::PreviousVersions(FileSystem& fso, const QString& baseName, int versions,
                                   std::function<void()> between)
    : m_fso(fso), m_baseName(baseName), m_versions(versions), m_between(std::move(between)) {}

QString PreviousVersions::versionFolder(const QString& destDir, int k) const {
    return Paths::join(destDir, m_baseName + QLatin1Char('-') + QString::number(k));
}

PreviousVersions::Outcome PreviousVersions::store(const QString& destDir, const QString& fileName) {
    const QString oldCopy = Paths::join(destDir, fileName);
    if (!m_fso.FileExists(oldCopy))
        return Outcome::NoPrevious;
    const QString newest = versionFolder(destDir, 1);
    if (!m_fso.FolderExists(newest) && !m_fso.CreateFolder(newest))
        return Outcome::StoreFailed;

    // The old copy goes aside first: the top-down rotation then only ever overwrites a version
    // that has already been copied one place further, and D/N itself is not touched at all.
    const QString scratch = makeScratchFolder(destDir);
    if (scratch.isEmpty())
        return Outcome::Aborted;
    const QString aside = Paths::join(scratch, fileName);
    const bool done = copy(oldCopy, aside) && rotate(destDir, fileName) &&
                      copy(aside, Paths::join(newest, fileName));
    // The scratch folder only ever holds a duplicate of D/N, which is still whole here, so it
    // goes whether or not the rotation finished. A scratch folder that refuses to go is left
    // behind rather than costing the copy that follows.
    m_fso.DeleteFolder(scratch);
    return done ? Outcome::Stored : Outcome::Aborted;
}

QString PreviousVersions::makeScratchFolder(const QString& destDir) const {
    QString scratch = versionFolder(destDir, 1) + ScratchSuffix;
    while (m_fso.FolderExists(scratch) || m_fso.FileExists(scratch))
        scratch += ScratchSuffix;
    return m_fso.CreateFolder(scratch) ? scratch : QString();
}

bool PreviousVersions::rotate(const QString& destDir, const QString& fileName) {
    // From the oldest kept place down, so each version is copied up before the one below it
    // overwrites it; a failure stops at once and leaves every lower version where it was.
    for (int v = m_versions - 1; v >= 1; --v) {
        const QString from = Paths::join(versionFolder(destDir, v), fileName);
        if (!m_fso.FileExists(from))
            continue;
        const QString toFolder = versionFolder(destDir, v + 1);
        if (!m_fso.FolderExists(toFolder) && !m_fso.CreateFolder(toFolder))
            return false;
        if (!copy(from, Paths::join(toFolder, fileName)))
            return false;
    }
    return true;
}

bool PreviousVersions::copy(const QString& source, const QString& target) {
    return m_fso.copyFile(source, target, m_between).ok();
}
