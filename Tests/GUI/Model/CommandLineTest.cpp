#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Configuration/FileConfiguration.h"
#include "GUI/Model/CommandLine.h"
#include "Platform/Text.h"

namespace {

using GUI::CommandLine;

CommandLine Parse(std::vector<std::string> arguments)
{
    return CommandLine::Parse(arguments);
}

TEST(CommandLineTest, ReadsEveryOptionInBothSpellingsAndLeavesOthersToQt)
{
    const CommandLine line =
        Parse({"--bpm", "132", "--preset=Waltz in 3", "--start", "--link", "-platform", "offscreen"});
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.bpm, 132);
    EXPECT_EQ(line.preset, "Waltz in 3");
    EXPECT_TRUE(line.start);
    EXPECT_TRUE(line.link);
    EXPECT_FALSE(Parse({}).link);
    EXPECT_NE(CommandLine::Usage().find("--link"), std::string::npos);
    EXPECT_EQ(line.others, (std::vector<std::string>{"-platform", "offscreen"}));
    EXPECT_TRUE(line.HasRemoteCommands());

    const CommandLine exporting = Parse({"--export", "out.flac", "--bars=16"});
    EXPECT_TRUE(exporting.error.empty()) << exporting.error;
    EXPECT_EQ(exporting.exportFile, "out.flac");
    EXPECT_EQ(exporting.bars, 16.0);
    EXPECT_EQ(Parse({"--export=a.wav", "--minutes", "2.5"}).minutes, 2.5);
    EXPECT_EQ(Parse({"--export", "a.wav", "--tempo-map", "song.map"}).tempoMap, "song.map");
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_FALSE(Parse({}).HasRemoteCommands());
}

TEST(CommandLineTest, RefusesWhatItCannotFollowWithAReason)
{
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--bpm"},       // no value
             {"--bpm", "9"},  // out of range
             {"--bpm", "401"},
             {"--bpm", "120x"},
             {"--bpm", ""},
             {"--preset", ""},
             {"--preset", std::string(80, 'a')},  // longer than a preset name
             {"--preset", "bad\xff"},             // not UTF-8
             {"--export", "a.wav"},               // no length
             {"--bars", "4"},                     // a length without a file
             {"--export", "a.wav", "--bars", "4", "--minutes", "1"},
             {"--export", "a.wav", "--bars", "0"},
             {"--export", "a.wav", "--minutes", "nan"},
             {"--export", "a.wav", "--bars", "4", "--start"},
             {"--tempo-map", "song.map"},  // a map without a file
             {"--export", "a.wav", "--tempo-map", "m", "--bars", "4"},
             {"--export", "a.mp3", "--bars", "4"},  // a kind of file that is not written
             {"--export", "a", "--bars", "4"},
             {"--export", "a.wav.ogg", "--bars", "4"},
             {"--frobnicate"},
         }) {
        EXPECT_FALSE(Parse(bad).error.empty()) << bad[0] << (bad.size() > 1 ? " " + bad[1] : "");
    }
}

TEST(CommandLineTest, ExportNamesItsKindOfFileAndAPresetMustExist)
{
    EXPECT_TRUE(Parse({"--export", "A.WAV", "--bars", "4"}).error.empty());
    EXPECT_TRUE(Parse({"--export", "take.Flac", "--bars", "4"}).error.empty());
    EXPECT_NE(Parse({"--export", "a.mp3", "--bars", "4"}).error.find(".wav or .flac"), std::string::npos);

    Configuration::FileConfiguration configuration("/nonexistent/Ticova.conf");
    Configuration::ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"Warm-up");
    ASSERT_TRUE(configuration.AddPreset(preset));
    EXPECT_EQ(Parse({"--preset", "Warm-up", "--start"}).Refusal(configuration), "");
    EXPECT_EQ(Parse({"--bpm", "90"}).Refusal(configuration), "");
    EXPECT_EQ(Parse({"--preset", "Nonexistent"}).Refusal(configuration), "there is no preset \"Nonexistent\"");
}

TEST(CommandLineTest, TheForwardedMessageCarriesTheOptionsAndNothingMalformedPasses)
{
    const CommandLine line = Parse({"--preset", "Über 7/8", "--bpm", "99", "--start"});
    const std::string message = line.RemoteMessage();
    ASSERT_EQ(message.substr(message.size() - 2), "\n\n");
    CommandLine read;
    ASSERT_TRUE(CommandLine::ParseRemoteMessage(message.substr(0, message.size() - 1), read));
    EXPECT_EQ(read.preset, "Über 7/8");
    EXPECT_EQ(read.bpm, 99);
    EXPECT_TRUE(read.start);
    ASSERT_TRUE(CommandLine::ParseRemoteMessage("raise\n", read));
    EXPECT_FALSE(read.HasRemoteCommands());

    for (const char* bad :
         {"", "raise", "bpm 120\n", "raise\nbpm 120", "raise\nbpm 1000\n", "raise\nbpm 12 0\n", "raise\nstart\nstart\n",
          "raise\nbpm 100\nbpm 120\n", "raise\nquit\n", "raise\npreset \n", "raise\n\n"}) {
        EXPECT_FALSE(CommandLine::ParseRemoteMessage(bad, read)) << bad;
        EXPECT_FALSE(read.HasRemoteCommands()) << bad;
    }
    EXPECT_FALSE(CommandLine::ParseRemoteMessage("raise\n" + std::string(2000, 'x') + "\n", read));
}

}  // namespace
