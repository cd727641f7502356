#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/MidiOut.h"
#include "Platform/MultimediaResult.h"
#include "Platform/SoundFontSynth.h"

namespace {

using Platform::MidiOut;

std::uint32_t NoteOn(int note, int velocity)
{
    return 0x99u | static_cast<std::uint32_t>(note) << 8 | static_cast<std::uint32_t>(velocity) << 16;
}

// The first frame of the capture that is not silent, or -1.
std::int64_t FirstSound(const std::vector<float>& capture, std::int64_t frames, std::int64_t from = 0)
{
    for (std::int64_t f = from; f < frames; ++f)
        if (capture[2 * f] != 0.0f || capture[2 * f + 1] != 0.0f)
            return f;
    return -1;
}

class MidiOutOnNullOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(Platform::SoundFontSynth::Instance().SoundFontFile().c_str(), R_OK) != 0)
            GTEST_SKIP() << "no General MIDI SoundFont installed";
        _output.UseNullOutput(true);
        _output.SetNullCapture(&_capture);
        ASSERT_EQ(MidiOut::Open(&_midi, _output, Platform::SoundFontSynth::Instance()), Platform::MmNoError);
    }
    void TearDown() override
    {
        if (_midi) {
            EXPECT_EQ(MidiOut::Close(_midi), Platform::MmNoError);
        }
    }
    void WaitForFrames(std::int64_t frames)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (_output.FramesCaptured() < frames && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GE(_output.FramesCaptured(), frames);
    }

    Platform::AudioOutput _output;
    std::vector<float> _capture = std::vector<float>(2 * 44100 * 5);
    MidiOut::Handle _midi = nullptr;
};

// A prepared note sounds from exactly the frame its caller names.
TEST_F(MidiOutOnNullOutput, APreparedNoteSoundsFromItsFrame)
{
    ASSERT_EQ(MidiOut::Prepare(_midi, 38, 100), Platform::MmNoError);
    const std::int64_t expected = _output.LeadFrame() + 4410;
    EXPECT_EQ(MidiOut::ShortMessage(_midi, NoteOn(38, 100), expected), Platform::MmNoError);
    ASSERT_LT(expected + 2000, 5 * 44100);
    WaitForFrames(expected + 2000);
    EXPECT_EQ(FirstSound(_capture, expected + 2000), expected);
    float peak = 0;
    for (std::int64_t f = expected; f < expected + 2000; ++f)
        peak = std::max(peak, std::fabs(_capture[2 * f]));
    EXPECT_GT(peak, 0.05f);
}

// A note nobody prepared is rendered off the calling thread and still lands on its frame when its
// time has not passed yet; a note-on at velocity 0 and other channels' messages stay silent.
TEST_F(MidiOutOnNullOutput, AnUnpreparedNoteIsRenderedOnFirstUseAndSilentMessagesStaySilent)
{
    const std::int64_t expected = _output.LeadFrame() + 44100;
    EXPECT_EQ(MidiOut::ShortMessage(_midi, NoteOn(56, 0), expected - 13230), Platform::MmNoError);
    EXPECT_EQ(MidiOut::ShortMessage(_midi, 0x90u | 60u << 8 | 100u << 16, expected - 13230),
              Platform::MmNoError);  // channel 1
    EXPECT_EQ(MidiOut::ShortMessage(_midi, NoteOn(56, 91), expected), Platform::MmNoError);
    ASSERT_LT(expected + 100, 5 * 44100);
    WaitForFrames(expected + 100);
    EXPECT_EQ(FirstSound(_capture, expected + 100), expected);
}

TEST(MidiOut, RefusesANullHandleAndAMessageWithoutStatus)
{
    EXPECT_EQ(MidiOut::ShortMessage(nullptr, NoteOn(38, 100)), Platform::MmInvalidHandle);
    EXPECT_EQ(MidiOut::Close(nullptr), Platform::MmInvalidHandle);
    EXPECT_EQ(MidiOut::Prepare(nullptr, 38, 100), Platform::MmInvalidHandle);
    EXPECT_EQ(MidiOut::Open(nullptr), Platform::MmInvalidParameter);
    auto* notAHandle = reinterpret_cast<MidiOut::Handle>(alignof(MidiOut));
    EXPECT_EQ(MidiOut::ShortMessage(notAHandle, 0x26u), Platform::MmInvalidParameter);  // data byte first
}

}  // namespace
