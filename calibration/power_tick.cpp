#include "power_tick.h"

#include "calibration_state.h"
#include "format_text.h"

namespace {

constexpr int kCountdownStepSeconds = 5;
constexpr int kLowAlertSeconds = 600;
constexpr int kLastMinuteSeconds = 60;

// An unplug above this figure is a full charge and engages calibration.
constexpr int kFullChargePercent = 90;

void ApplyForcedUnplug(int ac, int percent) {
    CalibrationState& s = g_calibration;
    if (ac != 0 || s.previousOnExternal) return;
    if (percent >= kFullChargePercent) {
        // Still at a full charge without calibration: handle this tick as the unplug.
        if (!s.calibrationActive) s.previousOnExternal = 1;
    } else if (percent > 1 && s.calibrationActive && s.countdownStarted) {
        // The figure came back up during the countdown: it can no longer be trusted.
        ResetCalibration();
        s.previousOnExternal = 1;
    }
}

void ApplyTransition(const CalibrationHost& host, void* owner, int ac, int percent) {
    CalibrationState& s = g_calibration;
    if (s.previousOnExternal && ac == 0) {
        if (s.calibrationActive) return;
        if (percent > kFullChargePercent) {
            s.calibrationActive = 1;
            SaveState();
        } else if (!s.countdownStarted && !s.noticeShownThisDischarge) {
            // Latch before the modal call: ticks keep running inside the notice.
            s.noticeShownThisDischarge = 1;
            host.ShowCalibrationNotice(owner);
            ResetCalibration();
        }
    } else if (!s.previousOnExternal && ac == 1) {
        if (!s.calibrationActive || percent <= 1) {
            ResetCalibration();
            s.noticeShownThisDischarge = 0;
        }
    }
}

void RunCountdown(const CalibrationHost& host, int ac, int percent) {
    CalibrationState& s = g_calibration;
    if (!s.calibrationActive || ac != 0 || percent > 1) {
        s.displayedRemaining = 0;
        return;
    }
    if (!s.countdownStarted) StartCountdown();
    s.remainingSeconds -= kCountdownStepSeconds;
    s.displayedRemaining = s.remainingSeconds;
    SaveState();
    if (s.displayedRemaining <= kLastMinuteSeconds) {
        s.displayedRemaining = kLastMinuteSeconds;
        ResetCalibration();
    }
    if (s.displayedRemaining <= kLowAlertSeconds && !s.lowAlertShown) {
        // Latch before the modal call: ticks keep running inside the warning box.
        s.lowAlertShown = 1;
        host.RaiseLowBatteryAlert();
    }
}

void WriteStatusText(int ac, int percent) {
    CalibrationState& s = g_calibration;
    const char* source = ac == 1 ? "External" : "Battery";
    const char* calibration = ac != 1 && s.calibrationActive ? "Active" : "Inactive";
    FormatText(s.statusText, sizeof s.statusText,
               "\nPower Source: %s\nCalibration: %s\nSystem Battery: %d%%", source, calibration,
               percent);
}

}  // namespace

void PowerTick(const CalibrationHost& host, void* owner) {
    CalibrationState& s = g_calibration;
    PowerSample sample = {};
    if (!host.ReadPowerStatus(&sample)) {
        FormatText(s.statusText, sizeof s.statusText, "%s", kPowerReadFailedText);
        return;
    }
    int ac = sample.ACLineStatus;
    int percent = sample.BatteryLifePercent;

    s.systemPercent = percent;
    ApplyForcedUnplug(ac, percent);
    ApplyTransition(host, owner, ac, percent);
    s.previousOnExternal = ac == 1 ? 1 : 0;
    RunCountdown(host, ac, percent);
    WriteStatusText(ac, percent);
    host.UpdateTrayIcon();
}
