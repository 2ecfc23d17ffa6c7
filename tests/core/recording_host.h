// A CalibrationHost for the tests: it plays a script of power readings and
// records every call it receives, with the state and the state file's bytes
// at the moment of the call. Notice and alert can run nested ticks, as the
// modal loops of the real ones do.
#pragma once

#include "calibration_state.h"
#include "power_tick.h"
#include "state_file_bytes.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

bool FileExists(const char* path);
bool MakeFolder(const char* path);
bool RemoveFolder(const char* path);

enum class HostCall { ReadPowerStatus, UpdateTrayIcon, ShowCalibrationNotice, RaiseLowBatteryAlert };

struct RecordedCall {
    HostCall call;
    CalibrationState state;
    Bytes file;
    void* owner;
};

class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();

    // Queues the reading the next ReadPowerStatus returns.
    void OnBattery(int percent) { Queue(0, percent); }
    void OnExternal(int percent) { Queue(1, percent); }
    void Queue(int ac, int percent);
    void QueueFailedRead();

    // Runs one tick on the next queued reading.
    void Tick(void* owner = nullptr);
    // Queues a reading and ticks on it.
    void TickOn(int ac, int percent) { Queue(ac, percent); Tick(); }

    int Count(HostCall call) const;
    // The calls of interest, in order, without the reads.
    std::vector<HostCall> Calls() const;
    const RecordedCall& Last(HostCall call) const;
    void ClearCalls() { calls_.clear(); }

    std::function<void()> onNotice;
    std::function<void()> onAlert;
    CalibrationHost table;

private:
    static bool Read(PowerSample* sample);
    static void Tray();
    static void Notice(void* owner);
    static void Alert();
    void Record(HostCall call, void* owner = nullptr);

    struct Reading {
        bool ok;
        PowerSample sample;
    };
    std::deque<Reading> readings_;
    std::vector<RecordedCall> calls_;
    RecordingHost* previous_;
    static RecordingHost* current_;
};

// Test fixture: a fresh state record and no state file.
class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    RecordingHost host;
};

