// What one PowerTick costs: with a host that only hands over a reading and a
// tick that saves nothing, and with a countdown step, which saves the state
// file (temporary file, flush to disk, rename) in the working directory.
#include "calibration_state.h"
#include "power_tick.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

PowerSample g_sample;
bool Read(PowerSample* sample) {
    *sample = g_sample;
    return true;
}
void Nothing() {}
void NoNotice(void*) {}
const CalibrationHost kHost = {&Read, &Nothing, &NoNotice, &Nothing};

// The file's bytes, to tell whether a run saved what it should.
bool FileHolds(const unsigned char* expected, std::size_t size) {
    unsigned char bytes[16];
    std::FILE* file = std::fopen(kStateFileName, "rb");
    if (!file) return size == 0;
    std::size_t length = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    if (length != size) return false;
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != expected[i]) return false;
    }
    return true;
}

void StartClean() {
    std::remove(kStateFileName);
    std::remove("corvaneState.dat.tmp");
    g_calibration = CalibrationState{};
}

// range(0): 1 on external power, 0 on battery at 50% with calibration engaged.
void BM_TickWithoutSave(benchmark::State& state) {
    StartClean();
    bool external = state.range(0) == 1;
    g_calibration.calibrationActive = external ? 0 : 1;
    g_calibration.previousOnExternal = external ? 1 : 0;
    g_sample = {static_cast<std::uint8_t>(external ? 1 : 0), 50};
    for (auto _ : state) {
        PowerTick(kHost, nullptr);
        benchmark::DoNotOptimize(g_calibration.statusText[0]);
    }
    if (!FileHolds(nullptr, 0)) state.SkipWithError("a tick that should not save wrote the state file");
    state.SetLabel(external ? "on external power" : "on battery at 50%, calibration engaged");
}
BENCHMARK(BM_TickWithoutSave)->Arg(1)->Arg(0);

// A countdown step at 1% on battery: one atomic save per tick. The reserve is
// put back every iteration so the countdown never reaches its end.
void BM_TickWithSave(benchmark::State& state) {
    StartClean();
    g_calibration.calibrationActive = 1;
    g_calibration.countdownStarted = 1;
    g_calibration.previousOnExternal = 0;
    g_sample = {0, 1};
    for (auto _ : state) {
        g_calibration.remainingSeconds = kReserveSeconds;
        PowerTick(kHost, nullptr);
    }
    const unsigned char saved[] = {1, 0x0B, 0x0E, 0, 0, 1, 0};  // 3595 seconds left
    if (!FileHolds(saved, sizeof saved)) state.SkipWithError("the countdown step did not save");
    state.SetLabel("countdown step at 1%, saved to disk");
    StartClean();
}
BENCHMARK(BM_TickWithSave)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
