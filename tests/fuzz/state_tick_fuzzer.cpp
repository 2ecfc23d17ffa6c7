// libFuzzer target for the calibration core: any state file, then any run of
// readings, failed reads, restarts and ticks nested inside the notice and the
// alert. Every tick is checked against the invariants; a broken one aborts
// with the state around it, which libFuzzer saves as a crash.
//
// Input: byte 0 picks the state file (length byte0 % 18, 17 meaning no file),
// whose bytes follow; then pairs of (operation, value):
//   op & 15: 0-4, 14, 15 on battery   5-7 on external power   8 line status 255
//            9 line status = the op byte itself (odd values)   10 failed read
//            11 the last reading again value+1 times   12 restart
//            13 the next notice or alert runs the next value%8+1 operations nested
//   value: 0-200 the percentage value/2, 201-239 as is (out of range), 240-255 is 255.
#include "calibration_state.h"
#include "power_tick.h"
#include "tick_checker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxDepth = 3;
constexpr int kMaxTicks = 4000;
constexpr int kNoFile = 17;

struct Reading {
    bool ok;
    PowerSample sample;
};

struct Run {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
    TickChecker checker;
    Reading next;
    Reading last;
    bool hasLast;
    int depth;
    int ticks;
    int nestRequest;
};

Run* g_run = nullptr;
int g_owner = 0;
int g_originalFolder = -1;
char g_folder[256];

void LeaveFolder();

// libFuzzer saves the input; the private folder goes before the abort.
[[noreturn]] void Broken(const std::string& what) {
    std::fprintf(stderr, "\ninvariant broken: %s\n", what.c_str());
    LeaveFolder();
    std::abort();
}

std::uint8_t Percent(std::uint8_t value) {
    if (value <= 200) return static_cast<std::uint8_t>(value / 2);
    if (value < 240) return value;
    return 255;
}

void RunOperations(int limit);

bool ReadPowerStatus(PowerSample* sample) {
    if (g_run->next.ok) *sample = g_run->next.sample;
    return g_run->next.ok;
}

void UpdateTrayIcon() { g_run->checker.TrayUpdated(); }

// The real notice and warning box run a modal loop in which the timer keeps ticking.
void RunNested() {
    if (g_run->nestRequest == 0 || g_run->depth >= kMaxDepth) return;
    int count = g_run->nestRequest;
    g_run->nestRequest = 0;
    RunOperations(count);
}

void ShowCalibrationNotice(void* owner) {
    if (owner != &g_owner) Broken("the notice did not receive the tick's owner");
    g_run->checker.NoticeShown();
    RunNested();
}

void RaiseLowBatteryAlert() {
    g_run->checker.AlertRaised();
    RunNested();
}

const CalibrationHost kHost = {&ReadPowerStatus, &UpdateTrayIcon, &ShowCalibrationNotice,
                               &RaiseLowBatteryAlert};

// By value: ticks nested inside this one replace the last reading.
void Tick(Reading reading) {
    if (g_run->ticks >= kMaxTicks) return;
    ++g_run->ticks;
    g_run->last = reading;
    g_run->hasLast = true;
    g_run->checker.BeforeTick();
    g_run->next = reading;
    ++g_run->depth;
    PowerTick(kHost, &g_owner);
    --g_run->depth;
    g_run->checker.AfterTick(reading.ok, reading.sample);
    if (g_run->checker.Failed()) Broken(g_run->checker.Failure());
}

void Start() {
    g_calibration = CalibrationState{};
    LoadState();
    if (g_calibration.remainingSeconds < 0 || g_calibration.remainingSeconds > kReserveSeconds) {
        Broken("LoadState let the reserve out of 0...3600");
    }
    g_run->checker.Started();
}

void Apply(std::uint8_t op, std::uint8_t value) {
    Reading reading = {true, {0, Percent(value)}};
    switch (op & 15) {
        case 5: case 6: case 7: reading.sample.ACLineStatus = 1; break;
        case 8: reading.sample.ACLineStatus = 255; break;
        case 9: reading.sample.ACLineStatus = op; break;
        case 10: reading = {false, {}}; break;
        case 11:
            if (!g_run->hasLast) return;
            for (int i = 0; i <= value; ++i) Tick(g_run->last);
            return;
        case 12:
            // A restart inside a modal call would not return to the tick below it.
            if (g_run->depth == 0) Start();
            return;
        case 13: g_run->nestRequest = value % 8 + 1; return;
        default: break;
    }
    Tick(reading);
}

void RunOperations(int limit) {
    while (limit-- > 0 && g_run->at + 2 <= g_run->size && g_run->ticks < kMaxTicks) {
        std::uint8_t op = g_run->data[g_run->at];
        std::uint8_t value = g_run->data[g_run->at + 1];
        g_run->at += 2;
        Apply(op, value);
    }
}

void WriteStateFile(const std::uint8_t* bytes, std::size_t length) {
    std::FILE* file = std::fopen(kStateFileName, "wb");
    if (!file) Broken("cannot write the state file in the working folder");
    if (length > 0 && std::fwrite(bytes, 1, length, file) != length) Broken("short write of the state file");
    std::fclose(file);
}

void RemoveStateFiles() {
    std::remove(kStateFileName);
    std::remove("corvaneState.dat.tmp");
}

void LeaveFolder() {
    if (g_originalFolder < 0) return;
    char path[320];
    for (const char* name : {kStateFileName, "corvaneState.dat.tmp"}) {
        std::snprintf(path, sizeof path, "%s/%s", g_folder, name);
        std::remove(path);
    }
    rmdir(g_folder);
    if (fchdir(g_originalFolder) != 0) std::perror("leaving the private working folder");
}

// A folder of its own, in memory when /dev/shm exists, since every save is flushed to disk.
void MakeFolder() {
    const char* base = "/dev/shm";
    struct stat info;
    if (stat(base, &info) != 0 || !S_ISDIR(info.st_mode)) {
        base = std::getenv("TMPDIR");
        if (!base || !*base) base = "/tmp";
    }
    std::snprintf(g_folder, sizeof g_folder, "%s/corvane-fuzz.XXXXXX", base);
    if (!mkdtemp(g_folder)) Broken("cannot make a private working folder");
    g_originalFolder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_originalFolder < 0) Broken("cannot keep the working folder");
    std::atexit(&LeaveFolder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeFolder();
    return 0;
}

// libFuzzer works with relative paths of its own, so the state file's folder
// is entered only for the length of one input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (chdir(g_folder) != 0) Broken("cannot enter the private working folder");
    RemoveStateFiles();

    Run run = {};
    run.data = data;
    run.size = size;
    run.at = 1;
    g_run = &run;

    int fileLength = data[0] % 18;
    if (fileLength != kNoFile) {
        std::size_t length = static_cast<std::size_t>(fileLength);
        if (length > size - 1) length = size - 1;
        WriteStateFile(data + 1, length);
        run.at = 1 + length;
    }
    Start();
    RunOperations(static_cast<int>(size / 2));

    g_run = nullptr;
    RemoveStateFiles();
    if (fchdir(g_originalFolder) != 0) Broken("cannot return to the original folder");
    return 0;
}
