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
#include "support/StateOverHome.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

class EditingFixture : public StateOverHome {
protected:
    ScriptedPickers pickers;
    std::vector<std::pair<QString, bool>> watchesOpened;
    int pauses = 0, unpauses = 0;

    void SetUp() override {
        ensureCoreApp();
        makeState();
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
        clsBackup association =
            newAssociation(source, folder, VolumeList::encode({name}, name.isEmpty()), "created",
                           state->destinations);
        association.DateLastModified = "saved";
        return state->backups->Add(std::move(association), Paths::PathKey(source));
    }
};
