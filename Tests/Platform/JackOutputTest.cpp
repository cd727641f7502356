#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <thread>
#include <vector>

#include "Platform/AudioOutput.h"
#include "Platform/JackOutput.h"
#include "Platform/MultimediaResult.h"
#include "Support/JackServer.h"

namespace {

// Waits up to ten seconds for `done`.
template <class Done>
bool WaitFor(Done done)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

// The server frames at which the recording goes from silence to sound.
std::vector<std::int64_t> Onsets(const Tests::JackRecorder& recorder)
{
    std::vector<std::int64_t> onsets;
    const std::vector<float>& left = recorder.Left();
    for (std::size_t i = 0; i < left.size(); ++i)
        if (left[i] != 0.0f && (i == 0 || left[i - 1] == 0.0f))
            onsets.push_back(recorder.FirstFrame() + static_cast<std::int64_t>(i));
    return onsets;
}

class JackOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!_server.Available())
            GTEST_SKIP() << "no JACK server could be started here (jackd from jackd2 is needed)";
        _output.ChooseJack(true);
        ASSERT_EQ(_output.Acquire(), Platform::MmNoError);
        _acquired = true;
        ASSERT_TRUE(_output.PlaysThroughJack());
    }
    void TearDown() override
    {
        if (_acquired)
            _output.Release();
    }

    Tests::JackServer _server;
    Platform::AudioOutput _output;
    bool _acquired = false;
};

// Ticova as a JACK client: its ports are connected to the system's playback ports, it runs at the
// server's rate, and a click handed to the mixer for output frame f is heard on the server's frame
// FirstFrame() + f, on a grid that is not a whole number of frames. Cycles the server skipped on a
// busy machine (xruns) lose what fell in them but move no click: each one heard is on its frame.
TEST_F(JackOutputTest, EveryClickLandsOnItsServerFrame)
{
    EXPECT_EQ(_output.SampleRate(), Tests::JackServer::Rate);
    Tests::JackRecorder recorder(Tests::JackServer::Rate * 3);
    ASSERT_TRUE(recorder.Open());
    const Platform::JackOutput& jack = _output.Jack();
    EXPECT_EQ(jack.PortName(0), "Ticova:out_1");
    EXPECT_TRUE(recorder.Connected(jack.PortName(0), "system:playback_1"));
    EXPECT_TRUE(recorder.Connected(jack.PortName(1), "system:playback_2"));
    ASSERT_TRUE(recorder.Connect(jack.PortName(0), jack.MidiPortName()));
    recorder.StartRecording();
    ASSERT_TRUE(WaitFor([&] { return recorder.FirstFrame() != 0; }));

    std::vector<float> samples(2 * 64, 0.5f);
    const Platform::Sound click{samples.data(), 64};
    const double period = Tests::JackServer::Rate * 60.0 / 137.0;  // 21021.9 frames
    const std::int64_t first = _output.LeadFrame() + Tests::JackServer::Rate / 20;
    std::vector<std::int64_t> expected;
    for (int k = 0; k < 6; ++k) {
        const std::int64_t frame = first + std::llround(k * period);
        ASSERT_TRUE(_output.GetMixer().Play(&click, frame));
        expected.push_back(jack.FirstFrame() + frame);
    }
    ASSERT_TRUE(WaitFor([&] { return recorder.Full(); }));
    const std::vector<std::int64_t> onsets = Onsets(recorder);
    for (std::int64_t onset : onsets)
        EXPECT_NE(std::find(expected.begin(), expected.end(), onset), expected.end()) << "a click on frame " << onset;
    std::printf("[ JACK     ] %zu of %zu clicks heard, each on its server frame; %lld cycles skipped\n", onsets.size(),
                expected.size(), static_cast<long long>(_output.Underflows()));
    if (_output.Underflows() == 0)
        EXPECT_EQ(onsets, expected);
    else
        EXPECT_FALSE(onsets.empty()) << _output.Underflows() << " cycles skipped";
}

}  // namespace

namespace {

std::vector<std::string> notices;

// With no JACK server, the JACK output falls back to the sound device and says so.
TEST(JackOutput, NoServerFallsBackToTheDeviceWithANotice)
{
    ::setenv("JACK_DEFAULT_SERVER", ("ticova-test-none-" + std::to_string(::getpid())).c_str(), 1);
    Platform::AudioOutput output;
    output.SetNotice([](const char* message) { notices.emplace_back(message); });
    output.ChooseJack(true);
    if (output.Acquire() == Platform::MmNoError) {
        EXPECT_FALSE(output.PlaysThroughJack());
        output.Release();
    }
    ::unsetenv("JACK_DEFAULT_SERVER");
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("No JACK server"), std::string::npos) << notices[0];
}

}  // namespace
