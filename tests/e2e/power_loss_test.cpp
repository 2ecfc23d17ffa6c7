// Power cuts during the countdown: the program is terminated at random
// moments while every tick saves, and the file must still hold a state the
// program really had.
#include "program_under_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

int EnvironmentNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text ? std::atoi(text) : fallback;
}

TEST(PowerLossTest, EveryKillLeavesAStateTheProgramHad) {
    const int kills = EnvironmentNumber("CORVANE_KILLS", 200);
    const unsigned seed = static_cast<unsigned>(EnvironmentNumber("CORVANE_SEED", 20261208));
    const int ticksPerRun = 40;
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(0, 80);
    SCOPED_TRACE("seed " + std::to_string(seed));

    std::string folder = MakeFreshFolder("power-loss");
    std::string stateFile = PathIn(folder, "corvaneState.dat");
    WriteText(PathIn(folder, "corvanePower.txt"), "0 1");

    int survived = 0, cutMidCountdown = 0;
    for (int kill = 0; kill < kills; ++kill) {
        Bytes before = ReadFileBytes(stateFile);
        // Keep the reserve well above the alert, whose box would stop the run.
        if (before.size() != 7 || RemainingSeconds(before) < 1000) {
            before = StateFileBytes(1, 3600, 1, 0);
            WriteFileBytes(stateFile, before);
        }
        RunningProgram program;
        ASSERT_TRUE(StartProgram(std::getenv("CORVANE_SCRIPTED_EXE"), folder, &program));
        PostTicks(program.window, ticksPerRun);
        Sleep(static_cast<DWORD>(delayMs(random)));
        KillProgram(&program);
        CloseHandles(&program);

        Bytes after = ReadFileBytes(stateFile);
        ASSERT_EQ(after.size(), 7u) << "after kill " << kill << ": " << HexBytes(after);
        int steps = (RemainingSeconds(before) - RemainingSeconds(after)) / 5;
        ASSERT_EQ(after, StateFileBytes(1, RemainingSeconds(before) - 5 * steps, 1, 0))
            << "after kill " << kill << ": " << HexBytes(after);
        ASSERT_GE(steps, 0);
        ASSERT_LE(steps, ticksPerRun);
        if (steps > 0 && steps < ticksPerRun) ++cutMidCountdown;
        ++survived;
    }
    std::printf("power loss: %d kills survived, %d of them in the middle of the countdown's saves\n",
                survived, cutMidCountdown);
    EXPECT_GT(cutMidCountdown, 0) << "no kill fell between two saves";
}

}  // namespace
