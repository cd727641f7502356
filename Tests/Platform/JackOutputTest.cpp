#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Platform/AudioOutput.h"
#include "Platform/JackOutput.h"
#include "Platform/MidiOut.h"
#include "Platform/MultimediaResult.h"
#include "Platform/SoundFontSynth.h"
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

    // Sounds the output plays: they outlive it.
    std::vector<float> _samples = std::vector<float>(2 * 64, 0.5f);
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

    const Platform::Sound click{_samples.data(), 64};
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
    notices.clear();
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

// The MIDI engine's notes to another synthesizer through the JACK MIDI port: each note-on on the
// chosen channel with its velocity, on the server frame of its output frame, and its note-off a
// note's length later.
TEST_F(JackOutputTest, MidiNotesLeaveTheMidiPortOnTheirFrames)
{
    Tests::JackRecorder recorder(Tests::JackServer::Rate);
    ASSERT_TRUE(recorder.Open());
    const Platform::JackOutput& jack = _output.Jack();
    EXPECT_EQ(jack.MidiPortName(), "Ticova:midi_out");
    ASSERT_TRUE(recorder.Connect(jack.PortName(0), jack.MidiPortName()));
    recorder.StartRecording();
    ASSERT_TRUE(WaitFor([&] { return recorder.FirstFrame() != 0; }));

    Platform::MidiOut::SetTarget(Platform::MidiOut::Target::Jack, 3);
    Platform::MidiOut::Handle midi = nullptr;
    ASSERT_EQ(Platform::MidiOut::Open(&midi, _output, Platform::SoundFontSynth::Instance()), Platform::MmNoError);
    Platform::MidiOut::SetTarget(Platform::MidiOut::Target::Synth, Platform::MidiOut::DefaultChannel);
    const std::int64_t underflows = _output.Underflows();
    const std::int64_t first = _output.LeadFrame() + 1000;
    const std::int64_t second = first + 12345;
    EXPECT_EQ(Platform::MidiOut::ShortMessage(midi, 0x99u | 37u << 8 | 100u << 16, second), Platform::MmNoError);
    EXPECT_EQ(Platform::MidiOut::ShortMessage(midi, 0x99u | 76u << 8 | 64u << 16, first), Platform::MmNoError);
    ASSERT_TRUE(WaitFor([&] { return recorder.Full(); }));
    EXPECT_EQ(Platform::MidiOut::Close(midi), Platform::MmNoError);
    if (_output.Underflows() != underflows)
        GTEST_SKIP() << _output.Underflows() - underflows
                     << " cycles skipped on a busy machine: the recording is not complete";

    const auto length = static_cast<std::int64_t>(Platform::MidiOut::NoteSeconds * Tests::JackServer::Rate);
    const std::int64_t base = jack.FirstFrame();
    const std::vector<Tests::JackRecorder::MidiEvent> events = recorder.Events();
    ASSERT_EQ(events.size(), 4u);
    const std::int64_t frames[4] = {base + first, base + first + length, base + second, base + second + length};
    const std::uint8_t bytes[4][3] = {{0x92, 76, 64}, {0x82, 76, 0}, {0x92, 37, 100}, {0x82, 37, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(events[i].frame, frames[i]) << i;
        EXPECT_EQ(events[i].bytes[0], bytes[i][0]) << i;
        EXPECT_EQ(events[i].bytes[1], bytes[i][1]) << i;
        EXPECT_EQ(events[i].bytes[2], bytes[i][2]) << i;
    }
}

}  // namespace
