#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Configuration/SongFile.h"
#include "ConfigurationTestSupport.h"
#include "Platform/File.h"
#include "Support/TestEnvironment.h"

namespace {

using Configuration::BeatLevel;
using Configuration::Song;
using Configuration::SongFile;
using Configuration::SongSection;

std::vector<Song> TwoSongs()
{
    SongSection verse;
    verse.label = "verse: the long one # not a comment";
    verse.bars = 8;
    verse.groups = {2, 2, 3};
    verse.unit = 8;
    verse.tempo = 120;
    verse.endTempo = 99.5;
    verse.accents = {BeatLevel::Accent, BeatLevel::Soft, BeatLevel::Normal, BeatLevel::Silent};
    verse.subdivision = 3;
    verse.volume = 70;
    verse.playBars = 2;
    verse.muteBars = 1;
    SongSection outro;
    outro.bars = SongSection::Endless;
    outro.groups = {6};
    outro.compound = true;
    outro.tempo = outro.endTempo = 60;
    return {Song{"Friday opener", {verse, outro}}, Song{"Übung", {SongSection{}}}};
}

class SongFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path =
            Tests::MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "Ticova-songs.txt";
    }
    std::string path;
    Tests::RecordingLog log;
};

TEST_F(SongFileTest, SongsComeBackAsSavedAndTheFileAsItWasIsKept)
{
    SongFile file(path);
    Tests::WriteBytes(path, "song = older\nsection = bars=1\n");
    ASSERT_TRUE(file.Save(TwoSongs()));
    ASSERT_TRUE(file.Save(TwoSongs()));
    EXPECT_EQ(Tests::ReadBytes(path + ".bak"), "song = older\nsection = bars=1\n")
        << "the file as it was before the first save";

    std::vector<Song> songs;
    std::vector<SongFile::Damage> damaged;
    ASSERT_TRUE(SongFile(path).Load(songs, damaged));
    EXPECT_TRUE(damaged.empty());
    EXPECT_EQ(songs, TwoSongs());
    // No file yet is no songs.
    EXPECT_TRUE(SongFile(path + ".none").Load(songs, damaged));
    EXPECT_TRUE(songs.empty());
}

TEST_F(SongFileTest, ADamagedSongIsLostAloneAndNamed)
{
    std::string text = SongFile::Write(TwoSongs());
    text.insert(text.find("section"), "section = bars=4 tempo=fast\n");  // into the first song
    text += "stray line\nsong = empty\nsong = last\nsection = bars=99999 tempo=1000 meter=3/4\n";
    std::vector<Song> songs;
    const std::vector<SongFile::Damage> damaged = SongFile::Read(text, songs);
    EXPECT_EQ(damaged, (std::vector<SongFile::Damage>{{"Friday opener", 3}, {"Übung", 8}, {"empty", 0}}));
    ASSERT_EQ(songs.size(), 1u);
    EXPECT_EQ(songs[0].name, "last");
    // Values out of range are brought into it: the song is not damaged.
    EXPECT_EQ(songs[0].sections[0].bars, SongSection::MaxBars);
    EXPECT_EQ(songs[0].sections[0].tempo, SongSection::MaxTempo);
    EXPECT_EQ(songs[0].sections[0].BeatsPerBar(), 3);
}

}  // namespace
