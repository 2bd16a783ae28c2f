#pragma once
// A fresh program state over real temporary folders with a manual clock, and an engine on it:
// the copy engine, which copies for real, or the watch engine, whose copies are recorded instead
// of made, so that a file's modified time can be placed exactly against a detection date. What
// they logged, queued and animated is read back from the state and the recorder.

#include "engine/CopyEngine.h"
#include "engine/Engine.h"
#include "engine/ResultMessages.h"
#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/OwnTemporaryNames.h"
#include "platform/Paths.h"
#include "state/AppState.h"
#include "state/WatchRegistry.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

class StateFixture : public StateOverHome {
protected:
    EngineTiming timing;
    std::unique_ptr<FileSystem> ownFso; // the real one when none is handed over

    void SetUp() override {
        ensureCoreApp();
        makeState(std::move(ownFso));
    }
    // Tests that make one file-system operation fail on demand hand their own over before SetUp.
    template <class Fs> Fs* own(Fs* fso) {
        ownFso.reset(fso);
        return fso;
    }
    QString folder(const QString& relative) { return home.makeFolder(relative); }
    QString write(const QString& relative, const QByteArray& content) {
        return home.writeFile(relative, content);
    }
    QString volumeOf(const QString& path) {
        return state->fso->VolumeName(state->fso->GetDriveName(path));
    }
    // An association whose accepted volumes let its own drive serve, notifying both ways.
    std::shared_ptr<clsBackup> addAssociation(const QString& source, bool isFolder,
                                              bool recursive = false) {
        const QString name = volumeOf(source);
        clsBackup association =
            newAssociation(source, isFolder, VolumeList::encode({name}, name.isEmpty()),
                           DateTimeText::never, state->destinations);
        association.Recursive = recursive;
        association.Versions = 0;
        return state->backups->Add(std::move(association), Paths::PathKey(source));
    }
};

class CopyFixture : public StateFixture {
protected:
    std::unique_ptr<CopyEngine> engine;

    void SetUp() override {
        StateFixture::SetUp();
        engine = std::make_unique<CopyEngine>(*state, timing);
    }
    void addDestination(const QString& source, const QString& path,
                        std::optional<QString> volume = {}) {
        state->destinations->Add(path, source, volume.value_or(volumeOf(path)));
    }
    void copy(const QString& sourceRoot, const QString& file) {
        engine->CopyToDestinations(sourceRoot, state->backups->positionOf(sourceRoot), file);
    }
    template <class Entries> static QStringList messagesOf(const Entries& entries) {
        QStringList texts;
        for (const auto& entry : entries)
            texts << entry->Message;
        return texts;
    }
    QStringList logged() const { return messagesOf(*state->recent); }
    QStringList notified() const { return messagesOf(*state->notifiers); }
};

// One file association, its source holding "a".
class OneFileFixture : public CopyFixture {
protected:
    QString file;

    void SetUp() override {
        CopyFixture::SetUp();
        file = write("src/Docs/a.txt", "a");
        addAssociation(file, false);
    }
};

class ScanFixture : public StateFixture {
protected:
    struct CopyCall {
        QString sourceRoot;
        int assocIndex;
        QString filePath;
    };
    std::unique_ptr<Engine> engine;
    std::vector<CopyCall> copies;
    std::function<void()> duringCopy; // runs inside each recorded copy
    QString docs;                     // a source folder to fill

    void SetUp() override {
        timing.tickMs = 5;
        StateFixture::SetUp();
        engine = std::make_unique<Engine>(*state, timing);
        engine->copyOverride = [this](const QString& root, int index, const QString& file) {
            copies.push_back({root, index, file});
            if (duringCopy)
                duringCopy();
        };
        docs = folder("docs");
    }
    QString detectionNow() const { return DateTimeText::format(clock.now()); }
    // The entry's own time: a link's, not its target's.
    static void setModifiedTo(const QString& path, const QDateTime& when) {
        const qint64 ms = when.toMSecsSinceEpoch();
        const timespec time{time_t(ms / 1000), long(ms % 1000 * 1000 * 1000)};
        const timespec times[2] = {time, time};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW),
            0);
    }
    // Sets a file's last-modified time `seconds` after the clock's now.
    void setModified(const QString& path, qint64 seconds) {
        setModifiedTo(path, clock.now().addSecs(seconds));
    }
    QString writeAt(const QString& relative, qint64 seconds) {
        const QString path = write(relative, "data");
        setModified(path, seconds);
        return path;
    }
    QStringList copiedNames() const {
        QStringList names;
        for (const CopyCall& call : copies)
            names << Paths::fileName(call.filePath);
        names.sort();
        return names;
    }
    std::shared_ptr<clsDetectFolder> record(const QString& folder) const {
        return state->detectFolders->Item(Paths::PathKey(folder));
    }
    qint32 watchDocs() {
        engine->CreateDetectFolder(docs, false);
        return record(docs)->AutoBackup;
    }
    // Waits until the watch has seen a change; it stays signalled until re-armed.
    bool awaitSignal(qint32 handle) { return state->watches->wait(handle, 2000); }
    // Waits for a change and re-arms, as the tick does before it runs a pass.
    void awaitAndRearm(qint32 handle) {
        ASSERT_TRUE(awaitSignal(handle));
        state->watches->rearm(handle);
    }
};
