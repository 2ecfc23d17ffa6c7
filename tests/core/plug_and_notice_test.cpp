// Unplugging and plugging in: when calibration engages, when the notice is
// offered, when calibration is dropped, and the readings the system cannot give.
#include "recording_host.h"

#include <string>

namespace {

std::string Status() { return g_calibration.statusText; }

using PlugAndNoticeTest = CalibrationTest;

TEST_F(PlugAndNoticeTest, UnpluggingAtStartUpEngagesOnlyAboveNinetyPercent) {
    struct Case {
        int percent;
        bool engages;
    } cases[] = {{100, true}, {91, true}, {255, true}, {90, false}, {89, false}, {1, false}, {0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("unplugged at " + std::to_string(c.percent));
        SetUp();
        RecordingHost fresh;
        fresh.TickOn(0, c.percent);
        EXPECT_EQ(g_calibration.calibrationActive, c.engages ? 1 : 0);
        EXPECT_EQ(fresh.Count(HostCall::ShowCalibrationNotice), c.engages ? 0 : 1);
        EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 0, c.engages ? 1 : 0, 0))
            << "either the engagement or the reset after the notice writes the file";
    }
}

TEST_F(PlugAndNoticeTest, TheNoticeIsOfferedOncePerDischargeWithItsLatchSet) {
    int owner = 0;
    host.OnBattery(90);
    host.Tick(&owner);
    ASSERT_EQ(host.Count(HostCall::ShowCalibrationNotice), 1);
    const RecordedCall& notice = host.Last(HostCall::ShowCalibrationNotice);
    EXPECT_EQ(notice.owner, &owner) << "the owner is passed through";
    EXPECT_EQ(notice.state.noticeShownThisDischarge, 1) << "latched before the modal call";
    EXPECT_TRUE(notice.file.empty()) << "nothing is saved before the notice";
    EXPECT_EQ(Status(), "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 90%");

    for (int percent = 89; percent >= 2; --percent) host.TickOn(0, percent);
    host.TickOn(1, 40);
    host.TickOn(0, 40);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 2) << "plugging in re-arms the notice";
}

// The core offers the notice even when the user silenced it: the shell's
// notice is what returns at once. The latch is set all the same.
TEST_F(PlugAndNoticeTest, ASuppressedNoticeIsStillOfferedToTheHostOnce) {
    WriteFileBytes(kStateFileName, StateFileBytes(0, 0, 0, 1));
    LoadState();
    host.TickOn(0, 60);
    host.TickOn(0, 59);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 1);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 0, 0, 1));
}

// Plugging in during the countdown ends calibration at 1% or less and re-arms
// the notice. Above 1% calibration stays engaged, the next unplug leaves it
// so, and on external power the text says Inactive all the same.
TEST_F(PlugAndNoticeTest, PluggingInDuringTheCountdownEndsCalibrationAtOnePercentOrLess) {
    struct Case {
        int percent;
        bool ends;
    } cases[] = {{0, true}, {1, true}, {2, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("plugged in at " + std::to_string(c.percent));
        SetUp();
        RecordingHost fresh;
        g_calibration.calibrationActive = 1;
        g_calibration.noticeShownThisDischarge = 1;
        fresh.TickOn(0, 1);
        fresh.TickOn(0, 1);
        fresh.TickOn(1, c.percent);
        EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(c.ends ? 0 : 1, 3590, c.ends ? 0 : 1, 0));
        EXPECT_EQ(Status(), "\nPower Source: External\nCalibration: Inactive\nSystem Battery: " +
                                std::to_string(c.percent) + "%");
        fresh.TickOn(0, 50);
        EXPECT_EQ(g_calibration.calibrationActive, c.ends ? 0 : 1);
        EXPECT_EQ(fresh.Count(HostCall::ShowCalibrationNotice), c.ends ? 1 : 0);
    }
}

// Once the countdown has begun, a figure back in 2...89% on battery cannot be
// trusted: calibration is dropped and the tick is handled as an unplug. At
// 90% or more the countdown only pauses, and it goes on from where it stopped
// when the figure is back at 1%.
TEST_F(PlugAndNoticeTest, AFigureThatComesBackDuringTheCountdown) {
    struct Case {
        int percent;
        bool drops;
        int displayed;
        std::int32_t remainingBackAtOne;
    } cases[] = {{0, false, 3590, 3585}, {1, false, 3590, 3585}, {2, true, 0, 3595},
                 {89, true, 0, 3595},    {90, false, 0, 3590},   {91, false, 0, 3590}};
    for (const Case& c : cases) {
        SCOPED_TRACE("back at " + std::to_string(c.percent));
        SetUp();
        RecordingHost fresh;
        fresh.TickOn(0, 95);
        fresh.TickOn(0, 1);
        fresh.TickOn(0, c.percent);
        EXPECT_EQ(g_calibration.calibrationActive, c.drops ? 0 : 1);
        EXPECT_EQ(g_calibration.displayedRemaining, c.displayed);
        EXPECT_EQ(fresh.Count(HostCall::ShowCalibrationNotice), c.drops ? 1 : 0);
        fresh.TickOn(0, 1);
        EXPECT_EQ(ReadFileBytes(kStateFileName),
                  StateFileBytes(c.drops ? 0 : 1, c.remainingBackAtOne, c.drops ? 0 : 1, 0));
    }
}

// On battery at a full figure after a tick that was not on external power
// (an unknown line status, or a discharge refused earlier), the tick is
// handled as the moment of unplugging.
TEST_F(PlugAndNoticeTest, AFullFigureOnBatteryAfterABatteryTickIsAnUnplug) {
    struct Case {
        int percent;
        bool engages;
        int notices;
    } cases[] = {{91, true, 0}, {90, false, 1}, {89, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("on battery at " + std::to_string(c.percent));
        SetUp();
        RecordingHost fresh;
        fresh.TickOn(255, c.percent);
        fresh.TickOn(0, c.percent);
        EXPECT_EQ(g_calibration.calibrationActive, c.engages ? 1 : 0);
        EXPECT_EQ(fresh.Count(HostCall::ShowCalibrationNotice), c.notices);
    }

    SetUp();
    RecordingHost refused;
    refused.TickOn(0, 60);
    refused.TickOn(0, 91);
    EXPECT_EQ(g_calibration.calibrationActive, 1);
    EXPECT_EQ(refused.Count(HostCall::ShowCalibrationNotice), 1);
}

TEST_F(PlugAndNoticeTest, AnUnknownLineStatusIsNeitherBatteryNorExternal) {
    host.TickOn(255, 1);
    EXPECT_EQ(g_calibration.previousOnExternal, 0);
    EXPECT_EQ(g_calibration.calibrationActive, 0);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 0);
    EXPECT_FALSE(FileExists(kStateFileName));
    EXPECT_EQ(Status(), "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 1%");

    // Engaged calibration at 1% with an unknown line status runs no countdown.
    g_calibration.calibrationActive = 1;
    host.TickOn(255, 1);
    EXPECT_EQ(g_calibration.countdownStarted, 0);
    EXPECT_EQ(g_calibration.displayedRemaining, 0);
    EXPECT_EQ(Status(), "\nPower Source: Battery\nCalibration: Active\nSystem Battery: 1%");
}

TEST_F(PlugAndNoticeTest, StartingOnExternalPowerChangesNoCalibrationField) {
    WriteFileBytes(kStateFileName, StateFileBytes(0, 900, 1, 1));
    LoadState();
    host.TickOn(1, 100);
    EXPECT_EQ(g_calibration.previousOnExternal, 1);
    EXPECT_EQ(g_calibration.calibrationActive, 1);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 900, 1, 1));
}

}  // namespace
