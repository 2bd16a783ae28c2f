#pragma once
// The engine's own records: watched folders and the files detected in the current pass.

#include "model/Collection.h"

#include <QString>

class WatchRegistry;

// One watched folder. AutoBackup is the watch handle: an id greater than 0 while open, 0 when
// closed (dropped at the end of the next tick), -1 when it failed or its folder association is
// disabled (kept, never polled).
class clsDetectFolder {
public:
    QString DetectionDate;
    qint32 Result = 0;
    qint32 AutoBackup = 0;
    QString Folder;

    // Closes the watch held in AutoBackup and sets it to 0.
    void ClassNotifyDelete();
    // Opens a watch on Folder (and its subtree when asked, without hidden sub-folders when
    // those are not backed up) and stores its handle.
    void ClassNotifyCreate(bool WatchSubtree, bool skipHiddenFolders = false);
    // True when the record's watch is open and covers what ClassNotifyCreate with these
    // arguments would open.
    bool watchCovers(bool WatchSubtree, bool skipHiddenFolders) const;

    WatchRegistry* registry = nullptr;
};

class colDetectFolders : public Collection<clsDetectFolder> {
public:
    explicit colDetectFolders(WatchRegistry* registry = nullptr) : m_registry(registry) {}
    Ptr Add(const QString& Folder, qint32 AutoBackup, qint32 Result, const QString& DetectionDate,
            const QString& key = {});
    WatchRegistry* registry() const { return m_registry; }

private:
    WatchRegistry* m_registry;
};

class clsDetectedFile {
public:
    QString ModifiedDate;
    QString Path;
};

class colDetectedFiles : public Collection<clsDetectedFile> {
public:
    Ptr Add(const QString& Path, const QString& ModifiedDate, const QString& key = {});
};
