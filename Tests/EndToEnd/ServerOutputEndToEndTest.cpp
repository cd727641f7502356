#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/MultimediaResult.h"
#include "Support/SoundCapture.h"

namespace {

// The line `pactl list sink-inputs` gives for the program's stream's cork state ("yes"/"no").
std::string Corked()
{
    return Tests::FirstLineOf("pactl list sink-inputs 2>/dev/null | sed -n 's/^[[:space:]]*Corked: //p' | head -n 1");
}

// Through the sound server: a stopped output waits corked at the server and renders nothing; a
// start uncorks it at once, its frames run at the server's pace from frame 0, and a frame handed
// over now is heard within the stream's short latency, as its heard time says.
TEST(ServerOutputEndToEnd, AStoppedOutputWaitsCorkedAndAStartPlaysAtOnce)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "needs a sound server (run under scripts/with-sound-server)";
    // The program's one output, so that its stream is the only one at the server.
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    output.CloseIdle();
    ASSERT_EQ(output.Acquire(), Platform::MmNoError);
    ASSERT_TRUE(output.PlaysThroughServer());
    // A PipeWire server is spoken to in its own protocol.
    EXPECT_EQ(output.PlaysThroughPipeWire(),
              Tests::FirstLineOf("pactl info 2>/dev/null | grep -c 'Server Name: .*PipeWire'") == "1");
    output.Release();
    EXPECT_TRUE(output.Paused());
    EXPECT_TRUE(output.Running());
    const std::int64_t frames = output.GetMixer().FramesRendered();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(output.GetMixer().FramesRendered(), frames) << "a stopped output renders";
    EXPECT_EQ(Corked(), "yes");

    for (int start = 0; start < 3; ++start) {
        const std::int64_t pressed = Platform::Clock::Now();
        ASSERT_EQ(output.Acquire(), Platform::MmNoError);
        const std::int64_t took = Platform::Clock::Now() - pressed;
        EXPECT_LT(took, 50'000'000) << "a start waits " << took / 1e6 << " ms";
        EXPECT_FALSE(output.Paused());
        const std::int64_t lead = output.LeadFrame();
        const std::int64_t heardIn = output.HeardAt(lead) - Platform::Clock::Now();
        EXPECT_GT(heardIn, 0);
        // The stream's buffer (48 ms on PulseAudio) and a request's lead beside it.
        EXPECT_LT(heardIn, 80'000'000) << "a frame handed over now is heard " << heardIn / 1e6 << " ms later";
        const double rate = output.SampleRate();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double ran = static_cast<double>(output.GetMixer().FramesRendered()) / rate;
        EXPECT_NEAR(ran, 0.5 + 0.012, 0.05) << "seconds of frames rendered in half a second of playing";
        EXPECT_EQ(Corked(), "no");
        output.Release();
        EXPECT_TRUE(output.Paused());
    }
    output.CloseIdle();
    EXPECT_FALSE(output.Running());
}

// A start held for its first sound: the stream waits corked with the mixer at frame 0, a sound
// handed over meanwhile is placed a moment after the first frame, and Play renders the first
// buffer at once and plays it. A hold nobody ends is played by the watch: the output never stays
// silent under its user.
TEST(ServerOutputEndToEnd, AHeldStartWaitsCorkedUntilPlayOrTheWatch)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "needs a sound server (run under scripts/with-sound-server)";
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    output.CloseIdle();
    for (const bool open : {false, true}) {
        if (open) {
            ASSERT_EQ(output.Acquire(), Platform::MmNoError);
            output.Release();
        }
        output.HoldNextStart();
        ASSERT_EQ(output.Acquire(), Platform::MmNoError);
        ASSERT_TRUE(output.Held());
        const double rate = output.SampleRate();
        // A moment after the stream's first frame, and after what the server's sink (at most
        // 10 ms here) may not play of the stream's start.
        const std::int64_t first = output.LeadFrame();
        const auto heldLead = static_cast<std::int64_t>(
            std::ceil(std::chrono::duration<double>(Platform::AudioOutput::HeldLead).count() * rate));
        EXPECT_GE(first, heldLead);
        EXPECT_LE(first, heldLead + static_cast<std::int64_t>(0.010 * rate));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(output.GetMixer().FramesRendered(), 0);
        EXPECT_EQ(Corked(), "yes");
        output.Play();
        EXPECT_FALSE(output.Held());
        // Through libpulse the first buffer is rendered before the stream plays; in a PipeWire
        // graph, in its next cycle.
        const std::int64_t played = Platform::Clock::Now();
        while (output.GetMixer().FramesRendered() <= first && Platform::Clock::Now() - played < 100'000'000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_GT(output.GetMixer().FramesRendered(), first) << "the first buffer is not rendered at once";
        EXPECT_EQ(Corked(), "no");
        output.Release();
    }
    output.HoldNextStart();
    ASSERT_EQ(output.Acquire(), Platform::MmNoError);
    std::this_thread::sleep_for(Platform::AudioOutput::LongestHold + std::chrono::milliseconds(300));
    EXPECT_FALSE(output.Held());
    EXPECT_GT(output.GetMixer().FramesRendered(), 0) << "a forgotten hold keeps the output silent";
    output.Release();
    output.CloseIdle();
}

// The output opens at the default sink's own rate, so that the server does not resample.
TEST(ServerOutputEndToEnd, OpensAtTheDefaultSinksRate)
{
    if (!Tests::SoundServerAvailable() || Tests::OwnSoundServer() <= 0)
        GTEST_SKIP() << "needs a sound server of its own (run under scripts/with-sound-server with none running)";
    const std::string module = Tests::FirstLineOf(
        "pactl load-module module-null-sink sink_name=ticova_null48 rate=48000 channels=2 format=float32le");
    ASSERT_FALSE(module.empty());
    const std::string before = Tests::FirstLineOf("pactl get-default-sink");
    ASSERT_EQ(std::system("pactl set-default-sink ticova_null48"), 0);
    Platform::AudioOutput output;
    EXPECT_EQ(output.Acquire(), Platform::MmNoError);
    EXPECT_EQ(output.SampleRate(), 48000);
    output.Release();
    output.CloseIdle();
    std::system(("pactl set-default-sink " + before).c_str());
    std::system(("pactl unload-module " + module).c_str());
    // PipeWire's pulse server names the new default a moment later; until then the output finds
    // no default sink and opens at the server's rate.
    for (int i = 0; i < 100 && Tests::FirstLineOf("pactl get-default-sink") != before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));

    ASSERT_EQ(output.Acquire(), Platform::MmNoError);
    EXPECT_EQ(output.SampleRate(), 44100);
    output.Release();
}

// A PipeWire graph told to run at another rate than its default: the run that finds it out is
// resampled, the next start opens anew at the graph's rate, and a start after the graph went back
// follows it again.
TEST(ServerOutputEndToEnd, APipeWireGraphsRateIsFollowedFromTheNextStart)
{
    if (!Tests::SoundServerAvailable() || !std::getenv("TICOVA_SOUND_SERVER_PIDFILE") ||
        Tests::FirstLineOf("command -v pw-metadata").empty())
        GTEST_SKIP() << "needs a PipeWire server of its own (run under scripts/with-pipewire)";
    Platform::AudioOutput output;
    ASSERT_EQ(output.Acquire(), Platform::MmNoError);
    if (!output.PlaysThroughPipeWire()) {
        output.Release();
        output.CloseIdle();
        GTEST_SKIP() << "the server is not PipeWire";
    }
    output.Release();
    // Back at 48 kHz only: a graph allowed both keeps to the rate its stream asks for.
    const auto force = [](double rate) {
        return std::system(rate == 44100 ? "pw-metadata -n settings 0 clock.allowed-rates '[ 44100 48000 ]' >/dev/null"
                                           " && pw-metadata -n settings 0 clock.force-rate 44100 >/dev/null"
                                         : "pw-metadata -n settings 0 clock.allowed-rates '[ 48000 ]' >/dev/null"
                                           " && pw-metadata -n settings 0 clock.force-rate 0 >/dev/null");
    };
    for (const double rate : {44100.0, 48000.0}) {
        ASSERT_EQ(force(rate), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int start = 0; start < 2; ++start) {
            ASSERT_EQ(output.Acquire(), Platform::MmNoError);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            output.Release();
        }
        ASSERT_EQ(output.Acquire(), Platform::MmNoError);
        EXPECT_EQ(output.SampleRate(), rate);
        EXPECT_TRUE(output.PlaysThroughPipeWire());
        output.Release();
    }
    output.CloseIdle();
}

}  // namespace
