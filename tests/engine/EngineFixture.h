#pragma once
// A fresh program state over real temporary folders with a manual clock, and an engine on it:
// the copy engine, which copies for real on its workers, or the whole engine, whose copies are
// recorded instead of made. What they logged, queued and animated is read back from the state
// and the recorder once the work is done.

#include "engine/CopyEngine.h"
#include "engine/DestinationWorkers.h"
#include "engine/Engine.h"
#include "engine/ResultMessages.h"
#include "engine/TurnBudget.h"
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
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// Intervals short enough that tests wait for what happens, not for the clock.
inline EngineTiming testTiming() {
    EngineTiming timing;
    timing.settleMs = 30;
    timing.quietMs = 300;
    timing.busyRetryMs = 20;
    timing.exitGraceMs = 200;
    timing.exitCancelMs = 200;
    timing.stallMs = 300;
    timing.stallCheckMs = 50;
    timing.lookThroughMs = 200;
    // Failed copies are tried again only where a test asks for it.
    timing.retryFirstMs = 3600 * 1000;
    timing.retryMaxMs = 3600 * 1000;
    return timing;
}

// Writes `content` to `path`, making its folders, and gives it the time `when` if one is given.
// By the bytes of the name: a name that is not UTF-8 reaches its file, which QFile would not.
inline void putBytes(const QString& path, const QByteArray& content,
                     std::optional<QDateTime> when = {}) {
    QDir().mkpath(Paths::parent(path));
    const QByteArray native = Paths::toNative(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << Paths::displayName(path).toStdString();
    EXPECT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
    if (when) {
        const timespec times[2] = {{time_t(when->toSecsSinceEpoch()), 0},
                                   {time_t(when->toSecsSinceEpoch()), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
    }
}

// What `path` holds, read by the bytes of its name; "<unreadable>" when it cannot be opened.
inline QByteArray bytesOf(const QString& path) {
    const int fd = ::open(Paths::toNative(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<unreadable>";
    QByteArray content;
    char chunk[65536];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        content.append(chunk, n);
    ::close(fd);
    return content;
}

// Waits (serving events) until `done` holds; false after `ms`.
template <class Done> bool waitFor(Done done, int ms = 5000) {
    return QTest::qWaitFor(done, ms);
}

class StateFixture : public StateOverHome {
protected:
    EngineTiming timing = testTiming();
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
    // An association whose accepted volumes let its own drive serve, notifying both ways, and
    // keeping `versions` previous versions of each copy (none for 0).
    std::shared_ptr<clsBackup> addAssociation(const QString& source, bool isFolder,
                                              bool recursive = false, int versions = 0) {
        const QString name = volumeOf(source);
        clsBackup association =
            newAssociation(source, isFolder, VolumeList::encode({name}, name.isEmpty()),
                           DateTimeText::never, state->destinations);
        association.Recursive = recursive;
        association.KeepBackup = versions > 0;
        association.Versions = qint16(versions);
        return state->backups->Add(std::move(association), Paths::PathKey(source));
    }
};

class CopyFixture : public StateFixture {
protected:
    TurnBudget turn{timing.turnSliceMs};
    std::unique_ptr<DestinationWorkers> workers;
    std::unique_ptr<CopyEngine> engine;

    void SetUp() override {
        StateFixture::SetUp();
        restartEngine();
    }
    // A fresh engine and workers, as after a restart of the program.
    void restartEngine() {
        engine.reset();
        workers = std::make_unique<DestinationWorkers>(
            state->fso, DestinationWorkers::Timing{timing.stallMs, timing.stallCheckMs}, turn);
        engine = std::make_unique<CopyEngine>(*state, timing, *workers);
        QObject::connect(workers.get(), &DestinationWorkers::news, engine.get(),
                         &CopyEngine::onNews);
    }
    void TearDown() override {
        settle();
        engine.reset();
        workers.reset();
    }
    // Waits until every copy asked for has answered.
    void settle() {
        ASSERT_TRUE(waitFor([&] { return !engine->busy() && !workers->busy(); }));
    }
    void addDestination(const QString& source, const QString& path,
                        std::optional<QString> volume = {}) {
        state->destinations->Add(path, source, volume.value_or(volumeOf(path)));
    }
    // Copies `file` and waits for every destination's result.
    void copy(const QString& sourceRoot, const QString& file) {
        engine->CopyToDestinations(sourceRoot, state->backups->positionOf(sourceRoot), file);
        settle();
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

// The whole engine, copying for real, started as the program starts it.
class RunningEngineFixture : public StateFixture {
protected:
    std::unique_ptr<Engine> engine;

    void SetUp() override {
        StateFixture::SetUp();
        startEngine();
    }
    void TearDown() override { engine.reset(); }
    void startEngine() {
        engine.reset();
        engine = std::make_unique<Engine>(*state, timing);
        engine->StartWatchTimer();
    }
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

// The whole engine, its copies recorded instead of made.
class RecordingEngine : public Engine {
public:
    using Engine::Engine;
    struct CopyCall {
        QString sourceRoot;
        QString filePath;
    };
    std::vector<CopyCall> copies;

protected:
    void copySettledFile(clsBackup& association, const QString& file, bool) override {
        copies.push_back({association.SourcePath, file});
    }
};

class WatchFixture : public StateFixture {
protected:
    std::unique_ptr<RecordingEngine> engine;
    QString docs; // a source folder to fill

    void SetUp() override {
        clock.current = QDateTime::currentDateTime(); // file times are real
        StateFixture::SetUp();
        engine = std::make_unique<RecordingEngine>(*state, timing);
        engine->StartWatchTimer();
        docs = folder("docs");
    }
    void TearDown() override { engine.reset(); }
    // Waits until `count` copies were asked for, then until nothing is left to do.
    bool awaitCopies(size_t count, int ms = 5000) {
        return waitFor([&] { return engine->copies.size() >= count && !engine->busy(); }, ms);
    }
    std::shared_ptr<clsDetectFolder> record(const QString& folder) const {
        return state->detectFolders->Item(Paths::PathKey(folder));
    }
    void watchDocs() { engine->CreateDetectFolder(docs, true); }
};
