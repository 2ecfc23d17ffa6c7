// Ticks that run inside the notice or the warning box, as the modal loops of
// the real ones keep dispatching timer messages.
#include "recording_host.h"

#include <string>

namespace {

using NestedTicksTest = CalibrationTest;

TEST_F(NestedTicksTest, TicksInsideTheNoticeDoNotOfferItAgain) {
    host.onNotice = [this] {
        host.onNotice = nullptr;
        host.TickOn(0, 60);
        host.TickOn(0, 59);
    };
    host.TickOn(0, 60);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 1);
    EXPECT_EQ(host.Count(HostCall::UpdateTrayIcon), 3);
}

// Plugged in and unplugged again at 90% or less while the first notice is
// open: the nested plug-in clears the latch, so a second notice opens over
// the first. The outer tick then finishes with its own reading.
TEST_F(NestedTicksTest, ReplugInsideTheNoticeOpensASecondNotice) {
    int nestedNotices = 0;
    host.onNotice = [&] {
        if (nestedNotices++ > 0) return;
        host.TickOn(0, 55);
        host.TickOn(1, 55);
        host.TickOn(0, 54);
    };
    host.TickOn(0, 56);
    EXPECT_EQ(host.Count(HostCall::ShowCalibrationNotice), 2);
    EXPECT_EQ(host.Calls(),
              (std::vector<HostCall>{HostCall::ShowCalibrationNotice, HostCall::UpdateTrayIcon,
                                     HostCall::UpdateTrayIcon, HostCall::ShowCalibrationNotice,
                                     HostCall::UpdateTrayIcon, HostCall::UpdateTrayIcon}));
    EXPECT_EQ(g_calibration.systemPercent, 54) << "the outer tick does not read the power status again";
    EXPECT_EQ(std::string(g_calibration.statusText),
              "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 56%");
    EXPECT_EQ(g_calibration.noticeShownThisDischarge, 1);
    EXPECT_EQ(g_calibration.previousOnExternal, 0);
}

TEST_F(NestedTicksTest, TheCountdownRunsOnWhileTheWarningBoxIsOpen) {
    WriteFileBytes(kStateFileName, StateFileBytes(1, 605, 1, 0));
    LoadState();
    int alerts = 0;
    host.onAlert = [&] {
        if (alerts++ > 0) return;
        for (int i = 0; i < 10; ++i) host.TickOn(0, 1);
    };
    host.TickOn(0, 1);
    EXPECT_EQ(alerts, 1) << "the latch keeps nested ticks from raising the alert again";
    EXPECT_EQ(g_calibration.remainingSeconds, 550);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(1, 550, 1, 0));
    EXPECT_EQ(g_calibration.displayedRemaining, 550)
        << "the outer tick had already done its countdown step";
}

// The first warning box left open until the last minute: the nested tick
// that reaches 60 resets, which clears the latch, and a second box opens over
// the first. Back outside, the outer tick's text sees calibration inactive.
TEST_F(NestedTicksTest, TheLastMinuteAlertOpensOverAnOpenWarningBox) {
    WriteFileBytes(kStateFileName, StateFileBytes(1, 605, 1, 0));
    LoadState();
    int depth = 0;
    std::vector<std::int32_t> alertedAt;
    host.onAlert = [&] {
        alertedAt.push_back(g_calibration.displayedRemaining);
        if (depth++ > 0) return;
        for (int step = 1; step <= 108; ++step) host.TickOn(0, 1);
    };
    host.TickOn(0, 1);
    EXPECT_EQ(alertedAt, (std::vector<std::int32_t>{600, 60}));
    EXPECT_EQ(g_calibration.calibrationActive, 0);
    EXPECT_EQ(ReadFileBytes(kStateFileName), StateFileBytes(0, 60, 0, 0));
    EXPECT_EQ(std::string(g_calibration.statusText),
              "\nPower Source: Battery\nCalibration: Inactive\nSystem Battery: 1%");
    EXPECT_EQ(host.Calls().back(), HostCall::UpdateTrayIcon);
    EXPECT_EQ(host.Count(HostCall::UpdateTrayIcon), 109);
}

}  // namespace
