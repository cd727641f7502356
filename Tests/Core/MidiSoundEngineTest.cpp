#include <gtest/gtest.h>

#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "../Support/SoundCapture.h"
#include "Configuration/ConfigurationData.h"
#include "Core/MidiSoundEngine.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "Support/RecordingLog.h"

namespace {

using Core::MidiSoundEngine;
using Core::PercussionTable;

TEST(PercussionTable, CoversEveryGeneralMidiPercussionKeyOnce)
{
    std::set<int> notes;
    for (std::uint32_t row = 0; row < PercussionTable::Count; ++row) {
        notes.insert(PercussionTable::Note(row));
        EXPECT_LT(std::string(PercussionTable::Row(row).name).size(), 64u);
    }
    EXPECT_EQ(notes.size(), 47u);
    EXPECT_EQ(*notes.begin(), 35);
    EXPECT_EQ(*notes.rbegin(), 81);
    EXPECT_STREQ(PercussionTable::Row(0).name, "Acoustic Bass Drum");
    EXPECT_EQ(PercussionTable::Note(0), 35);
    EXPECT_EQ(PercussionTable::Note(1), 38);  // the default instrument, "Acoustic Snare"
    EXPECT_STREQ(PercussionTable::Row(17).name, "Hi Mid Tom");
    EXPECT_EQ(PercussionTable::Note(17), 48);
    EXPECT_STREQ(PercussionTable::Row(25).name, "Low Floor Tom");
    EXPECT_EQ(PercussionTable::Note(25), 41);
    EXPECT_STREQ(PercussionTable::Row(37).name, "Pedal Hi-hat");
    EXPECT_EQ(PercussionTable::Note(37), 44);
    EXPECT_STREQ(PercussionTable::Row(46).name, "Vibraslap");
    EXPECT_EQ(PercussionTable::Note(46), 58);
    // A damaged setting plays the default instrument instead of reading past the table.
    EXPECT_EQ(PercussionTable::Note(47), 38);
    EXPECT_EQ(PercussionTable::Note(0xFFFFFFFFu), 38);
}

TEST(MidiSoundEngine, PacksANoteOnForChannelTenAndComputesVelocities)
{
    EXPECT_EQ(MidiSoundEngine::PackNoteOn(63, 38), 0x3F2699u);
    EXPECT_EQ(MidiSoundEngine::PackNoteOn(127, 58), 0x7F3A99u);
    EXPECT_EQ(MidiSoundEngine::PackNoteOn(0, 35), 0x002399u);

    Configuration::ConfigurationData settings;
    settings.Volume[3] = 127;
    settings.GlobalVolume = 50;
    EXPECT_EQ(MidiSoundEngine::VoiceVelocity(settings, 3), 63);
    settings.GlobalVolume = 0;
    EXPECT_EQ(MidiSoundEngine::VoiceVelocity(settings, 3), 0);
    settings.GlobalVolume = 100;
    settings.Volume[3] = 99;
    EXPECT_EQ(MidiSoundEngine::VoiceVelocity(settings, 3), 99);
}

TEST(SoundEngines, LookupGivesTheOneMidiEngineAndNothingForUnknownTypes)
{
    Core::ISoundEngine* midi = Core::SoundEngines::Get(Core::SoundEngines::Midi);
    ASSERT_NE(midi, nullptr);
    EXPECT_EQ(Core::SoundEngines::Get(0), midi);
    EXPECT_NE(dynamic_cast<MidiSoundEngine*>(midi), nullptr);
    EXPECT_EQ(Core::SoundEngines::Get(7), nullptr);
}

TEST(MidiSoundEngine, PlayingWhileClosedIsRefusedAndLogged)
{
    Tests::RecordingLog log;
    MidiSoundEngine engine;
    EXPECT_FALSE(engine.PlaySound(100, 38));
    EXPECT_EQ(engine.GetLastResult(), 5u);
    const std::string entry = log.Only();
    EXPECT_EQ(
        entry.rfind("Multimedia error: Error calling MidiOut::ShortMessage\r\n\tFile: Src/Core/MidiSoundEngine", 0), 0u)
        << entry;
    EXPECT_NE(entry.find("\tError Code 5\r\n\tDescription: Device handle is invalid"), std::string::npos) << entry;
    EXPECT_TRUE(log.Has(System::Error, "Multimedia error"));
}

// Without a sound server or card the engine cannot start: it says why, in the log and in its
// result code, and returns at once.
TEST(MidiSoundEngine, InitialiseWithoutAnyOutputFailsWithALoggedReason)
{
    if (Tests::SoundServerAvailable() || access("/dev/snd", F_OK) == 0)
        GTEST_SKIP() << "this machine has sound output";
    Tests::RecordingLog log;
    MidiSoundEngine engine;
    Configuration::ConfigurationData settings;
    EXPECT_FALSE(engine.Initialise(settings));
    EXPECT_EQ(engine.GetLastResult(), 6u);
    const std::string entry = log.Only();
    EXPECT_NE(entry.find("Error calling MidiOut::Open"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\tError Code 6\r\n\tDescription: No device driver present"), std::string::npos) << entry;
    EXPECT_FALSE(engine.PlaySound(100, 38));  // still closed
    EXPECT_EQ(engine.GetLastResult(), 5u);
}

}  // namespace
