#include "discharge_chart.h"

#include "calibration_state.h"
#include "display_readings.h"
#include "format_text.h"
#include "power_tick.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTickSeconds = 5;
// The system's figure falls evenly from 100% to 1% over its hour, then stays.
constexpr int kSystemHourSeconds = 3600;
// Where the story stops if the countdown never starts, rather than tick forever.
constexpr int kLongestStorySeconds = kSystemHourSeconds + 2 * kReserveSeconds;

PowerSample g_reading;
bool g_wasActive;                   // calibration was engaged when the tick began
std::vector<const char*> g_events;  // what the running tick did, in order

bool Read(PowerSample* sample) {
    *sample = g_reading;
    return true;
}
void NoTray() {}
// Unplugged at a full charge, calibration engages: the notice never comes.
void NoNotice(void*) {}

// The tick that reaches the last minute ends calibration before it raises the
// alert, and the rows keep that order.
void NoteCalibrationEnd() {
    if (g_wasActive && !g_calibration.calibrationActive) {
        g_events.push_back("calibration ended");
        g_wasActive = false;
    }
}

void Alert() {
    NoteCalibrationEnd();
    g_events.push_back("alert");
}

const CalibrationHost kHost = {&Read, &NoTray, &NoNotice, &Alert};

void Tick(int ac, int percent) {
    g_reading = {static_cast<std::uint8_t>(ac), static_cast<std::uint8_t>(percent)};
    g_wasActive = g_calibration.calibrationActive != 0;
    g_events.clear();
    PowerTick(kHost, nullptr);
    NoteCalibrationEnd();
}

// The headline's figure: the number the user reads in the status window. The
// tray's own figure only chooses one of five icons; the two agree while
// calibration runs, and both read 0 once it has ended at 1%.
int ShownCalibratedPercent() {
    int percent = -1;
    std::sscanf(FormatHeadline().text, "Calibrated Battery: %d%%", &percent);
    return percent;
}

void AddRow(std::string& csv, int seconds, int system, int calibrated, const char* event) {
    // Minutes to three places, rounded: a tick is a twelfth of a minute.
    char row[96];
    FormatText(row, sizeof row, "%d.%03d,%d,%d,%s\n", seconds / 60, (seconds % 60 * 1000 + 30) / 60,
               system, calibrated, event);
    csv += row;
}

}  // namespace

std::string DischargeChartCsv() {
    g_calibration = CalibrationState{};
    std::string csv = std::string(kDischargeChartHeader) + "\n";

    Tick(1, 100);  // on external power, fully charged, before the unplug
    int reserveEnd = -1;  // seconds from unplugging, known once the countdown starts
    int lastSystem = -1, lastCalibrated = -1;
    for (int seconds = 0; seconds <= (reserveEnd < 0 ? kLongestStorySeconds : reserveEnd);
         seconds += kTickSeconds) {
        int system = std::max(1, 100 - 99 * seconds / kSystemHourSeconds);
        Tick(0, system);
        if (seconds == 0) g_events.insert(g_events.begin(), "unplugged");
        if (reserveEnd < 0 && g_calibration.countdownStarted) {
            // The first step counts the five seconds before its tick, so the
            // reserve's hour began one tick earlier.
            reserveEnd = seconds - kTickSeconds + kReserveSeconds;
        }
        int calibrated = ShownCalibratedPercent();
        bool changed = system != lastSystem || calibrated != lastCalibrated;
        if (g_events.empty() && (changed || seconds == reserveEnd)) {
            AddRow(csv, seconds, system, calibrated, "");
        }
        for (const char* event : g_events) AddRow(csv, seconds, system, calibrated, event);
        lastSystem = system;
        lastCalibrated = calibrated;
    }

    std::remove(kStateFileName);
    return csv;
}
