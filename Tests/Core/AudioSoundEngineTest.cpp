#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/AudioSoundEngine.h"
#include "Core/SoundEngines.h"
#include "Platform/AudioOutput.h"
#include "Platform/Text.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"
#include "System/MultimediaError.h"

namespace {

using Configuration::ConfigurationData;
using Core::AudioSoundEngine;
using Tests::WavFileBuilder;

TEST(AudioSoundEngineSizing, PlayersFollowTempoAndTheSubdivisionThatApplies)
{
    ConfigurationData settings;
    settings.Bpm = 120;
    settings.Subdivision1 = 4;
    EXPECT_EQ(AudioSoundEngine::RequestedPlayers(settings), 3);
    settings.Bpm = 400;
    settings.Subdivision1 = 8;
    EXPECT_EQ(AudioSoundEngine::RequestedPlayers(settings), 6);  // a 250,000-byte file then has 8

    // Compound bars count as a subdivision of 3, whatever Subdivision1 says.
    settings.Bpm = 120;
    settings.CompoundTime = 1;
    settings.BeatType = 1;
    EXPECT_EQ(AudioSoundEngine::RequestedPlayers(settings), 2);
    settings.BeatType = 2;
    EXPECT_EQ(AudioSoundEngine::RequestedPlayers(settings), 2);
    settings.BeatType = 0;  // a simple beat has no compound bars
    EXPECT_EQ(AudioSoundEngine::RequestedPlayers(settings), 4);
    // A custom rhythm counts its own subdivision.
    settings.BeatType = 3;
    settings.CrSubdivision = 12;
    EXPECT_EQ(AudioSoundEngine::RequestedPlayers(settings), 5);
}

class AudioSoundEngineOnNullOutput : public ::testing::Test {
protected:
    void SetUp() override { Platform::AudioOutput::Instance().UseNullOutput(true); }
    void TearDown() override { Platform::AudioOutput::Instance().UseNullOutput(false); }

    void SetFile(int index, const std::string& name, const WavFileBuilder& builder)
    {
        const std::string path = folder + name;
        ASSERT_TRUE(builder.Save(path));
        Platform::Text::Utf8ToUtf16(path, settings.File[index]);
    }
    static WavFileBuilder Click(std::size_t bytes, std::uint32_t rate = 44100)
    {
        WavFileBuilder::Format format;
        format.samplesPerSec = rate;
        WavFileBuilder builder(format);
        builder.Data(std::vector<unsigned char>(bytes, 0x10));
        return builder;
    }

    std::string folder = Tests::MakeTempFolder("audioengine");
    ConfigurationData settings;
    AudioSoundEngine engine;
};

TEST_F(AudioSoundEngineOnNullOutput, PreparesEveryFileThatIsSetAndPlaysBySoundIndex)
{
    settings.Bpm = 400;
    settings.Subdivision1 = 8;
    SetFile(0, "first.wav", Click(30000));
    SetFile(4, "long.wav", Click(250000 - 44));
    ASSERT_TRUE(engine.Initialise(settings));
    EXPECT_EQ(engine.File(0).PlayersInUse(), 6);
    EXPECT_EQ(engine.File(4).PlayersInUse(), 8);
    EXPECT_EQ(engine.File(1).PlayersInUse(), 0);

    EXPECT_TRUE(engine.PlaySound(100, 4));
    EXPECT_EQ(engine.File(4).LastUsed(), 0);
    EXPECT_TRUE(engine.PlaySound(100, 0));
    EXPECT_TRUE(engine.PlaySound(100, 0));
    EXPECT_EQ(engine.File(0).LastUsed(), 1);
    EXPECT_EQ(engine.GetLastResult(), 0u);
    engine.Close();
}

TEST_F(AudioSoundEngineOnNullOutput, SoundsWithoutAFileFailWithMessageCode)
{
    Tests::RecordingLog log;
    SetFile(0, "only.wav", Click(1000));
    ASSERT_TRUE(engine.Initialise(settings));
    EXPECT_FALSE(engine.PlaySound(127, 1));
    EXPECT_EQ(engine.GetLastResult(), System::NoAudioFileResult);
    EXPECT_TRUE(engine.PlaySound(127, 0));
    EXPECT_EQ(engine.GetLastResult(), 0u);
    // What the metronome asks before the first click.
    EXPECT_TRUE(engine.CanPlay(0));
    EXPECT_FALSE(engine.CanPlay(1));
    EXPECT_FALSE(engine.CanPlay(38));
    // An instrument number meant for the MIDI engine is no file index.
    EXPECT_FALSE(engine.PlaySound(127, 38));
    EXPECT_EQ(engine.GetLastResult(), System::NoAudioFileResult);
    EXPECT_FALSE(engine.PlaySound(127, -1));
    EXPECT_EQ(log.entries.size(), 3u);
    engine.Close();
    // After Close nothing plays until the next Initialise.
    EXPECT_FALSE(engine.PlaySound(127, 0));
    EXPECT_EQ(engine.GetLastResult(), System::NoAudioFileResult);
}

TEST_F(AudioSoundEngineOnNullOutput, RejectedOrMissingFilesStopTheStartBeforeAnyPlayerOpens)
{
    Tests::RecordingLog log;
    EXPECT_FALSE(engine.Initialise(settings));  // no file at all
    SetFile(0, "good.wav", Click(1000));
    SetFile(7, "fast.wav", Click(1000, 48000));
    EXPECT_FALSE(engine.Initialise(settings));
    EXPECT_EQ(engine.File(0).PlayersInUse(), 0);
    Platform::Text::Utf8ToUtf16(folder + "gone.wav", settings.File[7]);
    EXPECT_FALSE(engine.Initialise(settings));
    EXPECT_EQ(engine.File(0).PlayersInUse(), 0);
    // A large file is usable.
    SetFile(7, "large.wav", Click(1100000));
    EXPECT_TRUE(engine.Initialise(settings));
    EXPECT_EQ(engine.File(7).PlayersInUse(), 10 + 2);
    engine.Close();
    EXPECT_EQ(log.entries.size(), 3u);
}

TEST_F(AudioSoundEngineOnNullOutput, CloseThenInitialiseReusesArraysAndSamples)
{
    SetFile(2, "reuse.wav", Click(40000));
    ASSERT_TRUE(engine.Initialise(settings));
    const Core::WavePlayer* players = engine.File(2).Players();
    const unsigned char* samples = engine.File(2).SampleData();
    ASSERT_TRUE(engine.PlaySound(90, 2));
    engine.Close();
    EXPECT_FALSE(players[0].IsOpen());

    ASSERT_TRUE(engine.Initialise(settings));
    EXPECT_EQ(engine.File(2).Players(), players);
    EXPECT_EQ(engine.File(2).SampleData(), samples);
    EXPECT_TRUE(players[0].IsOpen());
    EXPECT_EQ(engine.File(2).LastUsed(), -1);
    EXPECT_TRUE(engine.PlaySound(90, 2));
    EXPECT_EQ(engine.File(2).LastUsed(), 0);

    // A second start without a stop in between closes the running players first.
    ASSERT_TRUE(engine.Initialise(settings));
    EXPECT_EQ(engine.File(2).Players(), players);
    engine.Close();
}

}  // namespace

namespace {

TEST(SoundEngines, TypeOneIsTheOneAudioFileEngine)
{
    Core::ISoundEngine* audioFile = Core::SoundEngines::Get(Core::SoundEngines::AudioFile);
    ASSERT_NE(audioFile, nullptr);
    EXPECT_NE(dynamic_cast<AudioSoundEngine*>(audioFile), nullptr);
    EXPECT_EQ(Core::SoundEngines::Get(1), audioFile);
    EXPECT_NE(Core::SoundEngines::Get(0), audioFile);
}

}  // namespace
