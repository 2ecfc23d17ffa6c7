#include "tick_checker.h"

#include "display_readings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool SamePersisted(const CalibrationState& a, const CalibrationState& b) {
    return a.countdownStarted == b.countdownStarted && a.remainingSeconds == b.remainingSeconds &&
           a.calibrationActive == b.calibrationActive && a.noticeSuppressed == b.noticeSuppressed;
}

bool SameButStatusText(const CalibrationState& a, const CalibrationState& b) {
    return SamePersisted(a, b) && a.lowAlertShown == b.lowAlertShown &&
           a.previousOnExternal == b.previousOnExternal &&
           a.noticeShownThisDischarge == b.noticeShownThisDischarge &&
           a.systemPercent == b.systemPercent && a.displayedRemaining == b.displayedRemaining;
}

// The figure in "Calibrated Battery: N%..."; -1000 when the text is not of that form.
int HeadlinePercent(const char* text) {
    static const char prefix[] = "Calibrated Battery: ";
    if (std::strncmp(text, prefix, sizeof prefix - 1) != 0) return -1000;
    char* end = nullptr;
    long value = std::strtol(text + sizeof prefix - 1, &end, 10);
    if (end == text + sizeof prefix - 1 || *end != '%') return -1000;
    return static_cast<int>(value);
}

}  // namespace

void TickChecker::Fail(const char* what, const OpenTick& tick) {
    if (Failed()) return;
    failure_ = std::string(what) + "\n  before: " + DescribeFields(tick.before) +
               "\n  after:  " + DescribeFields(g_calibration) + "\n  file before: " + HexBytes(tick.file) +
               "\n  file after:  " + HexBytes(ReadFileBytes(kStateFileName)) + "\n  tick depth " +
               std::to_string(open_.size());
}

void TickChecker::Started() {
    open_.clear();
    fileAtStart_ = ReadFileBytes(kStateFileName);
    atStart_ = g_calibration;
    noticesThisDischarge_ = 0;
    nestedThisDischarge_ = false;
    alertsThisCountdown_ = 0;
    nestedThisCountdown_ = false;
}

void TickChecker::BeforeTick() {
    if (!open_.empty()) {
        open_.back().nestedInside = true;
        nestedThisDischarge_ = true;
        nestedThisCountdown_ = true;
    }
    open_.push_back({g_calibration, ReadFileBytes(kStateFileName), notices_, alerts_, trays_, false});
}

void TickChecker::NoticeShown() {
    ++notices_;
    if (++noticesThisDischarge_ > 1 && !nestedThisDischarge_ && !open_.empty()) {
        Fail("the notice was offered a second time in one discharge", open_.back());
    }
}

void TickChecker::AlertRaised() {
    ++alerts_;
    if (++alertsThisCountdown_ > 2 && !nestedThisCountdown_ && !open_.empty()) {
        Fail("the low-battery alert was raised a third time in one countdown", open_.back());
    }
}

void TickChecker::TrayUpdated() { ++trays_; }

void TickChecker::AfterTick(bool readOk, const PowerSample& sample) {
    if (open_.empty()) {
        failure_ = "AfterTick without BeforeTick";
        return;
    }
    OpenTick tick = open_.back();
    Bytes file = ReadFileBytes(kStateFileName);

    CheckFile(tick, file);
    std::int32_t remaining = g_calibration.remainingSeconds;
    if (remaining > kReserveSeconds || remaining < -5) {
        Fail("remainingSeconds left the range -5...3600", tick);
    }
    if (!readOk) {
        CheckFailedRead(tick, file);
    } else {
        if (!tick.nestedInside) CheckCountdownStep(tick, sample);
        CheckReadings(tick, sample);
    }
    open_.pop_back();

    // A tick that started a countdown begins a new count of alerts; nested
    // ticks around it keep the count out of reach of the limit.
    bool startedCountdown = readOk && !tick.nestedInside && !tick.before.countdownStarted &&
                            g_calibration.countdownStarted;
    if (startedCountdown) {
        alertsThisCountdown_ = alerts_ - tick.alerts;
        nestedThisCountdown_ = !open_.empty();
    }
    if (readOk && sample.ACLineStatus == 1) {
        noticesThisDischarge_ = 0;
        nestedThisDischarge_ = !open_.empty();
    }
}

// Before the first save after a start the file may still differ from memory;
// once either has changed, the file must be the seven bytes of memory.
void TickChecker::CheckFile(const OpenTick& tick, const Bytes& file) {
    if (file == fileAtStart_ && SamePersisted(g_calibration, atStart_)) return;
    if (file.size() != static_cast<std::size_t>(kStateFileSize)) {
        Fail("the state file is not seven bytes", tick);
    } else if (file != PersistedBytes(g_calibration)) {
        Fail("the state file differs from the persisted fields in memory", tick);
    }
}

void TickChecker::CheckFailedRead(const OpenTick& tick, const Bytes& file) {
    if (!SameButStatusText(tick.before, g_calibration)) {
        Fail("a failed read changed a field other than the status text", tick);
    }
    if (file != tick.file) Fail("a failed read changed the state file", tick);
    if (notices_ != tick.notices || alerts_ != tick.alerts || trays_ != tick.trays) {
        Fail("a failed read called the host", tick);
    }
    if (std::strncmp(g_calibration.statusText, kPowerReadFailedText, sizeof g_calibration.statusText) != 0) {
        Fail("a failed read did not say so in the status text", tick);
    }
}

// A step of five seconds exactly when on battery at 1% or less with calibration
// engaged; at any other reading the reserve stays as it was.
void TickChecker::CheckCountdownStep(const OpenTick& tick, const PowerSample& sample) {
    const CalibrationState& before = tick.before;
    const CalibrationState& after = g_calibration;
    bool steps = sample.ACLineStatus == 0 && sample.BatteryLifePercent <= 1 && before.calibrationActive;
    if (!steps) {
        if (after.remainingSeconds != before.remainingSeconds) {
            Fail("the reserve changed without a countdown step being due", tick);
        }
        if (after.displayedRemaining != 0) Fail("a reserve is shown without a countdown step", tick);
        return;
    }
    std::int32_t from = before.countdownStarted ? before.remainingSeconds : kReserveSeconds;
    std::int32_t expected = from - 5;
    if (after.remainingSeconds != expected) Fail("the countdown step was not five seconds", tick);
    std::int32_t shown = expected < 60 ? 60 : expected;
    if (after.displayedRemaining != shown) Fail("the shown reserve is not the stepped one", tick);
}

void TickChecker::CheckReadings(const OpenTick& tick, const PowerSample& sample) {
    if (sample.BatteryLifePercent <= 100) {
        int tray = TrayCalibratedPercent(sample);
        if (tray < -1 || tray > 100) Fail("the tray percentage left -1...100", tick);
    }
    const CalibrationState& s = g_calibration;
    if (s.systemPercent >= 0 && s.systemPercent <= 100) {
        HeadlineText headline = FormatHeadline();
        int percent = HeadlinePercent(headline.text);
        if (percent < 0 || percent > 100) Fail("the headline's percentage left 0...100", tick);
        for (int width : {0, 221, 4000}) {
            BarSegmentWidths bar = BarSegments(width);
            if (bar.half != width / 2 || bar.systemOffset != bar.half || bar.reserveWidth < 0 ||
                bar.reserveWidth > bar.half || bar.systemWidth < 0 || bar.systemWidth > bar.half) {
                Fail("a bar segment left its half of the bar", tick);
            }
        }
    }
}
