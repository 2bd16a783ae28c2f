#pragma once
// A fresh program state over a temporary home, with scripted message boxes and pickers, for the
// adding and editing rules.

#include "model/VolumeList.h"
#include "platform/DateTimeText.h"
#include "platform/Paths.h"
#include "presentation/PropertiesSession.h"
#include "state/AppState.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/ScriptedPickers.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

class EditingFixture : public ::testing::Test {
protected:
    TempHome home;
    RecordingUi ui;
    ScriptedMessages messages;
    ScriptedPickers pickers;
    ManualClock clock;
    std::unique_ptr<AppState> state;
    std::vector<std::pair<QString, bool>> watchesOpened;
    int pauses = 0, unpauses = 0;

    void SetUp() override {
        ensureCoreApp();
        state = std::make_unique<AppState>(ui, messages, clock);
    }
    QString volumeOf(const QString& path) {
        return state->fso->VolumeName(state->fso->GetDriveName(path));
    }
    PropertiesSession::Hooks sessionHooks() {
        PropertiesSession::Hooks h;
        h.pause = [this] {
            ++pauses;
            state->Paused = true;
        };
        h.unpause = [this] {
            ++unpauses;
            state->Paused = false;
        };
        h.openWatch = [this](const QString& p, bool r) { watchesOpened.emplace_back(p, r); };
        return h;
    }
    // An existing (once saved) association of `source`.
    std::shared_ptr<clsBackup> addSaved(const QString& source, bool folder) {
        const QString name = volumeOf(source);
        return state->Backups->Add(source, folder, state->Destinations, false, "created",
                                   VolumeList::encode({name}, name.isEmpty()), true, true, true,
                                   "saved", DateTimeText::Never, false, 1, false,
                                   Paths::PathKey(source));
    }
    QStringList texts() const {
        QStringList t;
        for (const auto& a : messages.asked)
            t << a.text;
        return t;
    }
};
