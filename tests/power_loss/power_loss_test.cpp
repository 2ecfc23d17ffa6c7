// Kills a process in the middle of its countdown, hundreds of times, and
// checks that the state file it leaves loads as a state the process really
// had: never torn, empty or zeroed, and never older than the last step the
// process finished. Every step of the countdown saves, so most kills land in
// or near a save.
#include "recording_host.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kKills = 300;
constexpr int kMaxStepsBeforeKill = 24;
constexpr int kMaxExtraDelayMicroseconds = 400;
constexpr char kTemporaryName[] = "corvaneState.dat.tmp";

Bytes Engaged(std::int32_t remaining) { return StateFileBytes(0, remaining, 1, 0); }
Bytes Counting(std::int32_t remaining) { return StateFileBytes(1, remaining, 1, 0); }
const Bytes kFinished = StateFileBytes(0, 60, 0, 0);

Bytes Persisted(const CalibrationState& s) {
    return StateFileBytes(s.countdownStarted, s.remainingSeconds, s.calibrationActive, s.noticeSuppressed);
}

// The child's power: at 1% on battery while calibration is engaged; once the
// reserve is used up, plugged in and unplugged at a full charge to engage again.
PowerSample g_sample;
bool Read(PowerSample* sample) {
    *sample = g_sample;
    return true;
}
void Nothing() {}
void NoNotice(void*) {}
const CalibrationHost kChildHost = {&Read, &Nothing, &NoNotice, &Nothing};

void ChildTick(int ac, int percent) {
    g_sample = {static_cast<std::uint8_t>(ac), static_cast<std::uint8_t>(percent)};
    PowerTick(kChildHost, nullptr);
}

// Reports the persisted fields after every finished step, until it is killed.
[[noreturn]] void RunChild(int reportFd) {
    g_calibration = CalibrationState{};
    LoadState();
    for (;;) {
        if (g_calibration.calibrationActive) {
            ChildTick(0, 1);
        } else {
            ChildTick(1, 100);
            ChildTick(0, 95);
        }
        Bytes report = Persisted(g_calibration);
        if (write(reportFd, report.data(), report.size()) != static_cast<ssize_t>(report.size())) _exit(3);
    }
}

// Every file the child's saves can leave.
bool ChildCouldHaveWritten(const Bytes& file) {
    if (file == Engaged(0) || file == Engaged(60) || file == kFinished) return true;
    for (std::int32_t remaining = 60; remaining <= kReserveSeconds; remaining += 5) {
        if (file == Counting(remaining)) return true;
    }
    return false;
}

// The saves of the one step that may have been under way at the kill.
std::vector<Bytes> SavesOfTheNextStep(const Bytes& last) {
    if (last == Engaged(0) || last == Engaged(60)) return {Counting(3600), Counting(3595)};
    if (last == kFinished) return {kFinished, Engaged(60)};
    std::int32_t remaining = last[1] | last[2] << 8 | last[3] << 16 | last[4] << 24;
    std::vector<Bytes> saves = {Counting(remaining - 5)};
    if (remaining - 5 <= 60) saves.push_back(StateFileBytes(0, remaining - 5, 0, 0));
    return saves;
}

bool ReadExactly(int fd, unsigned char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t got = read(fd, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

TEST(PowerLossTest, AKilledCountdownLeavesAStateItReallyHad) {
    std::random_device device;
    std::uint32_t seed = device();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };

    int survived = 0, aheadOfReport = 0, temporaryLeft = 0;
    std::vector<Bytes> seen;
    for (int round = 0; round < kKills; ++round) {
        // Started engaged, somewhere in the countdown, near its end, or after it.
        Bytes initial;
        switch (uniform(0, 3)) {
            case 0: initial = Engaged(0); break;
            case 1: initial = Counting(5 * uniform(13, 720)); break;
            case 2: initial = Counting(5 * uniform(13, 20)); break;
            default: initial = kFinished; break;
        }
        WriteFileBytes(kStateFileName, initial);

        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        std::fflush(nullptr);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            RunChild(fds[1]);
        }
        close(fds[1]);

        Bytes last = initial;
        Bytes report(kStateFileSize);
        for (int steps = uniform(0, kMaxStepsBeforeKill); steps > 0; --steps) {
            ASSERT_TRUE(ReadExactly(fds[0], report.data(), report.size())) << "the child stopped by itself";
            last = report;
        }
        usleep(static_cast<useconds_t>(uniform(0, kMaxExtraDelayMicroseconds)));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself";
        while (ReadExactly(fds[0], report.data(), report.size())) last = report;
        close(fds[0]);

        Bytes file = ReadFileBytes(kStateFileName);
        SCOPED_TRACE("kill " + std::to_string(round) + ": last finished step " + HexBytes(last) +
                     ", file " + HexBytes(file));
        ASSERT_EQ(file.size(), 7u) << "a torn or empty file";
        ASSERT_TRUE(ChildCouldHaveWritten(file)) << "a state the child never had";
        std::vector<Bytes> next = SavesOfTheNextStep(last);
        bool inNext = std::find(next.begin(), next.end(), file) != next.end();
        ASSERT_TRUE(file == last || inNext) << "the file is not the last finished step nor the one after it";

        g_calibration = CalibrationState{};
        LoadState();
        ASSERT_EQ(Persisted(g_calibration), file) << "the file does not load as what it holds";

        ++survived;
        aheadOfReport += file != last;
        temporaryLeft += FileExists(kTemporaryName);
        if (std::find(seen.begin(), seen.end(), file) == seen.end()) seen.push_back(file);
    }
    std::printf("power loss: %d of %d kills survived; %d distinct states left behind, %d a save "
                "ahead of the last finished step, %d with a temporary file beside it\n",
                survived, kKills, static_cast<int>(seen.size()), aheadOfReport, temporaryLeft);
    std::remove(kStateFileName);
    std::remove(kTemporaryName);
}

}  // namespace
