// A folder association's source: the files the watch named, and the walks for what it could not
// name (lost events, a sub-folder moved in). A walk visits a folder's files, then (when
// recursive) its sub-folders depth-first, on the source's own file system and past hidden ones
// unless hidden files are backed up. It lets the event loop run before every file and sub-folder
// so that the window stays alive and a pause or exit can stop it.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/ScanChange.h"
#include "platform/ChangeWatch.h"
#include "platform/FileSystem.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

namespace {

// The components of `path` below `folder`; empty when it does not lie below it.
QStringList partsBelow(const QString& path, const QString& folder) {
    const QString top = Paths::withoutTrailingSeparator(folder);
    if (!Paths::startsWith(path, top) || path.size() <= top.size())
        return {};
    QString rest = path.mid(top.size());
    if (!Paths::isRoot(top)) {
        if (rest.front() != Paths::separator())
            return {};
        rest.remove(0, 1);
    }
    return rest.split(Paths::separator(), Qt::SkipEmptyParts);
}

} // namespace

void Engine::ScanFolder(const QString& TopFolder, int AssocIndex, const QString& FolderPath,
                        const QString& DetectionDate, bool Recursive) {
    const ChangeTest test(DetectionDate);
    if (test.valid())
        walkFolder(TopFolder, AssocIndex, FolderPath, test, Recursive, ChangeBatch::everything());
}

void Engine::walkFolder(const QString& topFolder, int assocIndex, const QString& folderPath,
                        const ChangeTest& test, bool recursive, const ChangeBatch& changes) {
    const std::optional<quint64> device = m_state.fso->deviceOf(topFolder);
    if (!device)
        return;
    // The listing comes after the pause so that what the writer wrote meanwhile is seen.
    if (Paths::samePath(folderPath, topFolder))
        settleAfter(changes);
    const Walk walk{
        topFolder, assocIndex, test, recursive, false, *device, copyHiddenFor(topFolder)};
    scanFolderTree(walk, folderPath);
}

void Engine::serveFolderAssociation(const clsBackup& association, int index, const ChangeTest& test,
                                    const ChangeBatch& batch) {
    const QString& root = association.SourcePath;
    if (batch.overflow) {
        // What the lost events named is unknown: the times tell, as they did before watches
        // named files.
        if (test.valid())
            walkFolder(root, index, root, test, association.Recursive, batch);
        return;
    }
    const bool copyHidden = association.CopyHidden;
    // The files of this association's tree, and the new sub-folders in it, that the watch named.
    const auto inTree = [&](const QString& path) {
        const QStringList parts = partsBelow(path, root);
        if (parts.isEmpty() || (parts.size() > 1 && !association.Recursive))
            return false;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            if (isHiddenName(parts[i]) && !copyHidden)
                return false;
        return true;
    };
    QStringList files, folders;
    for (const QString& file : batch.files)
        if (inTree(file))
            files << file;
    for (const QString& folder : batch.newFolders)
        if (association.Recursive && inTree(folder) &&
            (copyHidden || !isHiddenName(Paths::fileName(folder))))
            folders << folder;
    if (files.isEmpty() && folders.isEmpty())
        return;
    const std::optional<quint64> device = m_state.fso->deviceOf(root);
    if (!device)
        return;
    settleAfter(batch);
    for (const QString& file : files) {
        yieldBetweenFiles();
        if (stopRequested())
            return;
        visitFile(root, index, file, test, true);
    }
    const Walk walk{root, index, test, true, true, *device, copyHidden};
    for (const QString& folder : folders) {
        if (stopRequested())
            return;
        if (entersSubFolder(walk, folder))
            scanFolderTree(walk, folder);
    }
}

// Gives the programs that signalled the watches time to finish writing. One pause serves every
// change read before it began, so that many folders changed at once (a program saving into
// each, a copy of a whole tree) cost one pause, not one each with the window frozen.
void Engine::settleAfter(const ChangeBatch& changes) {
    if (changes.lastEvent && m_settledEvents && *changes.lastEvent <= *m_settledEvents)
        return;
    m_settledEvents = ChangeBatch::eventsRead();
    m_state.clock.sleepMs(m_timing.topFolderSettleMs);
}

// A failure ends the walk of this folder only; the folder that asked for it goes on.
void Engine::scanFolderTree(const Walk& walk, const QString& folderPath) {
    try {
        const FileSystem& fso = *m_state.fso;
        if (!fso.FolderExists(folderPath))
            return;
        const QStringList files = fso.files(folderPath);
        for (const QString& file : files) {
            yieldBetweenFiles();
            if (stopRequested())
                return;
            visitFile(walk.topFolder, walk.assocIndex, file, walk.test, walk.everyFileCounts);
        }
        if (!walk.recursive)
            return;
        const QStringList subFolders = fso.subFolders(folderPath);
        for (const QString& subFolder : subFolders) {
            if (stopRequested())
                return;
            if (!entersSubFolder(walk, subFolder))
                continue;
            if (m_state.options.ShowScanning && !m_state.ui.popupClosed())
                m_state.ui.showPopupNoActivate();
            m_state.ui.processEvents();
            scanFolderTree(walk, subFolder);
        }
    } catch (...) {
        qCWarning(lcEngine) << "Scan of" << Paths::displayName(folderPath)
                            << "cut short:" << currentExceptionText();
    }
}

// A whole-drive source means that drive, not every disk mounted below it (nor /proc and /sys);
// a hidden folder is left alone unless hidden files are backed up.
bool Engine::entersSubFolder(const Walk& walk, const QString& subFolder) const {
    if (!walk.copyHidden && isHiddenName(Paths::fileName(subFolder)))
        return false;
    return m_state.fso->deviceOf(subFolder) == walk.device;
}

// The pause after every few files is counted across passes, so that a busy folder tree never
// keeps the disk and the processor at full load.
void Engine::yieldBetweenFiles() {
    m_state.ui.processEvents();
    if (++YieldCounter >= m_timing.yieldEveryFiles) {
        m_state.clock.sleepMs(m_timing.yieldPauseMs);
        YieldCounter = 0;
    }
}

// A path that is gone, or is no longer a regular file (a folder, a FIFO, a socket, a device), is
// skipped without a word; nothing here opens it.
void Engine::visitFile(const QString& topFolder, int assocIndex, const QString& filePath,
                       const ChangeTest& test, bool named) {
    const QString name = Paths::fileName(filePath);
    // The name tests come first: they spare a skipped file its look-up on the disk.
    if (OwnTemporaryNames::matches(name) || (isHiddenName(name) && !copyHiddenFor(topFolder)))
        return;
    const std::optional<FileStamp> stamp = m_state.fso->stamp(filePath);
    if (!stamp)
        return;
    handleIfChanged(test, named, filePath, *stamp, topFolder, assocIndex);
}

bool Engine::copyHiddenFor(const QString& topFolder) const {
    const QString key = Paths::PathKey(topFolder);
    return m_state.backups->contains(key) && m_state.backups->Item(key)->CopyHidden;
}
