#include "state/DetectRecords.h"

#include "state/WatchRegistry.h"

void clsDetectFolder::ClassNotifyDelete() {
    if (AutoBackup > 0 && registry)
        registry->close(AutoBackup);
    AutoBackup = 0;
}

void clsDetectFolder::ClassNotifyCreate(bool WatchSubtree, bool skipHiddenFolders) {
    // Re-opening an open record (enabling an association whose watch another one kept open)
    // must not leave the old watch behind.
    ClassNotifyDelete();
    AutoBackup = registry ? registry->open(Folder, WatchSubtree, skipHiddenFolders) : -1;
}

bool clsDetectFolder::watchCovers(bool WatchSubtree, bool skipHiddenFolders) const {
    return registry && AutoBackup > 0 &&
           registry->covers(AutoBackup, WatchSubtree, skipHiddenFolders);
}

colDetectFolders::Ptr colDetectFolders::Add(const QString& Folder, qint32 AutoBackup, qint32 Result,
                                            const QString& DetectionDate, const QString& key) {
    auto record = std::make_shared<clsDetectFolder>();
    record->Folder = Folder;
    record->AutoBackup = AutoBackup;
    record->Result = Result;
    record->DetectionDate = DetectionDate;
    record->registry = m_registry;
    return append(record, key);
}

colDetectedFiles::Ptr colDetectedFiles::Add(const QString& Path, const QString& ModifiedDate,
                                            const QString& key) {
    auto record = std::make_shared<clsDetectedFile>();
    record->Path = Path;
    record->ModifiedDate = ModifiedDate;
    return append(record, key);
}
