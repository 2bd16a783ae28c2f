#pragma once
// The program's state, engine and life cycle over a temporary home, with what it tells the user
// recorded and its questions answered from a script; `Clock` is the real or the manual clock.
// `makeApp` makes the test program's application object first, before anything that needs it.

#include "core/Lifecycle.h"
#include "engine/Engine.h"
#include "state/AppState.h"
#include "support/QtApp.h"
#include "support/Recorder.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

template <class Clock, void (*makeApp)() = ensureCoreApp>
struct LifecycleOverHome : ::testing::Test {
    bool appReady = (makeApp(), true);
    TempHome home;
    RecordingUi ui;
    ScriptedMessages messages;
    Clock clock;
    AppState state{ui, messages, clock};
    Engine engine{state};
    Lifecycle lifecycle{state, engine};
};
