#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Configuration/FileConfiguration.h"
#include "ConfigurationTestSupport.h"
#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "Support/RecordFields.h"
#include "Support/TestEnvironment.h"

namespace {

using Configuration::ConfigurationData;
using Configuration::FileConfiguration;

const std::string Bom = "\xEF\xBB\xBF";

std::u16string U16(const std::string& utf8)
{
    return Platform::Text::Utf8ToUtf16(utf8);
}

std::string U8(const char16_t* text)
{
    return Platform::Text::Utf16ToUtf8(text);
}

class ConfigurationFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = Tests::MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        path = folder + "Ticova.conf";
        config = std::make_unique<FileConfiguration>(path);
    }

    // Loads `text` (given without the byte-order mark, which is put in front) into a fresh object.
    bool LoadText(const std::string& text, bool withMark = true)
    {
        Tests::WriteBytes(path, (withMark ? Bom : "") + text);
        return config->Load();
    }

    ConfigurationData& Current() { return config->GetCurrentSettings(); }

    std::string folder;
    std::string path;
    std::unique_ptr<FileConfiguration> config;
    Tests::RecordingLog log;
};

// Fills every settings field with values other than the defaults.
void FillAll(ConfigurationData& record, int seed)
{
    Platform::Text::Copy(record.Description, U16("Ünïcödé описание 🎵 " + std::to_string(seed)));
    record.SoundEngineType = 1;
    record.Bpm = 10 + static_cast<std::uint32_t>(seed) % 390;
    record.GlobalVolume = static_cast<std::uint32_t>(seed) % 101;
    record.BeatType = 3;
    record.BeatsPerBar = 7;
    Platform::Text::Copy(record.CustomPattern, u"3+3+3+2");
    Platform::Text::Copy(record.CustomRhythm, u"1:1,0,0;2:0,1,0");
    record.CrNumBars = 4;
    record.CrBeatsPerBar = 16;
    record.CrSubdivision = 8;
    record.CrCompoundTime = 1;
    record.DisplayedSubdiv = 3;
    record.DisplayDistinct = 0;
    record.Subdivision1 = 5;
    record.Subdivision2 = 6;
    record.CompoundTime = 1;
    record.VisualIndicator = 0;
    record.SpeedTrainer = 1;
    record.DurationsInBars = 1;
    record.Logarithmic = 1;
    record.Beep = 0;
    record.From = 0.123456789f;
    record.To = 0.987654321f;
    record.Step = 0.0001f;
    record.Duration = 999.999f;
    record.Warmup = 12.5f;
    record.Warmdown = 0.0f;
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        record.Instrument[voice] = static_cast<std::uint32_t>(46 - voice - seed % 3);
        record.Volume[voice] = static_cast<std::uint32_t>(voice * 10 + seed % 7);
        record.Size[voice] = static_cast<std::uint32_t>(voice % 8);
        record.Colour[voice] = static_cast<std::uint32_t>(11 - voice);
        Platform::Text::Copy(record.File[voice],
                             U16("/home/player/My Clicks/sound " + std::to_string(voice + 1) + " é.wav"));
    }
}

void ExpectSameSettings(const ConfigurationData& a, const ConfigurationData& b)
{
    EXPECT_EQ(U8(a.PresetName), U8(b.PresetName));
    EXPECT_EQ(U8(a.Description), U8(b.Description));
    EXPECT_EQ(U8(a.CustomPattern), U8(b.CustomPattern));
    EXPECT_EQ(U8(a.CustomRhythm), U8(b.CustomRhythm));
    for (auto field : Tests::RecordFields::Integers)
        EXPECT_EQ(a.*field, b.*field);
    // Floats travel with six decimals.
    for (auto field : Tests::RecordFields::Floats)
        EXPECT_NEAR(a.*field, b.*field, 0.5e-6 + 1e-4 * 1e-3 * std::abs(a.*field));
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        EXPECT_EQ(a.Instrument[voice], b.Instrument[voice]);
        EXPECT_EQ(a.Volume[voice], b.Volume[voice]);
        EXPECT_EQ(a.Size[voice], b.Size[voice]);
        EXPECT_EQ(a.Colour[voice], b.Colour[voice]);
        EXPECT_EQ(U8(a.File[voice]), U8(b.File[voice]));
    }
}

int Collect(const ConfigurationData& preset, void* context)
{
    static_cast<std::vector<const ConfigurationData*>*>(context)->push_back(&preset);
    return 0;
}

std::vector<const ConfigurationData*> Presets(FileConfiguration& store)
{
    std::vector<const ConfigurationData*> presets;
    store.EnumeratePresets(Collect, &presets);
    return presets;
}

TEST_F(ConfigurationFile, SaveAndLoadGiveBackSettingsLanguageAndPresets)
{
    FillAll(Current(), 1);
    Platform::Text::Copy(Current().PresetName, u"@");  // the settings dialog's marker
    Platform::Text::Copy(config->GetLanguage(), 32, u"Français");
    const int count = 300;
    for (int n = 0; n < count; ++n) {
        ConfigurationData preset;
        FillAll(preset, n);
        Platform::Text::Copy(preset.PresetName, U16("Prèset Ω " + std::to_string(n)));
        ASSERT_TRUE(config->AddPreset(preset));
    }
    ASSERT_TRUE(config->Save());
    EXPECT_EQ(Current().PresetName[0], u'@');  // saving (at any time) leaves the settings in memory as they are
    EXPECT_FALSE(Platform::File::Exists(path + ".tmp"));

    FileConfiguration loaded(path);
    ASSERT_TRUE(loaded.Load());
    // The current settings are written without their name; the description of the preset last
    // loaded stays with them.
    EXPECT_EQ(loaded.GetCurrentSettings().PresetName[0], u'\0');
    Current().PresetName[0] = 0;
    ExpectSameSettings(loaded.GetCurrentSettings(), Current());
    EXPECT_FLOAT_EQ(loaded.GetCurrentSettings().From, 0.123457f);
    EXPECT_EQ(U8(loaded.GetLanguage()), "Français");
    auto saved = Presets(*config);
    auto read = Presets(loaded);
    ASSERT_EQ(read.size(), static_cast<std::size_t>(count));
    for (std::size_t n = 0; n < read.size(); ++n)
        ExpectSameSettings(*read[n], *saved[n]);
    EXPECT_EQ(log.Entries().size(), 0u);
}

TEST_F(ConfigurationFile, WritesTheLayoutLineByLine)
{
    Platform::Text::Copy(config->GetLanguage(), 32, u"Deutsch");
    ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"Waltz");
    preset.From = 0.25f;
    config->AddPreset(preset);
    ASSERT_TRUE(config->Save());

    auto block = [](const std::string& from) {
        std::string text =
            "SoundEngineType = 0\r\nBpm = 120\r\nGlobalVolume = 100\r\nBeatType = 0\r\nBeatsPerBar = 4\r\n"
            "CustomPattern = \r\nCustomRhythm = \r\nCrNumBars = 1\r\nCrBeatsPerBar = 4\r\n"
            "CrSubdivision = 2\r\nCrCompoundTime = 0\r\nDisplayedSubdiv = 2\r\nDisplayDistinct = 1\r\n"
            "Subdivision1 = 0\r\nSubdivision2 = 0\r\nCompoundTime = 0\r\nVisualIndicator = 1\r\n"
            "SpeedTrainer = 0\r\nDurationsInBars = 0\r\nLogarithmic = 0\r\nBeep = 1\r\n"
            "From = " +
            from +
            "\r\nTo = 1.000000\r\nStep = 0.100000\r\nDuration = 5.000000\r\n"
            "Warmup = 1.000000\r\nWarmdown = 1.000000\r\n";
        for (const char* key : {"Instrument", "Volume", "Size", "Colour"})
            for (int voice = 1; voice <= 12; ++voice)
                text += key + std::to_string(voice) + " = " +
                    (std::string(key) == "Instrument"   ? "1"
                         : std::string(key) == "Volume" ? "127"
                         : std::string(key) == "Size"   ? "7"
                                                        : "11") +
                    "\r\n";
        for (int file = 1; file <= 12; ++file)
            text += "File" + std::to_string(file) + " = \r\n";
        return text;
    };
    std::string expected = Bom + "# Metronome Configuration File\r\nLanguage = Deutsch\r\n" + block("0.500000") +
        "Preset0 = Waltz\r\nDescription = \r\n" + block("0.250000");
    EXPECT_EQ(Tests::ReadBytes(path), expected);
}

TEST_F(ConfigurationFile, KeysIgnoreCaseAndNumbersOutsideTheirRangeAreIgnored)
{
    EXPECT_TRUE(LoadText("bpm=90\n"
                         "GLOBALVOLUME = 5\r\n"
                         "  \tBeatType = 2 # beats of a pattern\n"
                         "BeatsPerBar = 1\n"
                         "Instrument12 = 46\n"
                         "Volume1 = 128\n"
                         "Colour3 = +4xyz\n"
                         "Size2 = -1\n"
                         "SoundEngineType = 99999999999999999999999\n"));
    EXPECT_EQ(Current().Bpm, 90u);
    EXPECT_EQ(Current().GlobalVolume, 5u);
    EXPECT_EQ(Current().BeatType, 2u);
    EXPECT_EQ(Current().BeatsPerBar, 4u);
    EXPECT_EQ(Current().Instrument[11], 46u);
    EXPECT_EQ(Current().Volume[0], 127u);
    EXPECT_EQ(Current().Colour[2], 4u);
    EXPECT_EQ(Current().Size[1], 7u);
    EXPECT_EQ(Current().SoundEngineType, 0u);

    // A line that holds only an out-of-range number is still a line read.
    FileConfiguration other(path);
    Tests::WriteBytes(path, Bom + "Bpm = 5\n");
    EXPECT_TRUE(other.Load());
    EXPECT_EQ(other.GetCurrentSettings().Bpm, 120u);
}

TEST_F(ConfigurationFile, FloatsAreReadInTheirRangeWithADecimalPoint)
{
    EXPECT_TRUE(LoadText("From = 0.25\nTo = 1.5\nStep = 0.00005\nDuration = 1e2\nWarmup = abc\n"
                         "Warmdown = 1000.0\n"));
    EXPECT_FLOAT_EQ(Current().From, 0.25f);
    EXPECT_FLOAT_EQ(Current().To, 1.0f);
    EXPECT_FLOAT_EQ(Current().Step, 0.1f);
    EXPECT_FLOAT_EQ(Current().Duration, 100.0f);
    EXPECT_FLOAT_EQ(Current().Warmup, 0.0f);  // no number reads as 0, which is in range
    EXPECT_FLOAT_EQ(Current().Warmdown, 1000.0f);
    EXPECT_TRUE(LoadText("From = 0,75\nStep = nan\nDuration = 1e999\n"));
    EXPECT_FLOAT_EQ(Current().From, 0.0f);  // "0,75" reads as 0
    EXPECT_FLOAT_EQ(Current().Step, 0.1f);
    EXPECT_FLOAT_EQ(Current().Duration, 100.0f);
}

TEST_F(ConfigurationFile, EmptyValuesAndCommentsInValues)
{
    Current().GlobalVolume = 80;
    Platform::Text::Copy(Current().Description, u"kept");
    EXPECT_TRUE(LoadText("GlobalVolume =\n"
                         "Description =\n"
                         "# a comment line\n"
                         "\n"
                         "   \t\n"
                         "File1 = /music/click one.wav #the accent\n"
                         "File2 = /music/take#2.wav\n"
                         "File3 = /music/tab\tend.wav\n"
                         "CustomPattern = 3+3+2   \n"));
    EXPECT_EQ(Current().GlobalVolume, 0u);
    EXPECT_EQ(U8(Current().Description), "kept");
    EXPECT_EQ(U8(Current().File[0]), "/music/click one.wav ");
    EXPECT_EQ(U8(Current().File[1]), "/music/take");
    EXPECT_EQ(U8(Current().File[2]), "/music/tab");
    EXPECT_EQ(U8(Current().CustomPattern), "3+3+2   ");
}

TEST_F(ConfigurationFile, TextsAreCutToTheirFields)
{
    std::string description(300, 'd');
    std::string path771(771, 'p');
    std::string language(40, 'L');
    EXPECT_TRUE(LoadText("Description = " + description + "\nFile12 = " + path771 + "\nLanguage = " + language +
                         "\nCustomRhythm = é€\n"));
    EXPECT_EQ(U8(Current().Description), std::string(255, 'd'));
    EXPECT_EQ(U8(Current().File[11]), path771);
    EXPECT_EQ(U8(config->GetLanguage()), std::string(31, 'L'));
    EXPECT_EQ(U8(Current().CustomRhythm), "é€");
}

TEST_F(ConfigurationFile, BadLinesStopTheReadingAndKeepWhatCameBefore)
{
    struct Case {
        std::string line;
        const char* message;  // nullptr: stops without an entry
    };
    const Case cases[] = {
        {"Bpm: 90", "Expected equals sign after key 'Bpm' in configuration file"},
        {"Bpm", "Expected equals sign after key 'Bpm' in configuration file"},
        {"Bpm\t= 90", "Expected equals sign after key 'Bpm' in configuration file"},
        {std::string(64, 'k') + " = 1", "Invalid length for key in configuration file"},
        {std::string(63, 'k') + " = 1", nullptr},
        {"File1 = " + std::string(772, 'x'), "Invalid length for key File1 in configuration file"},
        {"Tempo = 90", nullptr},
        {"PresetName = x", nullptr},
        {"preset0 = Rock", nullptr},
        {"Preset1 = Rock", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 40));
        Tests::RecordingLog caseLog;
        FileConfiguration fresh(path);
        Tests::WriteBytes(path, Bom + "Bpm = 91\n" + c.line + "\nGlobalVolume = 3\n");
        EXPECT_FALSE(fresh.Load());
        EXPECT_EQ(fresh.GetCurrentSettings().Bpm, 91u);
        EXPECT_EQ(fresh.GetCurrentSettings().GlobalVolume, 100u);
        // Besides the backup's warning.
        auto entries = caseLog.Entries();
        std::erase_if(entries, [](const auto& entry) { return entry.level == System::Warn; });
        if (c.message) {
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].level, System::Error);
            EXPECT_EQ(entries[0].text, c.message);
        } else {
            EXPECT_TRUE(entries.empty());
        }
    }
    // A value of 771 bytes is allowed.
    EXPECT_TRUE(LoadText("File1 = " + std::string(771, 'x') + "\n"));
}

TEST_F(ConfigurationFile, LongLinesAreReadInPiecesOf899Bytes)
{
    // A comment that fills a whole piece: the rest of the line is read as a line of its own.
    std::string comment = "#" + std::string(898, 'c');
    EXPECT_TRUE(LoadText(comment + "Bpm = 77\n" + comment + "\nGlobalVolume = 9\n"));
    EXPECT_EQ(Current().Bpm, 77u);
    EXPECT_EQ(Current().GlobalVolume, 9u);
}

TEST_F(ConfigurationFile, PresetBlocksFollowTheirNumbers)
{
    EXPECT_FALSE(LoadText("Language = Español\n"
                          "Bpm = 100\n"
                          "Preset0 = Ballad\n"
                          "Description = slow\n"
                          "Bpm = 60\n"
                          "Language = Deutsch\n"
                          "Preset2 = Gap\n"
                          "Bpm = 200\n"));
    EXPECT_EQ(Current().Bpm, 100u);
    EXPECT_EQ(U8(config->GetLanguage()), "Deutsch");  // the language belongs to the file, not the preset
    auto presets = Presets(*config);
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(U8(presets[0]->PresetName), "Ballad");
    EXPECT_EQ(U8(presets[0]->Description), "slow");
    EXPECT_EQ(presets[0]->Bpm, 60u);
    EXPECT_EQ(presets[0]->Volume[5], 127u);  // a preset starts from the defaults
}

TEST_F(ConfigurationFile, FilesWithoutSettingsLoadNothing)
{
    EXPECT_FALSE(config->Load());  // missing
    EXPECT_FALSE(LoadText(""));
    EXPECT_FALSE(LoadText("# only a comment\n\n"));
    EXPECT_EQ(Current().Bpm, 120u);
    EXPECT_FALSE(Platform::File::Exists(path + ".bak"));
    ASSERT_TRUE(config->Save());
    EXPECT_FALSE(Platform::File::Exists(path + ".bak"));
}

TEST_F(ConfigurationFile, OnlyAFirstStartGetsDistinctAccentBeatAndSubdivisionVoices)
{
    const ConfigurationData defaults;
    EXPECT_FALSE(config->Load());  // no file at all
    const ConfigurationData& first = Current();
    // Accent, beats, group beats and both subdivisions: each its own instrument and colour.
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b) {
            EXPECT_NE(first.Instrument[a], first.Instrument[b]) << a << " " << b;
            EXPECT_NE(first.Colour[a], first.Colour[b]) << a << " " << b;
        }
    EXPECT_GT(first.Volume[0], first.Volume[1]);
    EXPECT_EQ(first.Instrument[6], defaults.Instrument[6]);
    // They are kept like any other setting.
    ASSERT_TRUE(config->Save());
    FileConfiguration again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.GetCurrentSettings().Instrument[0], first.Instrument[0]);

    // A file without these keys, and a record made any other way, keep the defaults.
    config = std::make_unique<FileConfiguration>(path);
    ASSERT_TRUE(LoadText("Bpm = 99\n"));
    EXPECT_EQ(Current().Instrument[0], defaults.Instrument[0]);
    EXPECT_EQ(Current().Colour[0], defaults.Colour[0]);
    EXPECT_EQ(Current().Volume[0], defaults.Volume[1]);
}

TEST_F(ConfigurationFile, TheDefaultFileLivesInTheDataFolder)
{
    FileConfiguration standard;
    EXPECT_EQ(standard.Path(), Platform::DataFile("Ticova.conf"));
    EXPECT_EQ(standard.Path().rfind(Tests::DataFolder(), 0), 0u);
}

// A file written without a byte-order mark (by a text editor) is read from its first byte.
TEST_F(ConfigurationFile, ByteOrderMarkIsSkippedOnlyWhenPresent)
{
    EXPECT_TRUE(LoadText("Bpm = 88\n", false));
    EXPECT_EQ(Current().Bpm, 88u);
    EXPECT_TRUE(LoadText("# Metronome Configuration File\nBpm = 89\n", false));
    EXPECT_EQ(Current().Bpm, 89u);
    EXPECT_TRUE(LoadText("Bpm = 87\n", true));
    EXPECT_EQ(Current().Bpm, 87u);
    EXPECT_FALSE(log.Has(System::Error, "Expected equals sign"));
}

// Save writes beside the file and renames, so a failed Save leaves the old file whole, says
// so in the log and returns false.
TEST_F(ConfigurationFile, FailedSaveKeepsTheOldFileAndIsReported)
{
    Current().Bpm = 111;
    ASSERT_TRUE(config->Save());
    const std::string before = Tests::ReadBytes(path);

    std::filesystem::create_directory(path + ".tmp");  // the temporary file cannot be created
    Current().Bpm = 222;
    EXPECT_FALSE(config->Save());
    EXPECT_EQ(Tests::ReadBytes(path), before);
    EXPECT_TRUE(log.Has(System::Error, "System error: Error calling open"));
    EXPECT_TRUE(log.Has(System::Error, "Function: Configuration::FileConfiguration::Save"));
    EXPECT_TRUE(log.Has(System::Error, "File: Src/Configuration/FileConfiguration"));
    std::filesystem::remove(path + ".tmp");

    FileConfiguration nowhere(folder + "missing/folder/Ticova.conf");
    Tests::RecordingLog nowhereLog;
    EXPECT_FALSE(nowhere.Save());
    EXPECT_TRUE(nowhereLog.Has(System::Error, "Error calling open"));
}

// A file whose reading stopped at a bad line is kept as Ticova.conf.bak before the first
// Save writes over it, and the log says which line stopped the reading.
TEST_F(ConfigurationFile, FileThatStoppedAtABadLineIsBackedUpBeforeSaving)
{
    const std::string original = Bom +
        "Bpm = 95\n"
        "Preset0 = Keep\n"
        "# comment\n"
        "Bpm: 90\n"
        "Preset1 = Lost without the backup\n";
    Tests::WriteBytes(path + ".bak", "an older backup");
    Tests::WriteBytes(path, original);
    EXPECT_FALSE(config->Load());
    ASSERT_TRUE(config->Save());
    EXPECT_EQ(Tests::ReadBytes(path + ".bak"), original);
    EXPECT_TRUE(log.Has(System::Warn, "line 4 (Bpm: 90)"));
    EXPECT_TRUE(log.Has(System::Warn, "Ticova.conf.bak"));
    FileConfiguration reread(path);
    EXPECT_TRUE(reread.Load());
    EXPECT_TRUE(reread.IsPreset(u"Keep"));

    // Only the first Save keeps a copy: the later ones would copy the program's own file.
    Tests::WriteBytes(path + ".bak", "user's copy");
    ASSERT_TRUE(config->Save());
    EXPECT_EQ(Tests::ReadBytes(path + ".bak"), "user's copy");
}

TEST_F(ConfigurationFile, SaveIsRefusedWhenTheBackupCannotBeMade)
{
    const std::string original = Bom + "Bpm = 95\nnonsense\nPreset0 = Precious\n";
    Tests::WriteBytes(path, original);
    std::filesystem::create_directory(path + ".bak.tmp");
    EXPECT_FALSE(config->Load());
    EXPECT_FALSE(config->LoadReport().backupKept);
    EXPECT_FALSE(config->Save());
    EXPECT_EQ(Tests::ReadBytes(path), original);
    EXPECT_TRUE(log.Has(System::Error, "Error calling open"));
    std::filesystem::remove(path + ".bak.tmp");
    EXPECT_TRUE(config->Save());
    EXPECT_EQ(Tests::ReadBytes(path + ".bak"), original);
}

// A "file" that opens but cannot be read (here a folder) is never written over.
TEST_F(ConfigurationFile, UnreadableFileIsNotWrittenOver)
{
    std::filesystem::create_directory(path);
    EXPECT_FALSE(config->Load());
    EXPECT_FALSE(config->Save());
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_TRUE(log.Has(System::Error, "Error calling open"));
}

// A second preset of a name already read is dropped (its record freed) and the first kept.
TEST_F(ConfigurationFile, DuplicatePresetNameKeepsTheFirst)
{
    EXPECT_TRUE(LoadText("Preset0 = Rock\nBpm = 140\n"
                         "Preset1 = Rock\nBpm = 100\n"
                         "Preset2 = Swing\nBpm = 180\n"));
    auto presets = Presets(*config);
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(U8(presets[0]->PresetName), "Rock");
    EXPECT_EQ(presets[0]->Bpm, 140u);
    EXPECT_EQ(presets[1]->Bpm, 180u);
    EXPECT_EQ(Current().Bpm, 120u);
    EXPECT_TRUE(log.Has(System::Warn, "Preset 'Rock' appears more than once"));
}

// Values with line breaks are written on one line, so every later preset still reads.
TEST_F(ConfigurationFile, LineBreaksInsideValuesDoNotSplitTheFile)
{
    ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"First");
    Platform::Text::Copy(preset.Description, u"two\r\nlines");
    config->AddPreset(preset);
    Platform::Text::Copy(preset.PresetName, u"Second");
    config->AddPreset(preset);
    ASSERT_TRUE(config->Save());
    FileConfiguration reread(path);
    EXPECT_TRUE(reread.Load());
    EXPECT_TRUE(reread.IsPreset(u"Second"));
    ASSERT_TRUE(reread.LoadPreset(u"First"));
    EXPECT_EQ(U8(reread.GetCurrentSettings().Description), "two  lines");
}

// What the writer writes, the reader reads back: a value too long for the reader is cut between
// characters rather than stopping the reading of every preset after it; the dialogs ask
// CanStore first, so that nothing is cut at all.
TEST_F(ConfigurationFile, EveryValueWrittenReadsBack)
{
    std::u16string cjk(258, u'\u4E2D');  // 774 bytes of UTF-8
    Platform::Text::Copy(Current().File[0], cjk);
    ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"After");
    config->AddPreset(preset);
    ASSERT_TRUE(config->Save());
    FileConfiguration reread(path);
    EXPECT_TRUE(reread.Load());
    EXPECT_TRUE(reread.IsPreset(u"After"));
    EXPECT_EQ(std::u16string(reread.GetCurrentSettings().File[0]), cjk.substr(0, 257));
    EXPECT_TRUE(log.Has(System::Warn, "File1 is too long"));

    EXPECT_TRUE(FileConfiguration::CanStore(cjk.substr(0, 257)));
    EXPECT_TRUE(FileConfiguration::CanStore(u"/music/clicks = wood é \U0001F3B5.wav"));
    for (std::u16string bad : {cjk, std::u16string(u"/take #2.wav"), std::u16string(u"a\tb"),
                               std::u16string(u" leading"), std::u16string(u"=x"), std::u16string(u"lone \xD800")})
        EXPECT_FALSE(FileConfiguration::CanStore(bad)) << U8(bad.c_str());
}

// Temporaries are made anew, never through a name someone else left in the folder: a link
// planted as the temporary (or a stale temporary of a killed run) is replaced, the file it
// points to untouched.
TEST_F(ConfigurationFile, TemporariesAreNeverFollowedAsLinks)
{
    const std::string victim = folder + "victim";
    Tests::WriteBytes(victim, "precious");
    std::filesystem::create_symlink(victim, path + ".tmp");
    std::filesystem::create_symlink(victim, path + ".bak.tmp");
    ASSERT_FALSE(LoadText("nonsense\n"));  // a backup is due, through the backup's temporary
    ASSERT_TRUE(config->Save());
    EXPECT_EQ(Tests::ReadBytes(victim), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 077, 0u);  // nobody else reads the settings

    // A stale temporary of a run killed while saving is gone at the next start.
    Tests::WriteBytes(path + ".tmp", std::string(4096, 'x'));
    FileConfiguration next(path);
    EXPECT_TRUE(next.Load());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

// A FIFO in place of the file hangs nothing: refused as not a regular file.
TEST_F(ConfigurationFile, FifoInPlaceOfTheFileIsRefused)
{
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(config->Load());
    EXPECT_FALSE(config->Save());  // nor written over: it could not be kept as a backup
    EXPECT_TRUE(log.Has(System::Error, "Not a regular file"));
}

// A log that, for each entry, notes whether the temporary was still there.
class TemporaryWatchingLog final : public System::ILog {
public:
    explicit TemporaryWatchingLog(std::string temporary) : _temporary(std::move(temporary))
    {
        System::SetLogForTesting(this);
    }
    ~TemporaryWatchingLog() override { System::SetLogForTesting(nullptr); }
    void WriteWide(int, const wchar_t*, ...) override { Note(); }
    void Write(int, const char*, ...) override { Note(); }
    void SetLevel(int) override {}
    void WriteText(int, const char*) override { Note(); }
    int entries = 0;
    int withTemporary = 0;

private:
    void Note()
    {
        ++entries;
        withTemporary += std::filesystem::exists(_temporary) ? 1 : 0;
    }
    std::string _temporary;
};

// A full disk (here a file size limit): the old file stays, the temporary is removed before the
// failure is logged (so the log line has room), and SaveProblem names the folder and the reason
// for the message at exit.
TEST_F(ConfigurationFile, FailedWriteIsToldAfterTheTemporaryIsGone)
{
    Current().Bpm = 111;
    ASSERT_TRUE(config->Save());
    const std::string before = Tests::ReadBytes(path);
    EXPECT_EQ(config->SaveProblem(), "");
    for (int n = 0; n < 50; ++n) {
        ConfigurationData preset;
        Platform::Text::Copy(preset.PresetName, U16("Preset number " + std::to_string(n)));
        config->AddPreset(preset);
    }
    TemporaryWatchingLog watch(path + ".tmp");
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = config->Save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(Tests::ReadBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_GT(watch.entries, 0);
    EXPECT_EQ(watch.withTemporary, 0);
    EXPECT_EQ(config->SaveProblem(), folder.substr(0, folder.size() - 1) + ": File too large (write)");
}

// Bytes of a damaged file reach the log escaped, never as they are.
TEST_F(ConfigurationFile, DamagedBytesAreEscapedInTheLog)
{
    EXPECT_TRUE(LoadText("Preset0 = R\x01\xFF\n"
                         "Preset1 = R\x01\xFF\n"
                         "Bpm = 90\n"));
    EXPECT_TRUE(log.Has(System::Warn, "Preset 'R\\x01\\xFF' appears more than once"));
    EXPECT_FALSE(LoadText("Bpm = 90\n\x1B[2J\xC3 bad\n"));
    ASSERT_TRUE(config->Save());
    EXPECT_TRUE(log.Has(System::Warn, "line 2 (\\x1B[2J\\xC3 bad)"));
}

}  // namespace
