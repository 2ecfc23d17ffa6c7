// What must hold around every tick, whatever the readings: shared by the
// fuzzer and the property tests, so it uses no test framework. A host calls
// the Notice/Alert/Tray hooks from its own operations, brackets every
// PowerTick (nested ones too) with BeforeTick and AfterTick, and reports a
// start of the program (fresh state record, then LoadState) with Started.
#pragma once

#include "calibration_state.h"
#include "power_tick.h"
#include "state_file_bytes.h"

#include <string>
#include <vector>

class TickChecker {
public:
    void Started();
    void BeforeTick();
    void NoticeShown();
    void AlertRaised();
    void TrayUpdated();
    // The sample is what ReadPowerStatus gave; it is ignored when the read failed.
    void AfterTick(bool readOk, const PowerSample& sample);

    // Host calls seen so far, nested ones included.
    int Notices() const { return notices_; }
    int Alerts() const { return alerts_; }

    bool Failed() const { return !failure_.empty(); }
    // The first broken invariant, with the state around it.
    const std::string& Failure() const { return failure_; }

private:
    struct OpenTick {
        CalibrationState before;
        std::vector<unsigned char> file;
        int notices;
        int alerts;
        int trays;
        bool nestedInside;
    };

    void Fail(const char* what, const OpenTick& tick);
    void CheckFile(const OpenTick& tick, const std::vector<unsigned char>& file);
    void CheckFailedRead(const OpenTick& tick, const std::vector<unsigned char>& file);
    void CheckCountdownStep(const OpenTick& tick, const PowerSample& sample);
    void CheckReadings(const OpenTick& tick, const PowerSample& sample);

    std::vector<OpenTick> open_;
    std::string failure_;

    // The file and the persisted fields as the last start left them: until
    // the first save they may differ (a clamped reserve, a short file).
    std::vector<unsigned char> fileAtStart_;
    CalibrationState atStart_;

    int notices_ = 0;
    int alerts_ = 0;
    int trays_ = 0;
    // Counted since the last plug-in and since the last countdown began; the
    // limits do not apply once ticks have run inside a notice or an alert.
    int noticesThisDischarge_ = 0;
    bool nestedThisDischarge_ = false;
    int alertsThisCountdown_ = 0;
    bool nestedThisCountdown_ = false;
};
