#include "engine/ResultMessages.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckMessages, EachIsLoggedAlwaysAndNotifiedUnderItsOwnSwitch) {
    using F = CheckFailure;
    using O = Options;
    const struct {
        F failure;
        bool O::*option;
        const char* text;
    } rows[] = {
        {F::SourceFileMissing, &O::ErrorNoSource, "Error: Source file no longer exists"},
        {F::Loop, &O::ErrorLoop, "Error: Would save into recursive source folder"},
        {F::SourceDriveMissing, &O::ErrorNoSource, "Error: Source drive no longer exists"},
        {F::SourceDriveNotReady, &O::ErrorNoSource, "Error: Source drive not ready"},
        {F::SourceVolumeMismatch, &O::ErrorSourceVol, "Error: Source volume name mismatch"},
        {F::RemoteDestMissing, &O::ErrorNoDest, "Error: Remote destination drive does not exist"},
        {F::RemoteDestNotReady, &O::ErrorNoDest, "Error: Remote destination drive is not ready"},
        {F::DestShareMissing, &O::ErrorNoDest, "Error: Destination network share does not exist"},
        {F::DestDriveMissing, &O::ErrorNoDest, "Error: Destination drive no longer exists"},
        {F::DestDriveNotReady, &O::ErrorNoDest, "Error: Destination drive not ready"},
        {F::DestVolumeMismatch, &O::ErrorDestVol, "Error: Destination volume name mismatch"},
        {F::CantCreateFolders, &O::ErrorCreateFolder, "Error: Can't create destination folders"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        Options options;
        options.setDefaults();
        const ResultChoice on = chooseCheckResult(row.failure, {true, true}, options);
        EXPECT_EQ(on.notifyText.value_or(""), row.text);
        EXPECT_EQ(on.logText, row.failure == F::RemoteDestNotReady
                                  ? "Error: Remove destination drive is not ready"
                                  : row.text);
        EXPECT_TRUE(on.error && !on.success);
        EXPECT_FALSE(chooseCheckResult(row.failure, {true, false}, options).notifyText);
        options.*row.option = false;
        const ResultChoice off = chooseCheckResult(row.failure, {true, true}, options);
        EXPECT_FALSE(off.notifyText);
        EXPECT_EQ(off.logText, on.logText);
    }
}

TEST(CopyMessages, FailedCopyTellsWhatBecameOfThePreviousVersion) {
    Options options;
    options.setDefaults();
    const CopyOutcome stored{true, true, false, "Error: Disk is full"};
    const ResultChoice both = chooseCopyResult(stored, {true, true}, options);
    EXPECT_EQ(both.logText, "Error: Disk is full... Previous version stored");
    EXPECT_EQ(both.notifyText, both.logText);
    EXPECT_TRUE(both.success && both.error);
    EXPECT_EQ(chooseCopyResult(stored, {true, false}, options).notifyText,
              "Previous version stored");

    const CopyOutcome unstored{true, false, true, "Error occurred in copy"};
    EXPECT_EQ(chooseCopyResult(unstored, {true, true}, options).notifyText,
              "Error occurred in copy... Error: Previous version store unsuccessful");
    EXPECT_FALSE(chooseCopyResult(unstored, {true, false}, options).notifyText);
    options.ErrorCopyFailed = false;
    EXPECT_EQ(chooseCopyResult(unstored, {false, true}, options).notifyText,
              "Error: Previous version store unsuccessful");
}

} // namespace
