#pragma once
// Backups made by the real copy engine, for restores to read: associations keeping versions,
// saves with chosen contents and times, and the set a restore reads them by.

#include "engine/EngineFixture.h"

#include "restore/RestoreRun.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Writes `content` to `file` (names are bytes: any name reaches its file), gives it the
    // time `when` if one is given, and copies it through the engine.
    void save(const QString& root, const QString& file, const QByteArray& content,
              std::optional<QDateTime> when = {}) {
        put(file, content, when);
        copy(root, file);
    }
    static void put(const QString& file, const QByteArray& content,
                    std::optional<QDateTime> when = {}) {
        QDir().mkpath(Paths::parent(file));
        const QByteArray native = Paths::toNative(file);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0640);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
        if (when) {
            const struct timespec times[2] = {{time_t(when->toSecsSinceEpoch()), 0},
                                              {time_t(when->toSecsSinceEpoch()), 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
        }
    }
    static QByteArray contentOf(const QString& file) {
        const int fd = ::open(Paths::toNative(file).constData(), O_RDONLY);
        QByteArray content(1 << 20, '\0');
        const ssize_t n = fd < 0 ? -1 : ::read(fd, content.data(), size_t(content.size()));
        if (fd >= 0)
            ::close(fd);
        return n < 0 ? QByteArray("<unreadable>") : content.left(n);
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
