// A whole discharge from a full charge: engage, drain to 1%, the hour of
// reserve, both alerts, the end of calibration and the ticks after it.
#include "recording_host.h"

#include <string>

namespace {

std::string Status() { return g_calibration.statusText; }

using DischargeTest = CalibrationTest;

TEST_F(DischargeTest, FromFullChargeToTheEndOfTheReserve) {
    int owner = 0;

    // On external power at start-up nothing about calibration changes.
    host.OnExternal(100);
    host.Tick(&owner);
    EXPECT_EQ(g_calibration.previousOnExternal, 1);
    EXPECT_EQ(g_calibration.calibrationActive, 0);
    EXPECT_FALSE(FileExists(kStateFileName));
    EXPECT_EQ(Status(), "\nPower Source: External\nCalibration: Inactive\nSystem Battery: 100%");
    EXPECT_EQ(host.Calls(), std::vector<HostCall>{HostCall::UpdateTrayIcon});

    // Unplugged at 95%: calibration engages and is saved before the tray update.
    host.ClearCalls();
    host.OnBattery(95);
    host.Tick(&owner);
    EXPECT_EQ(host.Calls(), std::vector<HostCall>{HostCall::UpdateTrayIcon});
    EXPECT_EQ(host.Last(HostCall::UpdateTrayIcon).file, StateFileBytes(0, 0, 1, 0));
    EXPECT_EQ(Status(), "\nPower Source: Battery\nCalibration: Active\nSystem Battery: 95%");

    // Draining to 2% only refreshes the text and the icon.
    host.ClearCalls();
    for (int percent = 94; percent >= 2; --percent) host.TickOn(0, percent);
    EXPECT_EQ(host.Count(HostCall::UpdateTrayIcon), 93);
    EXPECT_EQ(host.Calls().size(), 93u);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 0, 1, 0));
    EXPECT_EQ(g_calibration.systemPercent, 2);
    EXPECT_EQ(g_calibration.displayedRemaining, 0);

    // At 1% the countdown starts and takes its first step in the same tick.
    host.TickOn(0, 1);
    EXPECT_EQ(g_calibration.remainingSeconds, 3595);
    EXPECT_EQ(g_calibration.displayedRemaining, 3595);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(1, 3595, 1, 0));
    EXPECT_EQ(Status(), "\nPower Source: Battery\nCalibration: Active\nSystem Battery: 1%");

    // Steps 2 to 599: no alert yet, and every step is on disk.
    for (int step = 2; step <= 599; ++step) host.TickOn(0, step % 2);
    EXPECT_EQ(host.Count(HostCall::RaiseLowBatteryAlert), 0);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(1, 605, 1, 0));

    // Step 600 reaches ten minutes: the alert, with its latch already set and the step saved.
    host.TickOn(0, 1);
    ASSERT_EQ(host.Count(HostCall::RaiseLowBatteryAlert), 1);
    const RecordedCall& first = host.Last(HostCall::RaiseLowBatteryAlert);
    EXPECT_EQ(first.state.lowAlertShown, 1);
    EXPECT_EQ(first.state.displayedRemaining, 600);
    EXPECT_EQ(first.file, StateFileBytes(1, 600, 1, 0));

    for (int step = 601; step <= 707; ++step) host.TickOn(0, 0);
    EXPECT_EQ(host.Count(HostCall::RaiseLowBatteryAlert), 1);
    EXPECT_EQ(g_calibration.displayedRemaining, 65);

    // Step 708 reaches the last minute: calibration ends and the alert comes again.
    host.TickOn(0, 1);
    ASSERT_EQ(host.Count(HostCall::RaiseLowBatteryAlert), 2);
    const RecordedCall& second = host.Last(HostCall::RaiseLowBatteryAlert);
    EXPECT_EQ(second.state.calibrationActive, 0);
    EXPECT_EQ(second.state.displayedRemaining, 60);
    EXPECT_EQ(second.file, StateFileBytes(0, 60, 0, 0));
    EXPECT_EQ(g_calibration.displayedRemaining, 60);
    EXPECT_EQ(Status(), "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 1%");

    // Afterwards calibration stays off, nothing more is saved or raised.
    host.ClearCalls();
    for (int i = 0; i < 20; ++i) host.TickOn(0, 1);
    EXPECT_EQ(host.Count(HostCall::RaiseLowBatteryAlert), 0);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 0);
    EXPECT_EQ(g_calibration.displayedRemaining, 0);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 60, 0, 0));
    EXPECT_EQ(host.Count(HostCall::UpdateTrayIcon), 20);
}

TEST_F(DischargeTest, EveryCountdownStepIsSavedBeforeTheTrayUpdate) {
    g_calibration.calibrationActive = 1;
    host.TickOn(0, 1);
    for (int step = 2; step <= 10; ++step) {
        host.TickOn(0, 1);
        EXPECT_EQ(host.Last(HostCall::UpdateTrayIcon).file, StateFileBytes(1, 3600 - 5 * step, 1, 0));
    }
}

// The countdown resumes from the file after a restart; the alert latch is not
// kept, so a restart at ten minutes or less raises the alert again at once. A
// first step to the last minute or below ends calibration, and the display
// stays at that minute.
TEST_F(DischargeTest, ARestartContinuesTheCountdownFromTheFile) {
    struct Case {
        std::int32_t saved;
        std::int32_t afterFirstStep;
        int alerts;
        bool ends;
    } cases[] = {{1800, 1795, 0, false}, {610, 605, 0, false}, {605, 600, 1, false}, {600, 595, 1, false},
                 {70, 65, 1, false},     {65, 60, 1, true},     {60, 55, 1, true},     {0, -5, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE("saved " + std::to_string(c.saved));
        g_calibration = CalibrationState{};
        RecordingHost restarted;
        WriteFileBytes(kStateFileName, StateFileBytes(1, c.saved, 1, 0));
        LoadState();
        restarted.TickOn(0, 1);
        EXPECT_EQ(g_calibration.remainingSeconds, c.afterFirstStep);
        EXPECT_EQ(g_calibration.displayedRemaining, c.ends ? 60 : c.afterFirstStep);
        EXPECT_EQ(restarted.Count(HostCall::RaiseLowBatteryAlert), c.alerts);
        EXPECT_EQ(restarted.Count(HostCall::ShowCalibrationNotice), 0);
        EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(c.ends ? 0 : 1, c.afterFirstStep, c.ends ? 0 : 1, 0));
    }
}

TEST_F(DischargeTest, AFailedReadChangesOnlyTheStatusText) {
    g_calibration.calibrationActive = 1;
    host.TickOn(0, 1);
    host.TickOn(0, 1);
    CalibrationState before = g_calibration;
    Bytes fileBefore = ReadFileBytes(kStateFileName);
    host.ClearCalls();

    host.QueueFailedRead();
    host.Tick();
    EXPECT_EQ(Status(), "Unable to retrieve System Battery Status.");
    EXPECT_TRUE(host.Calls().empty()) << "no tray update, no notice, no alert";
    EXPECT_EQ(ReadFileBytes(kStateFileName), fileBefore);
    EXPECT_EQ(DescribeFields(g_calibration), DescribeFields(before)) << "only the text may differ";

    // The next good reading carries on as if nothing had happened.
    host.TickOn(0, 1);
    EXPECT_EQ(g_calibration.remainingSeconds, 3585);
}

}  // namespace
