#pragma once
// The program's state, engine and life cycle over a temporary home, with what it tells the user
// recorded and its questions answered from a script; `Clock` is the real or the manual clock.

#include "core/Lifecycle.h"
#include "engine/Engine.h"
#include "state/AppState.h"
#include "support/Recorder.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

template <class Clock> struct LifecycleOverHome : ::testing::Test {
    TempHome home;
    RecordingUi ui;
    ScriptedMessages messages;
    Clock clock;
    AppState state{ui, messages, clock};
    Engine engine{state};
    Lifecycle lifecycle{state, engine};
};
