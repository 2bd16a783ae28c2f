#include "presentation/StatusTexts.h"

#include <gtest/gtest.h>

TEST(StatusTexts, ASchemeThatWasNeverLoadedShowsNotApplicable) {
    EXPECT_EQ(StatusTexts::scheme(QString()), "Recent scheme: <n/a> ");
    EXPECT_EQ(StatusTexts::scheme("Work"), "Recent scheme: Work ");
}

TEST(StatusTexts, EveryRunningStateHasItsPanelText) {
    using State = UserInterface::RunningState;
    for (const State state :
         {State::Initializing, State::Scanning, State::Waiting, State::Paused, State::Exiting})
        EXPECT_TRUE(StatusTexts::running(state).endsWith("... "));
    EXPECT_EQ(StatusTexts::associations(3), "Total Associations: 3 ");
}
