#pragma once
// The program's state over a temporary home: what it tells the user is recorded, its questions
// are answered from a script, and its clock moves only when the test moves it.

#include "platform/FileSystem.h"
#include "state/AppState.h"
#include "support/Recorder.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <memory>

class StateOverHome : public ::testing::Test {
protected:
    TempHome home;
    RecordingUi ui;
    ScriptedMessages messages;
    ManualClock clock;
    std::unique_ptr<AppState> state;

    // Makes the state with the default options (on `fso`, or the real file system), once the
    // test program's application object exists.
    void makeState(std::unique_ptr<FileSystem> fso = {}) {
        state = std::make_unique<AppState>(ui, messages, clock, std::move(fso));
        state->options.setDefaults();
    }
};
