// The one record of everything the monitor knows between two ticks, and the
// file that keeps four of its fields across restarts.
#pragma once

#include <cstdint>

struct CalibrationState {
    // Kept in "corvaneState.dat".
    std::uint8_t countdownStarted = 0;
    std::int32_t remainingSeconds = 0;
    std::uint8_t calibrationActive = 0;
    std::uint8_t noticeSuppressed = 0;

    // Live only while the process runs.
    std::uint8_t lowAlertShown = 0;
    // Starts at 1 so that the first tick on battery counts as the moment of unplugging.
    std::uint8_t previousOnExternal = 1;
    std::uint8_t noticeShownThisDischarge = 0;
    std::int32_t systemPercent = 0;
    std::int32_t displayedRemaining = 0;
    char statusText[256] = {};
};

extern CalibrationState g_calibration;

constexpr char kStateFileName[] = "corvaneState.dat";
constexpr int kStateFileSize = 7;
constexpr std::int32_t kReserveSeconds = 3600;

// Reads the persisted fields from the state file; a field the file does not
// reach keeps its value, and a missing file clears the countdown.
void LoadState();

// Rewrites the state file whole. A failure is silent: the program runs on from
// memory and the next save tries again.
void SaveState();

void StartCountdown();
void ResetCalibration();
