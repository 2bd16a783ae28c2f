#pragma once
// Backups made by the real copy engine, for restores to read: associations keeping versions,
// saves with chosen contents and times, and the set a restore reads them by.

#include "engine/EngineFixture.h"

#include "restore/RestoreRun.h"

class RestoreFixture : public CopyFixture {
protected:
    QString dst, dst2;

    void SetUp() override {
        CopyFixture::SetUp();
        dst = folder("dst");
        dst2 = folder("dst2");
    }
    std::shared_ptr<clsBackup> associate(const QString& source, bool isFolder, int versions,
                                         const QStringList& destinations) {
        const auto association = addAssociation(source, isFolder, isFolder);
        association->KeepBackup = true;
        association->Versions = qint16(versions);
        for (const QString& d : destinations)
            addDestination(source, d);
        return association;
    }
    // Writes `content` to `file`, with the time `when` if one is given, and copies it through
    // the engine.
    void save(const QString& root, const QString& file, const QByteArray& content,
              std::optional<QDateTime> when = {}) {
        putBytes(file, content, when);
        copy(root, file);
    }
    BackupSet setOf(const QString& root) const {
        return BackupSet::of(*state->backups->Item(Paths::PathKey(root)), *state->backups,
                             *state->destinations, "PrevSave");
    }
    FileCopies copiesOf(const QString& root, const QString& file) {
        return RestoreCatalog::copiesOf(*state->fso, setOf(root), file);
    }
    // The copy of version `k` in `destination`.
    KeptCopy copyOf(const FileCopies& copies, const QString& destination, int k) {
        for (const KeptCopy& c : copies.copies)
            if (c.destination == destination && c.version == k)
                return c;
        ADD_FAILURE() << "no version " << k << " in " << destination.toStdString();
        return {};
    }
};
