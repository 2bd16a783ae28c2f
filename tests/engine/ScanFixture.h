#pragma once
// A fresh program state with an engine over real temporary folders and real watches. The clock
// is manual, so a file's modified time can be placed exactly against a detection date, and the
// copies the engine asks for are recorded instead of made.

#include "core/AppState.h"
#include "engine/Engine.h"
#include "engine/WatchRegistry.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/TempHome.h"

#include <QFile>
#include <gtest/gtest.h>
#include <stdexcept>

// Counts ticks: each tick that runs to its end asks once for the main window's geometry.
class TickUi : public RecordingUi {
public:
    mutable int ticks = 0;
    bool failGeometry = false;
    std::optional<QRect> mainWindowGeometryTwips() const override {
        ++ticks;
        if (failGeometry)
            throw std::runtime_error("window gone");
        return RecordingUi::mainWindowGeometryTwips();
    }
};

class ScanFixture : public ::testing::Test {
protected:
    struct CopyCall {
        QString sourceRoot;
        int assocIndex;
        QString filePath;
    };
    TempHome home;
    TickUi ui;
    ScriptedMessages messages;
    ManualClock clock;
    EngineTiming timing{.tickMs = 5};
    std::unique_ptr<AppState> state;
    std::unique_ptr<Engine> engine;
    std::vector<CopyCall> copies;
    std::function<void()> duringCopy; // runs inside each recorded copy
    QString docs;                     // a source folder to fill

    void SetUp() override {
        ensureCoreApp();
        state = std::make_unique<AppState>(ui, messages, clock);
        state->options.setDefaults();
        engine = std::make_unique<Engine>(*state, timing);
        engine->copyOverride = [this](const QString& root, int index, const QString& file) {
            copies.push_back({root, index, file});
            if (duringCopy)
                duringCopy();
        };
        docs = home.makeFolder("docs");
    }

    std::shared_ptr<clsBackup> associate(const QString& path, bool isFolder, bool recursive = false,
                                         bool enabled = true) {
        return state->Backups->Add(path, isFolder, state->Destinations, recursive,
                                   DateTimeText::Never, {}, true, true, enabled,
                                   DateTimeText::Never, DateTimeText::Never, false, 0, false,
                                   Paths::PathKey(path));
    }
    QString detectionNow() const { return DateTimeText::format(clock.now()); }
    // Sets a file's last-modified time `seconds` after the clock's now.
    void setModified(const QString& path, qint64 seconds) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            file.setFileTime(clock.now().addSecs(seconds), QFileDevice::FileModificationTime));
    }
    QString writeAt(const QString& relative, qint64 seconds) {
        const QString path = home.writeFile(relative, "data");
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
        return state->DetectFolders->Item(Paths::PathKey(folder));
    }
    qint32 watchDocs() {
        engine->CreateDetectFolder(docs, false);
        return record(docs)->AutoBackup;
    }
    // Waits until the watch has seen a change; it stays signalled until re-armed.
    bool awaitSignal(qint32 handle) { return state->watches->wait(handle, 2000); }
};
