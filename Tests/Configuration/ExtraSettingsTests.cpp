#include <gtest/gtest.h>

#include <string>

#include "Configuration/ExtraSettings.h"
#include "ConfigurationTestSupport.h"
#include "Platform/File.h"
#include "Support/TestEnvironment.h"
#include "System/ILog.h"

namespace {

using Configuration::ExtraSettings;

class ExtraSettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = Tests::MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "Ticova.extras";
    }
    std::string path;
    Tests::RecordingLog log;
};

TEST_F(ExtraSettingsFile, RoundTripKeepsEveryValueAndKeysOfOtherCopies)
{
    ExtraSettings settings(path);
    ASSERT_TRUE(settings.Load());  // missing: defaults, no failure
    EXPECT_EQ(settings.Number("countin.beats", 4, 0, 8), 4);
    settings.SetNumber("countin.beats", -3);
    settings.SetFlag("flash.mute", true);
    settings.SetText("setlist.1.name", "Gig \\ list\n\ttwo = \xC3\xA9 # not a comment");
    EXPECT_FALSE(settings.SetText("bad key", "x"));
    EXPECT_FALSE(settings.SetText("k", "\xC3"));  // broken UTF-8 would not read back
    ASSERT_TRUE(settings.Save());
    EXPECT_FALSE(Platform::File::Exists(path + ".tmp"));

    // A key of a newer copy is kept through this one's load and save.
    Tests::WriteBytes(path, Tests::ReadBytes(path) + "future.key = 7\n");
    ExtraSettings again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Number("countin.beats", 0, -8, 8), -3);
    EXPECT_EQ(again.Number("countin.beats", 4, 0, 8), 4);  // out of range: the fallback
    EXPECT_TRUE(again.Flag("flash.mute", false));
    EXPECT_EQ(again.Text("setlist.1.name"), "Gig \\ list\n\ttwo = \xC3\xA9 # not a comment");
    EXPECT_EQ(again.Keys("setlist."), std::vector<std::string>{"setlist.1.name"});
    again.RemovePrefix("setlist.");
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(Tests::ReadBytes(path).find("setlist"), std::string::npos);
    EXPECT_NE(Tests::ReadBytes(path).find("future.key = 7\n"), std::string::npos);
}

TEST_F(ExtraSettingsFile, DamagedLinesAreSkippedAndTheFileKeptBeforeItIsWrittenOver)
{
    const std::string damaged =
        "\xEF\xBB\xBF# c\na = 1\nno equals sign\nb c = 2\nd = bad\\q escape\ne=\xFF\n f = 5 \r\n";
    Tests::WriteBytes(path, damaged);
    ExtraSettings settings(path);
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.Number("a", 0, 0, 9), 1);
    EXPECT_EQ(settings.Number("f", 0, 0, 9), 5);
    EXPECT_EQ(settings.Keys(""), (std::vector<std::string>{"a", "f"}));
    EXPECT_EQ(log.Entries().size(), 5u);
    EXPECT_TRUE(log.Has(System::Warn, "line 3 skipped (no equals sign)"));
    EXPECT_TRUE(log.Has(System::Warn, "kept as " + path + ".bak"));
    EXPECT_EQ(settings.LoadReport().skippedLines, 4);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(Tests::ReadBytes(path + ".bak"), damaged);

    // A file that is not a regular one (or too large) is not read: defaults, and a log line.
    Platform::File::Remove(path);
    Tests::WriteBytes(path, std::string(ExtraSettings::SizeLimit + 1, '#'));
    EXPECT_FALSE(settings.Load());
    EXPECT_TRUE(settings.Keys("").empty());
}

}  // namespace
