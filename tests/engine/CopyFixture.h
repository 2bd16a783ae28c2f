#pragma once
// A fresh program state with a copy engine over real temporary folders; what the engine logged,
// queued and animated is read back from the state and the recorder.

#include "core/AppState.h"
#include "engine/CopyEngine.h"
#include "engine/ResultMessages.h"
#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <optional>

class CopyFixture : public ::testing::Test {
protected:
    TempHome home;
    RecordingUi ui;
    ScriptedMessages messages;
    ManualClock clock;
    EngineTiming timing;
    std::unique_ptr<AppState> state;
    std::unique_ptr<CopyEngine> engine;

    void SetUp() override {
        ensureCoreApp();
        state = std::make_unique<AppState>(ui, messages, clock, makeFileSystem());
        state->options.setDefaults();
        engine = std::make_unique<CopyEngine>(*state, timing);
    }
    // Tests that make one file-system operation fail on demand return their own here.
    virtual std::unique_ptr<FileSystem> makeFileSystem() { return nullptr; }

    QString volumeOf(const QString& path) {
        return state->fso->VolumeName(state->fso->GetDriveName(path));
    }
    QString folder(const QString& relative) { return home.makeFolder(relative); }
    QString write(const QString& relative, const QByteArray& content) {
        return home.writeFile(relative, content);
    }

    // An association whose accepted volumes let its own drive serve, notifying both ways.
    std::shared_ptr<clsBackup> addAssociation(const QString& source, bool isFolder,
                                              bool recursive = false) {
        const QString name = volumeOf(source);
        const QString& never = DateTimeText::Never;
        return state->Backups->Add(source, isFolder, state->Destinations, recursive, never,
                                   VolumeList::encode({name}, name.isEmpty()), true, true, true,
                                   never, never, false, 0, false, Paths::PathKey(source));
    }
    void addDestination(const QString& source, const QString& path,
                        std::optional<QString> volume = {}) {
        state->Destinations->Add(path, source, volume.value_or(volumeOf(path)));
    }
    void copy(const QString& sourceRoot, const QString& file) {
        engine->CopyToDestinations(sourceRoot, state->Backups->positionOf(sourceRoot), file);
    }

    QStringList logged() const {
        QStringList texts;
        for (const auto& entry : *state->Recent)
            texts << entry->Message;
        return texts;
    }
    QStringList notified() const {
        QStringList texts;
        for (const auto& entry : *state->Notifiers)
            texts << entry->Message;
        return texts;
    }
};

inline bool exists(const QString& path) {
    return QFileInfo::exists(path);
}
