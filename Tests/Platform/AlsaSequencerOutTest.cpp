#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <poll.h>

#include <string>
#include <vector>

#include "Platform/AlsaSequencerOut.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/MidiOut.h"
#include "Platform/MultimediaResult.h"
#include "Platform/SoundFontSynth.h"

namespace {

// Through a real sequencer: a program subscribed to Ticova's port gets the note and its end on
// the channel sent, at the times they were scheduled for, not when they were sent.
TEST(AlsaSequencerOut, SubscriberGetsScheduledNotesOnTime)
{
    if (!Platform::AlsaSequencerOut::Available())
        GTEST_SKIP() << "no ALSA sequencer on this machine (" << Platform::AlsaSequencerOut::DevicePath << ")";
    Platform::AlsaSequencerOut out;
    ASSERT_TRUE(out.Open());
    snd_seq_t* reader = nullptr;
    ASSERT_GE(snd_seq_open(&reader, "default", SND_SEQ_OPEN_INPUT, 0), 0);
    const int port = snd_seq_create_simple_port(reader, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    ASSERT_GE(snd_seq_connect_from(reader, port, out.Client(), out.Port()), 0);

    const std::int64_t due = Platform::Clock::Now() + 100'000'000;
    const std::uint8_t on[3] = {0x92, 37, 100}, off[3] = {0x82, 37, 0};
    ASSERT_TRUE(out.Send(on, due));
    ASSERT_TRUE(out.Send(off, due + 20'000'000));
    for (int expected = 0; expected < 2; ++expected) {
        pollfd descriptor{};
        snd_seq_poll_descriptors(reader, &descriptor, 1, POLLIN);
        ASSERT_EQ(poll(&descriptor, 1, 2000), 1);
        snd_seq_event_t* event = nullptr;
        ASSERT_GE(snd_seq_event_input(reader, &event), 0);
        const std::int64_t arrived = Platform::Clock::Now();
        EXPECT_EQ(event->type, expected == 0 ? SND_SEQ_EVENT_NOTEON : SND_SEQ_EVENT_NOTEOFF);
        EXPECT_EQ(event->data.note.channel, 2);
        EXPECT_EQ(event->data.note.note, 37);
        const std::int64_t scheduled = due + expected * 20'000'000;
        EXPECT_GE(arrived, scheduled - 2'000'000);
        EXPECT_LT(arrived, scheduled + 10'000'000);
    }
    snd_seq_close(reader);
}

}  // namespace

namespace {

std::vector<std::string> notices;

// Notes meant for a sequencer the machine does not have go to the built-in synthesizer, and the
// log says why.
TEST(AlsaSequencerOut, MissingSequencerLeavesTheBuiltInSynthesizerWithANotice)
{
    if (Platform::AlsaSequencerOut::Available())
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    notices.clear();
    Platform::AudioOutput output;
    output.UseNullOutput(true);
    output.SetNotice([](const char* message) { notices.emplace_back(message); });
    Platform::MidiOut::SetTarget(Platform::MidiOut::Target::Alsa, 5);
    Platform::MidiOut::Handle midi = nullptr;
    const std::uint32_t result = Platform::MidiOut::Open(&midi, output, Platform::SoundFontSynth::Instance());
    Platform::MidiOut::SetTarget(Platform::MidiOut::Target::Synth, Platform::MidiOut::DefaultChannel);
    if (result == Platform::MmNoError) {
        EXPECT_EQ(Platform::MidiOut::Close(midi), Platform::MmNoError);
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("No ALSA sequencer"), std::string::npos) << notices[0];
}

}  // namespace
