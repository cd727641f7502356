#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "Core/ISessionTimeline.h"
#include "Core/SessionGrid.h"

namespace {

using Core::Moment;

constexpr double Rate = 48000;
constexpr double LatencyS = 0.005;

Moment At(double seconds)
{
    return Moment(std::chrono::nanoseconds(std::llround(seconds * 1e9)));
}
double Seconds(Moment moment)
{
    return static_cast<double>(moment.time_since_epoch().count()) / 1e9;
}

// A session timeline as peers change it: beat `originBeat` heard at `originS`, `tempo` from
// there on; times are whole microseconds, as the session's own.
class FakeSession final : public Core::ISessionTimeline {
public:
    double tempo = 120;
    double originBeat = 0;
    double originS = 10;

    bool Enabled() const override { return true; }
    std::size_t Peers() const override { return 1; }
    void Capture() override { ++captures; }
    double Tempo() const override { return tempo; }
    double BeatAt(Moment time, double) const override { return originBeat + (Seconds(time) - originS) * tempo / 60; }
    Moment TimeAtBeat(double beat, double) const override
    {
        return Moment(std::chrono::microseconds(std::llround((originS + (beat - originBeat) * 60 / tempo) * 1e6)));
    }
    double PhaseAt(Moment time, double quantum) const override
    {
        const double phase = std::fmod(BeatAt(time, quantum), quantum);
        return phase < 0 ? phase + quantum : phase;
    }
    bool IsPlaying() const override { return true; }
    void ProposeTempo(double bpm, Moment at) override
    {
        originBeat = BeatAt(at, 1);
        originS = Seconds(at);
        tempo = bpm;
    }
    void ProposePlaying(bool, Moment) override {}
    int captures = 0;
};

// An output whose frame f is heard at f / Rate seconds plus its latency; its "now" is set by the
// test as the timer's worker would see it, just before each hand-over.
class FakeOutput final : public Core::Timer::IClock {
public:
    std::int64_t now = 100000;
    std::int64_t Now() override { return now; }
    double Frequency() override { return Rate; }
    void Wait(Platform::AutoResetEvent&, int) override {}
    Moment HeardAt(std::int64_t frame) override { return At(static_cast<double>(frame) / Rate + LatencyS); }
    double FrameHeardAt(Moment moment) override { return (Seconds(moment) - LatencyS) * Rate; }
};

struct Click {
    std::int64_t frame;
    double beat;
};

// Plays `ticks` clicks of `tickBeats` beats on the session, `beatsPerBar` to a bar (changed to
// `secondMeter` from bar `meterChangeBar` on), calling `change` before the click `changeAt`.
struct Meter {
    double tickBeats = 1;
    int beatsPerBar = 4;
    int secondMeter = 0;
    int meterChangeBar = 0;
};

std::vector<Click> Play(FakeSession& session, FakeOutput& output, const Meter& run, int ticks, int changeAt,
                        const std::function<void()>& change)
{
    Core::SessionGrid grid;
    grid.Begin(session, output);
    std::vector<Click> clicks;
    auto tick = grid.First(0, run.beatsPerBar);
    clicks.push_back({tick.frame, tick.beat});
    int inBar = 0;
    int bar = 0;
    for (int i = 1; i < ticks; ++i) {
        // The worker hands each tick over a few milliseconds before it is played.
        output.now = tick.frame - 200;
        if (i == changeAt)
            change();
        const int meter = run.secondMeter != 0 && bar >= run.meterChangeBar ? run.secondMeter : run.beatsPerBar;
        const int perBar = static_cast<int>(std::llround(meter / run.tickBeats));
        if (++inBar == perBar) {
            inBar = 0;
            ++bar;
        }
        const int nextMeter = run.secondMeter != 0 && bar >= run.meterChangeBar ? run.secondMeter : run.beatsPerBar;
        tick = grid.Next(inBar * run.tickBeats, nextMeter, run.tickBeats);
        clicks.push_back({tick.frame, tick.beat});
    }
    return clicks;
}

// The frame on which beat `beat` of a timeline at `tempo`, beat `originBeat` at `originS`, is heard.
std::int64_t FrameOfBeat(double beat, double tempo = 120, double originBeat = 0, double originS = 10)
{
    return std::llround((originS + (beat - originBeat) * 60 / tempo - LatencyS) * Rate);
}

TEST(SessionGrid, StartsOnTheNextBarLineAndPlaysEveryBeatOnItsFrame)
{
    FakeSession session;
    FakeOutput output;
    // Output frame 100000 is heard at 2.088 s: beat -15.8; the first bar line after it is -12.
    const auto clicks = Play(session, output, Meter{0.5}, 40, -1, [] {});
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        const double beat = -12 + 0.5 * static_cast<double>(i);
        EXPECT_DOUBLE_EQ(clicks[i].beat, beat) << i;
        EXPECT_EQ(clicks[i].frame, FrameOfBeat(beat)) << i;
    }
}

TEST(SessionGrid, APeersTempoChangeMovesTheGridFromItsBeatOn)
{
    FakeSession session;
    FakeOutput output;
    // At tick 10 (beat -7) a peer makes it 150 bpm from beat -7.5 on (a moment already passed).
    const auto clicks = Play(session, output, Meter{0.5}, 30, 10, [&] { session.ProposeTempo(150, At(6.25)); });
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        const double beat = -12 + 0.5 * static_cast<double>(i);
        const std::int64_t expected = i < 10 ? FrameOfBeat(beat) : FrameOfBeat(beat, 150, -7.5, 6.25);
        EXPECT_EQ(clicks[i].frame, expected) << i;
    }
    // A tempo change at 150 bpm: 0.2 s between half beats, to the sample.
    EXPECT_EQ(clicks[20].frame - clicks[19].frame, 9600);
}

// A peer's jump of the timeline (a session joined, a peer forcing its beat): the bar's places
// stay on the session's phase, and no two clicks come closer than half a step.
struct Jump {
    double beats;     // how far the session's beat moves ahead at the same moment
    double nextBeat;  // the session beat the next click then takes
};
class SessionGridJump : public ::testing::TestWithParam<Jump> {};

TEST_P(SessionGridJump, KeepsThePlaceInTheBarWithoutBunching)
{
    FakeSession session;
    FakeOutput output;
    const Jump jump = GetParam();
    // One click a beat; after the click on beat -7 (its bar's second beat) the timeline moves.
    const auto clicks = Play(session, output, Meter{1}, 14, 6, [&] { session.originBeat += jump.beats; });
    EXPECT_EQ(clicks[5].frame, FrameOfBeat(-7));
    EXPECT_DOUBLE_EQ(clicks[6].beat, jump.nextBeat);
    for (std::size_t i = 6; i < clicks.size(); ++i) {
        const double beat = jump.nextBeat + static_cast<double>(i - 6);
        EXPECT_EQ(clicks[i].frame, FrameOfBeat(beat, 120, jump.beats)) << i;
        // Tick i is the (i mod 4)-th of its bar: the session's phase there.
        EXPECT_DOUBLE_EQ(std::fmod(clicks[i].beat + 400, 4), static_cast<double>(i % 4)) << i;
        EXPECT_GE(clicks[i].frame - clicks[i - 1].frame, 12000) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Jumps, SessionGridJump,
                         ::testing::Values(Jump{0.25, -6},    // a little ahead: the next beat, a little sooner
                                           Jump{-0.75, -6},   // back: the next beat, later
                                           Jump{0.75, -2}));  // so far ahead that beat -6 comes too soon: a bar on

TEST(SessionGrid, AQuantumChangePutsTheNewBarOnItsPhaseZero)
{
    FakeSession session;
    FakeOutput output;
    // Two bars of 4/4 from beat -12, then 3/4: the session beat after -4 with phase 0 for a
    // quantum of 3 is -3; every 3/4 bar after it begins on a multiple of 3.
    const auto clicks = Play(session, output, Meter{1, 4, 3, 2}, 17, -1, [] {});
    const double beats[] = {-12, -11, -10, -9, -8, -7, -6, -5, -3, -2, -1, 0, 1, 2, 3, 4, 5};
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        EXPECT_DOUBLE_EQ(clicks[i].beat, beats[i]) << i;
        EXPECT_EQ(clicks[i].frame, FrameOfBeat(beats[i])) << i;
    }
}

}  // namespace
