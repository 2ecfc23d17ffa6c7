#include "recording_host.h"

#include <cstdio>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

RecordingHost* RecordingHost::current_ = nullptr;

bool FileExists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

bool MakeFolder(const char* path) {
#ifdef _WIN32
    return _mkdir(path) == 0;
#else
    return mkdir(path, 0755) == 0;
#endif
}

bool RemoveFolder(const char* path) {
#ifdef _WIN32
    return _rmdir(path) == 0;
#else
    return rmdir(path) == 0;
#endif
}

// The newest host receives the calls; a host made inside a test hands them
// back to the fixture's when it goes.
RecordingHost::RecordingHost() : table{&Read, &Tray, &Notice, &Alert}, previous_(current_) {
    current_ = this;
}

RecordingHost::~RecordingHost() { current_ = previous_; }

void RecordingHost::Queue(int ac, int percent) {
    readings_.push_back({true, {static_cast<std::uint8_t>(ac), static_cast<std::uint8_t>(percent)}});
}

void RecordingHost::QueueFailedRead() { readings_.push_back({false, {}}); }

void RecordingHost::Tick(void* owner) {
    ASSERT_FALSE(readings_.empty()) << "a tick with no reading queued";
    PowerTick(table, owner);
}

int RecordingHost::Count(HostCall call) const {
    int count = 0;
    for (const RecordedCall& recorded : calls_) count += recorded.call == call;
    return count;
}

std::vector<HostCall> RecordingHost::Calls() const {
    std::vector<HostCall> result;
    for (const RecordedCall& recorded : calls_) {
        if (recorded.call != HostCall::ReadPowerStatus) result.push_back(recorded.call);
    }
    return result;
}

const RecordedCall& RecordingHost::Last(HostCall call) const {
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
        if (it->call == call) return *it;
    }
    static RecordedCall none{};
    ADD_FAILURE() << "no such call was recorded";
    return none;
}

void RecordingHost::Record(HostCall call, void* owner) {
    calls_.push_back({call, g_calibration, ReadFileBytes(kStateFileName), owner});
}

bool RecordingHost::Read(PowerSample* sample) {
    current_->Record(HostCall::ReadPowerStatus);
    if (current_->readings_.empty()) {
        ADD_FAILURE() << "ReadPowerStatus called with no reading queued";
        return false;
    }
    Reading reading = current_->readings_.front();
    current_->readings_.pop_front();
    if (reading.ok) *sample = reading.sample;
    return reading.ok;
}

void RecordingHost::Tray() { current_->Record(HostCall::UpdateTrayIcon); }

void RecordingHost::Notice(void* owner) {
    current_->Record(HostCall::ShowCalibrationNotice, owner);
    if (current_->onNotice) current_->onNotice();
}

void RecordingHost::Alert() {
    current_->Record(HostCall::RaiseLowBatteryAlert);
    if (current_->onAlert) current_->onAlert();
}

namespace {

void RemoveStateFiles() {
    std::remove(kStateFileName);
    std::remove("corvaneState.dat.tmp");
}

}  // namespace

void CalibrationTest::SetUp() {
    RemoveStateFiles();
    g_calibration = CalibrationState{};
}

void CalibrationTest::TearDown() { RemoveStateFiles(); }
