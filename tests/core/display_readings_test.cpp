// The tray level, the headline and the bar graph computed from the state.
#include "display_readings.h"
#include "recording_host.h"

#include <string>

namespace {

struct Readings {
    int calibrationActive;
    int countdownStarted;
    int displayedRemaining;
    int systemPercent;
};

void Apply(const Readings& r) {
    g_calibration = CalibrationState{};
    g_calibration.calibrationActive = static_cast<std::uint8_t>(r.calibrationActive);
    g_calibration.countdownStarted = static_cast<std::uint8_t>(r.countdownStarted);
    g_calibration.displayedRemaining = r.displayedRemaining;
    g_calibration.systemPercent = r.systemPercent;
}

std::string Describe(const Readings& r) {
    return "active=" + std::to_string(r.calibrationActive) + " countdown=" +
           std::to_string(r.countdownStarted) + " remaining=" + std::to_string(r.displayedRemaining) +
           " system=" + std::to_string(r.systemPercent);
}

using DisplayReadingsTest = CalibrationTest;

TEST_F(DisplayReadingsTest, TrayPercentAndLevel) {
    struct Case {
        Readings state;
        int ac;
        int percent;
        int expected;
        TrayLevel level;
    } cases[] = {
        // On external power, whatever the calibration does.
        {{0, 0, 0, 0}, 1, 80, -1, TrayLevel::External},
        {{1, 1, 900, 1}, 1, 1, -1, TrayLevel::External},
        // Inactive: the system's figure, with 1% counted as empty.
        {{0, 0, 0, 0}, 0, 0, 0, TrayLevel::Empty},
        {{0, 0, 0, 0}, 0, 1, 0, TrayLevel::Empty},
        {{0, 0, 0, 0}, 0, 2, 2, TrayLevel::Low},
        {{0, 0, 0, 0}, 0, 19, 19, TrayLevel::Low},
        {{0, 0, 0, 0}, 0, 20, 20, TrayLevel::Low},
        {{0, 0, 0, 0}, 0, 21, 21, TrayLevel::Medium},
        {{0, 0, 0, 0}, 0, 49, 49, TrayLevel::Medium},
        {{0, 0, 0, 0}, 0, 50, 50, TrayLevel::Medium},
        {{0, 0, 0, 0}, 0, 51, 51, TrayLevel::Full},
        {{0, 0, 0, 0}, 0, 255, 255, TrayLevel::Full},
        {{0, 0, 0, 0}, 255, 40, 40, TrayLevel::Medium},
        // Active before the countdown: the reserve is the full lower half.
        {{1, 0, 0, 0}, 0, 0, 50, TrayLevel::Medium},
        {{1, 0, 0, 0}, 0, 1, 50, TrayLevel::Medium},
        {{1, 0, 0, 0}, 0, 2, 51, TrayLevel::Full},
        {{1, 0, 0, 0}, 0, 100, 100, TrayLevel::Full},
        {{1, 0, 0, 0}, 0, 255, 177, TrayLevel::Full},
        // During the countdown.
        {{1, 1, 3595, 1}, 0, 1, 49, TrayLevel::Medium},
        {{1, 1, 900, 1}, 0, 1, 12, TrayLevel::Low},
        {{1, 1, 600, 1}, 0, 1, 8, TrayLevel::Low},
        {{1, 1, 60, 1}, 0, 1, 0, TrayLevel::Empty},
        {{1, 1, 0, 40}, 0, 40, 20, TrayLevel::Low},
    };
    for (const Case& c : cases) {
        Apply(c.state);
        PowerSample sample = {static_cast<std::uint8_t>(c.ac), static_cast<std::uint8_t>(c.percent)};
        int percent = TrayCalibratedPercent(sample);
        EXPECT_EQ(percent, c.expected) << Describe(c.state) << " ac=" << c.ac << " percent=" << c.percent;
        EXPECT_EQ(TrayLevelFor(percent), c.level) << "p=" << percent;
    }
}

TEST_F(DisplayReadingsTest, TrayLevelBoundaries) {
    EXPECT_EQ(TrayLevelFor(-1), TrayLevel::External);
    EXPECT_EQ(TrayLevelFor(0), TrayLevel::Empty);
    EXPECT_EQ(TrayLevelFor(1), TrayLevel::Low);
    EXPECT_EQ(TrayLevelFor(-2), TrayLevel::Low) << "no other negative figure is external";
    EXPECT_EQ(TrayLevelFor(1000), TrayLevel::Full);
}

TEST_F(DisplayReadingsTest, Headline) {
    struct Case {
        Readings state;
        const char* text;
    } cases[] = {
        {{0, 0, 0, 80}, "Calibrated Battery: 0%\nTime Remaining: 00:00"},
        {{0, 1, 900, 1}, "Calibrated Battery: 0%\nTime Remaining: 00:00"},
        {{1, 0, 0, 100}, "Calibrated Battery: 100%\nTime Remaining: 02:00"},
        {{1, 0, 0, 37}, "Calibrated Battery: 68%\nTime Remaining: 01:22"},
        {{1, 0, 0, 1}, "Calibrated Battery: 50%\nTime Remaining: 01:00"},
        {{1, 0, 0, 0}, "Calibrated Battery: 50%\nTime Remaining: 01:00"},
        {{1, 0, 0, 2}, "Calibrated Battery: 51%\nTime Remaining: 01:01"},
        {{1, 1, 900, 1}, "Calibrated Battery: 12%\nTime Remaining: 00:15"},
        {{1, 1, 3595, 1}, "Calibrated Battery: 49%\nTime Remaining: 00:59"},
        {{1, 1, 60, 1}, "Calibrated Battery: 0%\nTime Remaining: 00:01"},
        // The countdown did not run in the last tick: no reserve, the system's share of time.
        {{1, 1, 0, 40}, "Calibrated Battery: 20%\nTime Remaining: 01:24"},
        // No figure from the system: not clamped.
        {{1, 0, 0, 255}, "Calibrated Battery: 177%\nTime Remaining: 03:33"},
    };
    for (const Case& c : cases) {
        Apply(c.state);
        EXPECT_EQ(std::string(FormatHeadline().text), c.text) << Describe(c.state);
    }
}

TEST_F(DisplayReadingsTest, BarSegments) {
    struct Case {
        Readings state;
        int barWidth;
        int half, reserve, system;
    } cases[] = {
        {{0, 0, 0, 50}, 220, 110, 110, 55},
        {{1, 1, 900, 50}, 220, 110, 27, 55},
        {{1, 1, 0, 1}, 220, 110, 0, 1},
        {{1, 1, 3595, 2}, 220, 110, 109, 2},
        {{0, 0, 0, 255}, 220, 110, 110, 280},
        {{1, 0, 0, 100}, 221, 110, 110, 110},
        {{1, 0, 0, 100}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Apply(c.state);
        BarSegmentWidths bar = BarSegments(c.barWidth);
        SCOPED_TRACE(Describe(c.state) + " width=" + std::to_string(c.barWidth));
        EXPECT_EQ(bar.half, c.half);
        EXPECT_EQ(bar.reserveWidth, c.reserve);
        EXPECT_EQ(bar.systemOffset, c.half);
        EXPECT_EQ(bar.systemWidth, c.system);
    }
}

}  // namespace
