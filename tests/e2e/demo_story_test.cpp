// The story make demo plays, at full speed on the scripted build: every
// moment it takes a picture of comes, with the headline it claims.
#include "discharge_story.h"
#include "display_readings.h"
#include "program_under_test.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// What FormatHeadline gives for the program's state file, or the initial
// state before it has saved any, and the story's reading: the countdown ran
// in the last tick if it is on and the reading is on battery at 1% or less.
std::string HeadlineFor(const Bytes& file, const StoryStep& step) {
    CalibrationState state;
    if (file.size() == 7) {
        state.countdownStarted  = file[0];
        state.remainingSeconds  = RemainingSeconds(file);
        state.calibrationActive = file[5];
    }
    state.systemPercent = step.toPercent;
    bool countdownRan = state.countdownStarted && state.calibrationActive && step.ac == 0 && step.toPercent <= 1;
    state.displayedRemaining = countdownRan ? state.remainingSeconds : 0;
    g_calibration = state;
    return FormatHeadline().text;
}

TEST(DemoStoryTest, EveryMomentComesWithTheHeadlineItClaims) {
    const char* exe = std::getenv("CORVANE_SCRIPTED_EXE");
    ASSERT_NE(exe, nullptr);
    RunningProgram program;
    ASSERT_TRUE(StartProgram(exe, MakeFreshFolder("demo-story"), &program));
    auto checkHeadline = [&](const StoryStep& step, HWND) {
        EXPECT_EQ(HeadlineFor(StateFile(program), step), step.headline) << step.picture;
    };
    EXPECT_TRUE(PlayStory(program, Pace::FullSpeed, checkHeadline));
    EXPECT_EQ(ExitProgram(&program), 0);
    CloseHandles(&program);
}

}  // namespace
