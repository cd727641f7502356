#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>

#include "Platform/Clock.h"
#include "Platform/LinkSession.h"
#include "Support/PrivateNetwork.h"

namespace {

bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Two sessions of one process, in a network namespace of the test's own: they find each other,
// share a tempo set in either, agree on the beat at every moment, and start together.
int TwoPeers()
{
    Platform::LinkSession a;
    Platform::LinkSession b;
    a.EnableStartStopSync(true);
    b.EnableStartStopSync(true);
    a.Enable(true);
    b.Enable(true);
    if (!WaitFor([&] { return a.Peers() == 1 && b.Peers() == 1; }))
        return std::fprintf(stderr, "peers never met\n"), 1;
    a.ProposeTempo(133, Platform::Clock::Now());
    if (!WaitFor([&] { return std::abs(b.CurrentTempo() - 133) < 1e-3; }))
        return std::fprintf(stderr, "tempo not shared: %f\n", b.CurrentTempo()), 2;
    b.ProposeTempo(97.5, Platform::Clock::Now());
    if (!WaitFor([&] { return std::abs(a.CurrentTempo() - 97.5) < 1e-3; }))
        return std::fprintf(stderr, "tempo not shared back: %f\n", a.CurrentTempo()), 3;
    // (Tempo travels as microseconds a beat.) The same moment is the same place in a bar of four for both (to a
    // microsecond's beat).
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    a.Capture();
    b.Capture();
    const std::int64_t now = Platform::Clock::Now();
    const double phaseA = a.PhaseAt(now, 4);
    const double phaseB = b.PhaseAt(now, 4);
    if (std::abs(phaseA - phaseB) > 1e-3 && std::abs(std::abs(phaseA - phaseB) - 4) > 1e-3)
        return std::fprintf(stderr, "phases differ: %f %f\n", phaseA, phaseB), 4;
    // The clocks' conversion holds: the beat's moment comes back to the moment.
    if (std::abs(a.TimeAtBeat(a.BeatAt(now, 4), 4) - now) > 2000)
        return std::fprintf(stderr, "time conversion off\n"), 5;
    a.ProposePlaying(true, now);
    if (!WaitFor([&] { return b.CurrentlyPlaying(); }))
        return std::fprintf(stderr, "start not shared\n"), 6;
    b.Enable(false);
    if (!WaitFor([&] { return a.Peers() == 0; }))
        return std::fprintf(stderr, "leaving not seen\n"), 7;
    return 0;
}

TEST(LinkSession, TwoPeersShareTempoPhaseAndStartInAPrivateNetwork)
{
    std::string skipped;
    const int result = TestSupport::InPrivateNetwork(TwoPeers, skipped);
    if (!skipped.empty())
        GTEST_SKIP() << skipped;
    EXPECT_EQ(result, 0);
}

TEST(LinkSession, StaysOffTheNetworkUntilEnabled)
{
    Platform::LinkSession session;
    EXPECT_FALSE(session.Enabled());
    EXPECT_EQ(session.CurrentTempo(), 0.0);  // no engine made at all
    session.Enable(false);
    EXPECT_EQ(session.CurrentTempo(), 0.0);
}

}  // namespace
