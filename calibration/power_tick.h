// The five-second evaluation that moves the calibration through its states.
#pragma once

#include <cstdint>

// The two fields of the platform's power status that the monitor uses.
struct PowerSample {
    std::uint8_t ACLineStatus;        // 0 on battery, 1 on external power, 255 unknown
    std::uint8_t BatteryLifePercent;  // 0...100, 255 unknown
};

// What the tick asks of its host; the shell fills it with the real operations,
// the tests with recording ones. All are called synchronously on the UI thread.
struct CalibrationHost {
    bool (*ReadPowerStatus)(PowerSample* sample);
    void (*UpdateTrayIcon)();
    void (*ShowCalibrationNotice)(void* owner);  // modal: returns when the notice is closed
    void (*RaiseLowBatteryAlert)();              // modal: returns when the warning box is closed
};

constexpr char kPowerReadFailedText[] = "Unable to retrieve System Battery Status.";

// One tick. The owner is an opaque window handle passed through to the notice.
void PowerTick(const CalibrationHost& host, void* owner);
