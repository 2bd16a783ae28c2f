// The walk of a folder association's source: its files, then (when recursive) its sub-folders
// depth-first, letting the event loop run before every file and sub-folder so that the window
// stays alive and a pause or exit can stop the walk.

#include "engine/Engine.h"
#include "engine/Log.h"

#include "engine/ScanChange.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/UserInterface.h"

void Engine::ScanFolder(const QString& TopFolder, int AssocIndex, const QString& FolderPath,
                        const QString& DetectionDate, bool Recursive) {
    const ChangeTest test(DetectionDate);
    if (test.valid())
        scanFolderTree(TopFolder, AssocIndex, FolderPath, test, Recursive);
}

// A failure ends the walk of this folder only; the folder that asked for it goes on.
void Engine::scanFolderTree(const QString& topFolder, int assocIndex, const QString& folderPath,
                            const ChangeTest& test, bool recursive) {
    try {
        const FileSystem& fso = *m_state.fso;
        if (!fso.FolderExists(folderPath))
            return;
        // Gives the program that signalled the watch time to finish writing; the listing comes
        // after the pause so that what it wrote meanwhile is seen.
        if (Paths::samePath(folderPath, topFolder))
            m_state.clock.sleepMs(m_timing.topFolderSettleMs);
        const QStringList files = fso.files(folderPath);
        for (const QString& file : files) {
            yieldBetweenFiles();
            if (stopRequested())
                return;
            visitFile(topFolder, assocIndex, file, test);
        }
        if (!recursive)
            return;
        const QStringList subFolders = fso.subFolders(folderPath);
        for (const QString& subFolder : subFolders) {
            if (stopRequested())
                return;
            if (m_state.options.ShowScanning && !m_state.ui.popupClosed())
                m_state.ui.showPopupNoActivate();
            m_state.ui.processEvents();
            scanFolderTree(topFolder, assocIndex, subFolder, test, recursive);
        }
    } catch (...) {
        qCWarning(lcEngine) << "Scan of" << Paths::displayName(folderPath)
                            << "cut short:" << currentExceptionText();
    }
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

void Engine::visitFile(const QString& topFolder, int assocIndex, const QString& filePath,
                       const ChangeTest& test) {
    const QString name = Paths::fileName(filePath);
    // The name tests come first: they spare a skipped file its look-up on the disk.
    if (name.startsWith(OwnTempPrefix) || (isHiddenName(name) && !copyHiddenFor(topFolder)))
        return;
    const std::optional<QDateTime> modified = m_state.fso->lastModified(filePath);
    if (!modified)
        return;
    handleIfChanged(test, filePath, *modified, topFolder, assocIndex);
}

bool Engine::copyHiddenFor(const QString& topFolder) const {
    const QString key = Paths::PathKey(topFolder);
    return m_state.Backups->Contains(key) && m_state.Backups->Item(key)->CopyHidden;
}
