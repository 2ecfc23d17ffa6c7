// Seeded random traces through the tick, checked against the invariants after
// every tick. Each trace has its own seed, printed when it fails; setting
// CORVANE_PROPERTY_SEED=N makes N the first seed of every test, so a failing
// trace replays first (N+1, N+2... follow).
#include "recording_host.h"
#include "tick_checker.h"

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <random>
#include <string>

namespace {

#ifdef _WIN32
// Every save is flushed to disk, and Wine makes each one dearer.
constexpr int kTracesPerTest = 8;
#else
constexpr int kTracesPerTest = 20;
#endif
constexpr int kActionsPerTrace = 40;
constexpr int kMaxDepth = 2;

std::uint32_t FirstSeed(std::uint32_t fallback) {
    const char* text = std::getenv("CORVANE_PROPERTY_SEED");
    if (!text || !*text) return fallback;
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

// How often each kind of action comes up in a trace.
struct Mix {
    int drain, bottom, plug, unplug, jump, unknown, failedRead, restart, nest;
};

class Trace {
public:
    Trace(RecordingHost& host, std::uint32_t seed, const Mix& mix, int startKind)
        : host_(host), random_(seed), mix_(mix), startKind_(startKind) {
        current_ = this;
        recordTray_ = host_.table.UpdateTrayIcon;
        host_.table.UpdateTrayIcon = &Tray;
        host_.onNotice = [this] {
            checker_.NoticeShown();
            MaybeNest();
        };
        host_.onAlert = [this] {
            checker_.AlertRaised();
            MaybeNest();
        };
    }
    ~Trace() { current_ = nullptr; }

    int Notices() const { return checker_.Notices(); }
    int Alerts() const { return checker_.Alerts(); }

    // Runs the trace; empty when every invariant held, else what broke and the ticks before it.
    std::string Run() {
        StartFromAFileTheProgramCouldHaveWritten();
        for (int i = 0; i < kActionsPerTrace && !checker_.Failed(); ++i) Act();
        if (!checker_.Failed()) return {};
        std::string text = checker_.Failure() + "\n  last readings:";
        for (const std::string& reading : recent_) text += " " + reading;
        return text;
    }

private:
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int percent) { return Uniform(1, 100) <= percent; }

    void Restart() {
        g_calibration = CalibrationState{};
        LoadState();
        checker_.Started();
        Note("restart");
    }

    // Traces take turns, by seed so that a replay starts alike, at how the
    // program last left its file: none, engaged, in the countdown, in its last
    // ten minutes, after it. Restarted during the countdown, it is still at 1%
    // on battery.
    void StartFromAFileTheProgramCouldHaveWritten() {
        bool counting = false;
        switch (startKind_ % 5) {
            case 1: WriteFileBytes(kStateFileName, StateFileBytes(0, 0, 1, 0)); break;
            case 2:
                WriteFileBytes(kStateFileName, StateFileBytes(1, 5 * Uniform(121, 720), 1, 0));
                counting = true;
                break;
            case 3:
                WriteFileBytes(kStateFileName, StateFileBytes(1, 5 * Uniform(12, 120), 1, 0));
                counting = true;
                break;
            case 4: WriteFileBytes(kStateFileName, StateFileBytes(0, 60, 0, Uniform(0, 1) ? 1 : 0)); break;
            default: break;
        }
        Restart();
        if (counting) {
            percent_ = 1;
            Tick(0, 1);
        }
    }

    void Tick(int ac, int percent) {
        checker_.BeforeTick();
        host_.Queue(ac, percent);
        host_.Tick();
        checker_.AfterTick(true, {static_cast<std::uint8_t>(ac), static_cast<std::uint8_t>(percent)});
        Note(std::to_string(ac) + "/" + std::to_string(percent));
        if (depth_ == 0) host_.ClearCalls();
    }

    void FailedRead() {
        checker_.BeforeTick();
        host_.QueueFailedRead();
        host_.Tick();
        checker_.AfterTick(false, {});
        Note("failed");
    }

    void Act() {
        const Mix& m = mix_;
        int pick = Uniform(1, m.drain + m.bottom + m.plug + m.unplug + m.jump + m.unknown +
                                  m.failedRead + m.restart + m.nest);
        if ((pick -= m.drain) <= 0) {
            // A slow drain on battery, a percent now and then.
            for (int n = Uniform(1, 40); n > 0 && !checker_.Failed(); --n) {
                if (percent_ > 0 && Chance(40)) --percent_;
                Tick(0, percent_);
            }
        } else if ((pick -= m.bottom) <= 0) {
            // Down at 1% or 0% for a while: the reserve countdown.
            int ticks = Chance(4) ? Uniform(150, 760) : Uniform(1, 40);
            for (; ticks > 0 && !checker_.Failed(); --ticks) Tick(0, Chance(80) ? 1 : 0);
            percent_ = 1;
        } else if ((pick -= m.plug) <= 0) {
            for (int n = Uniform(1, 12); n > 0 && !checker_.Failed(); --n) {
                if (percent_ < 100 && Chance(50)) ++percent_;
                Tick(1, percent_);
            }
        } else if ((pick -= m.unplug) <= 0) {
            // Unplugged at any figure, full charges more often.
            percent_ = Chance(40) ? Uniform(88, 100) : Uniform(0, 100);
            Tick(0, percent_);
        } else if ((pick -= m.jump) <= 0) {
            percent_ = Uniform(0, 100);
            Tick(Chance(80) ? 0 : 1, percent_);
        } else if ((pick -= m.unknown) <= 0) {
            int ac = Chance(30) ? 255 : Uniform(0, 1);
            Tick(ac, Chance(60) ? 255 : percent_);
        } else if ((pick -= m.failedRead) <= 0) {
            FailedRead();
        } else if ((pick -= m.restart) <= 0) {
            if (depth_ == 0) Restart();
        } else {
            nestPending_ = Uniform(1, 6);
        }
    }

    // The modal notice and warning box keep the timer ticking underneath.
    void MaybeNest() {
        if (nestPending_ == 0 || depth_ >= kMaxDepth) return;
        int actions = nestPending_;
        nestPending_ = 0;
        ++depth_;
        for (; actions > 0 && !checker_.Failed(); --actions) Act();
        --depth_;
    }

    void Note(const std::string& reading) {
        recent_.push_back(reading);
        if (recent_.size() > 30) recent_.pop_front();
    }

    static void Tray() {
        recordTray_();
        current_->checker_.TrayUpdated();
    }

    RecordingHost& host_;
    std::mt19937 random_;
    Mix mix_;
    int startKind_;
    TickChecker checker_;
    int percent_ = 100;
    int depth_ = 0;
    int nestPending_ = 0;
    std::deque<std::string> recent_;
    static Trace* current_;
    static void (*recordTray_)();
};

Trace* Trace::current_ = nullptr;
void (*Trace::recordTray_)() = nullptr;

class PropertyTest : public CalibrationTest {
protected:
    void RunTraces(std::uint32_t defaultSeed, const Mix& mix) {
        std::uint32_t first = FirstSeed(defaultSeed);
        int notices = 0, alerts = 0;
        for (int i = 0; i < kTracesPerTest; ++i) {
            std::uint32_t seed = first + static_cast<std::uint32_t>(i);
            SCOPED_TRACE("seed " + std::to_string(seed) + " (CORVANE_PROPERTY_SEED=" +
                         std::to_string(seed) + " replays it first)");
            SetUp();
            RecordingHost traceHost;
            Trace trace(traceHost, seed, mix, static_cast<int>(seed % 5));
            std::string failure = trace.Run();
            ASSERT_TRUE(failure.empty()) << failure;
            notices += trace.Notices();
            alerts += trace.Alerts();
        }
        // Traces that never reach the notice or the alert would check little.
        EXPECT_GT(notices, 0) << "no trace offered the notice";
        EXPECT_GT(alerts, 0) << "no trace raised the low-battery alert";
    }
};

TEST_F(PropertyTest, DischargesWithPlugsJumpsAndUnknownReadings) {
    RunTraces(1000, {30, 10, 15, 15, 10, 10, 0, 0, 0});
}

TEST_F(PropertyTest, RestartsAndFailedReadsAnywhere) {
    RunTraces(2000, {25, 15, 10, 10, 5, 5, 15, 15, 0});
}

TEST_F(PropertyTest, TicksNestedInsideTheNoticeAndTheAlert) {
    RunTraces(3000, {20, 15, 10, 15, 5, 5, 5, 5, 20});
}

}  // namespace
