#include "display_readings.h"

#include "calibration_state.h"
#include "format_text.h"

namespace {

// The system's 100%...1% is the upper half of the charge and the reserve
// countdown the lower half; before the countdown the lower half is full.
int CalibratedPercent(int systemPercent) {
    const CalibrationState& s = g_calibration;
    int upper = systemPercent > 1 ? systemPercent / 2 : 0;
    int lower = s.countdownStarted ? s.displayedRemaining * 100 / kReserveSeconds / 2 : 50;
    return upper + lower;
}

}  // namespace

int TrayCalibratedPercent(const PowerSample& sample) {
    int percent = sample.BatteryLifePercent;
    if (sample.ACLineStatus == 1) return -1;
    if (!g_calibration.calibrationActive) return percent == 1 ? 0 : percent;
    return CalibratedPercent(percent);
}

TrayLevel TrayLevelFor(int percent) {
    if (percent == -1) return TrayLevel::External;
    if (percent == 0) return TrayLevel::Empty;
    if (percent > 50) return TrayLevel::Full;
    if (percent > 20) return TrayLevel::Medium;
    return TrayLevel::Low;
}

HeadlineText FormatHeadline() {
    const CalibrationState& s = g_calibration;
    int percent = 0, hours = 0, minutes = 0;
    if (s.calibrationActive) {
        // Before the countdown the time left is the reserve hour plus the system's share of the first.
        int shownSeconds = s.displayedRemaining != 0
                               ? s.displayedRemaining
                               : kReserveSeconds + kReserveSeconds * s.systemPercent / 100;
        percent = CalibratedPercent(s.systemPercent);
        hours = shownSeconds / 3600;
        minutes = shownSeconds % 3600 / 60;
    }
    HeadlineText headline;
    FormatText(headline.text, sizeof headline.text,
               "Calibrated Battery: %d%%\nTime Remaining: %02d:%02d", percent, hours, minutes);
    return headline;
}

BarSegmentWidths BarSegments(int barWidth) {
    const CalibrationState& s = g_calibration;
    BarSegmentWidths bar;
    bar.half = barWidth / 2;
    bar.reserveWidth = s.countdownStarted ? bar.half * s.displayedRemaining / kReserveSeconds : bar.half;
    bar.systemOffset = bar.half;
    bar.systemWidth = bar.half * s.systemPercent / 100;
    return bar;
}
