// The state file: its layout, what a short, long or damaged file loads as,
// and the save that must never leave a broken file behind.
#include "recording_host.h"

#include <climits>
#include <cstdio>

namespace {

constexpr char kTemporaryName[] = "corvaneState.dat.tmp";

// Values that no file byte sets, to see which fields a load touched.
void FillWithSentinels() {
    g_calibration.countdownStarted = 0xA1;
    g_calibration.remainingSeconds = 1234;
    g_calibration.calibrationActive = 0xA2;
    g_calibration.noticeSuppressed = 0xA3;
    g_calibration.lowAlertShown = 1;
}

using StateFileTest = CalibrationTest;

TEST_F(StateFileTest, FirstRunWithoutFileStartsClearAndFirstSaveCreatesSevenBytes) {
    g_calibration.countdownStarted = 1;
    g_calibration.lowAlertShown = 1;
    g_calibration.remainingSeconds = 77;
    LoadState();
    EXPECT_EQ(g_calibration.countdownStarted, 0);
    EXPECT_EQ(g_calibration.lowAlertShown, 0);
    EXPECT_EQ(g_calibration.remainingSeconds, 77) << "a missing file touches only the two flags";
    EXPECT_FALSE(FileExists(kStateFileName)) << "loading never creates the file";

    g_calibration = CalibrationState{};
    SaveState();
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 0, 0, 0));
}

TEST_F(StateFileTest, FieldsArePackedLittleEndianInFileOrder) {
    g_calibration.countdownStarted = 1;
    g_calibration.remainingSeconds = 0x0E0F;
    g_calibration.calibrationActive = 1;
    g_calibration.noticeSuppressed = 1;
    SaveState();
    EXPECT_EQ(ReadFileBytes(kStateFileName), (Bytes{0x01, 0x0F, 0x0E, 0x00, 0x00, 0x01, 0x01}));

    g_calibration = CalibrationState{};
    LoadState();
    EXPECT_EQ(g_calibration.countdownStarted, 1);
    EXPECT_EQ(g_calibration.remainingSeconds, 0x0E0F);
    EXPECT_EQ(g_calibration.calibrationActive, 1);
    EXPECT_EQ(g_calibration.noticeSuppressed, 1);
}

TEST_F(StateFileTest, StartCountdownAndResetWriteTheirFieldsAndKeepTheReserve) {
    g_calibration.calibrationActive = 1;
    g_calibration.remainingSeconds = 45;
    StartCountdown();
    Bytes started = ReadFileBytes(kStateFileName);
    EXPECT_EQ(Bytes(started.begin(), started.begin() + 5), (Bytes{0x01, 0x10, 0x0E, 0x00, 0x00}));

    g_calibration.remainingSeconds = 300;
    g_calibration.lowAlertShown = 1;
    g_calibration.noticeSuppressed = 1;
    g_calibration.noticeShownThisDischarge = 1;
    ResetCalibration();
    EXPECT_EQ(g_calibration.remainingSeconds, 300) << "the stale reserve is kept";
    EXPECT_EQ(g_calibration.lowAlertShown, 0);
    EXPECT_EQ(g_calibration.noticeShownThisDischarge, 1);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 300, 0, 1));

    StartCountdown();
    EXPECT_EQ(g_calibration.remainingSeconds, 3600);
}

// Every length from empty to well past seven bytes: a field is loaded only
// when the file covers it whole, and only the first seven bytes count.
TEST_F(StateFileTest, EveryFileLengthLoadsOnlyTheFieldsItCoversWhole) {
    const Bytes content = {0x01, 0x2C, 0x01, 0x00, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF,
                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (std::size_t length = 0; length <= content.size(); ++length) {
        SCOPED_TRACE("file of " + std::to_string(length) + " bytes");
        WriteFileBytes(kStateFileName, Bytes(content.begin(), content.begin() + length));
        FillWithSentinels();
        LoadState();
        EXPECT_EQ(g_calibration.countdownStarted, length >= 1 ? 0x01 : 0xA1);
        EXPECT_EQ(g_calibration.remainingSeconds, length >= 5 ? 300 : 1234);
        EXPECT_EQ(g_calibration.calibrationActive, length >= 6 ? 0x01 : 0xA2);
        EXPECT_EQ(g_calibration.noticeSuppressed, length >= 7 ? 0x01 : 0xA3);
        EXPECT_EQ(g_calibration.lowAlertShown, 1) << "an opened file leaves the alert latch";

        SaveState();
        EXPECT_EQ(ReadFileBytes(kStateFileName).size(), 7u) << "a save writes exactly seven bytes";
    }
}

// Any nonzero byte sets a flag, and the same byte goes back into the file
// until the program itself assigns the flag.
TEST_F(StateFileTest, EveryFlagByteIsKeptAndWrittenBackUnchanged) {
    for (int offset : {0, 5, 6}) {
        for (int value = 0; value < 256; ++value) {
            Bytes file = StateFileBytes(0, 100, 0, 0);
            file[offset] = static_cast<unsigned char>(value);
            WriteFileBytes(kStateFileName, file);
            g_calibration = CalibrationState{};
            LoadState();
            SaveState();
            ASSERT_EQ(ReadFileBytes(kStateFileName), file) << "byte " << offset << " = " << value;
        }
    }
}

TEST_F(StateFileTest, ANonzeroFlagByteCountsAsSet) {
    WriteFileBytes(kStateFileName, StateFileBytes(0, 0, 0x80, 0));
    LoadState();
    host.TickOn(0, 50);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 0)
        << "calibration loaded as active, so unplugging at 50% offers no notice";
    EXPECT_NE(std::string(g_calibration.statusText).find("Calibration: Active"), std::string::npos);
}

TEST_F(StateFileTest, ADamagedReserveIsClampedIntoOneHour) {
    struct Case {
        std::int32_t stored;
        std::int32_t loaded;
    } cases[] = {{INT_MIN, 0}, {-5, 0}, {-1, 0},          {0, 0},
                 {1, 1},       {3600, 3600}, {3601, 3600}, {INT_MAX, 3600}};
    for (const Case& c : cases) {
        WriteFileBytes(kStateFileName, StateFileBytes(1, c.stored, 1, 0));
        LoadState();
        EXPECT_EQ(g_calibration.remainingSeconds, c.loaded) << "stored " << c.stored;
    }
}

TEST_F(StateFileTest, ALongerFileIsCutToSevenBytesByTheNextSave) {
    WriteFileBytes(kStateFileName, {0x00, 0x05, 0x00, 0x00, 0x00, 0x01, 0x00, 0x42, 0x42});
    LoadState();
    EXPECT_EQ(g_calibration.remainingSeconds, 5);
    SaveState();
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 5, 1, 0));
}

TEST_F(StateFileTest, ALeftoverTemporaryFileIsIgnoredAndReplaced) {
    WriteFileBytes(kTemporaryName, {0x01, 0x01});
    WriteFileBytes(kStateFileName, StateFileBytes(0, 40, 1, 1));
    LoadState();
    EXPECT_EQ(g_calibration.remainingSeconds, 40);
    EXPECT_EQ(g_calibration.countdownStarted, 0);

    SaveState();
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 40, 1, 1));
    EXPECT_FALSE(FileExists(kTemporaryName)) << "the temporary file was moved into place";
}

// A save that cannot replace the file keeps the old file and the state in
// memory, and the next save that can, succeeds.
TEST_F(StateFileTest, AFailedSaveChangesNothingAndTheNextSaveRecovers) {
    WriteFileBytes(kStateFileName, StateFileBytes(0, 10, 0, 1));
    // A folder in the temporary file's place makes every save fail.
    ASSERT_TRUE(MakeFolder(kTemporaryName));
    g_calibration.remainingSeconds = 20;
    g_calibration.calibrationActive = 1;
    SaveState();
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 10, 0, 1)) << "the old file survives";
    EXPECT_EQ(g_calibration.remainingSeconds, 20);
    EXPECT_EQ(g_calibration.calibrationActive, 1);

    ASSERT_TRUE(RemoveFolder(kTemporaryName));
    SaveState();
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 20, 1, 0));
}

}  // namespace
