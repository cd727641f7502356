// Every save keeps what was read: the new file holds every record and key the reading took in,
// or the file as it was is kept, byte for byte, as "<name>.bak".
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Configuration/ExtraSettings.h"
#include "Configuration/FileConfiguration.h"
#include "Configuration/Setlists.h"
#include "ConfigurationTestSupport.h"
#include "Platform/Text.h"
#include "Support/RecordFields.h"
#include "Support/TestEnvironment.h"

namespace {

using Configuration::ConfigurationData;
using Configuration::ExtraSettings;
using Configuration::FileConfiguration;
using Configuration::Setlists;

const std::string Bom = "\xEF\xBB\xBF";

std::string Folder()
{
    return Tests::MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// The lines of a file as the readers split them, after a byte-order mark: at line feeds, or at
// carriage returns in a file that has no line feed.
std::vector<std::string> Lines(std::string contents)
{
    if (contents.rfind(Bom, 0) == 0)
        contents.erase(0, Bom.size());
    const char end = contents.find('\n') == std::string::npos ? '\r' : '\n';
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < contents.size()) {
        std::size_t next = contents.find(end, at);
        if (next == std::string::npos)
            next = contents.size();
        lines.push_back(contents.substr(at, next - at));
        at = next + 1;
    }
    return lines;
}

// Preset lines of a configuration file: "Preset<digits>", spaces and at least one '='. Counted
// without the reader, so that a preset the reader took in and then dropped shows.
int PresetLines(const std::string& contents)
{
    int count = 0;
    for (const std::string& line : Lines(contents)) {
        std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.compare(at, 6, "Preset") != 0)
            continue;
        at += 6;
        const std::size_t digits = at;
        while (at < line.size() && line[at] >= '0' && line[at] <= '9')
            ++at;
        const std::size_t equals = line.find_first_not_of(" =", at);
        if (at > digits && line.substr(at, equals - at).find('=') != std::string::npos)
            ++count;
    }
    return count;
}

bool SameRecord(const ConfigurationData& a, const ConfigurationData& b)
{
    bool same = Platform::Text::Compare(a.Description, b.Description) == 0 &&
        Platform::Text::Compare(a.CustomPattern, b.CustomPattern) == 0 &&
        Platform::Text::Compare(a.CustomRhythm, b.CustomRhythm) == 0;
    for (auto field : Tests::RecordFields::Integers)
        same = same && a.*field == b.*field;
    for (auto field : Tests::RecordFields::Floats)
        same = same && std::fabs(a.*field - b.*field) <= 1e-6f + 1e-6f * std::fabs(a.*field);
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice)
        same = same && a.Instrument[voice] == b.Instrument[voice] && a.Volume[voice] == b.Volume[voice] &&
            a.Size[voice] == b.Size[voice] && a.Colour[voice] == b.Colour[voice] &&
            Platform::Text::Compare(a.File[voice], b.File[voice]) == 0;
    return same;
}

std::vector<const ConfigurationData*> Presets(FileConfiguration& store)
{
    std::vector<const ConfigurationData*> presets;
    store.EnumeratePresets(
        [](const ConfigurationData& preset, void* context) {
            static_cast<std::vector<const ConfigurationData*>*>(context)->push_back(&preset);
            return 0;
        },
        &presets);
    return presets;
}

// Loads `original` as Ticova.conf and saves; false (with the reason) when the new file lacks a
// record or key that was read and the original is not the backup.
::testing::AssertionResult ConfigurationKeeps(const std::string& folder, const std::string& original)
{
    const std::string path = folder + "Ticova.conf";
    std::filesystem::remove(path + ".bak");
    Tests::WriteBytes(path, original);
    FileConfiguration read(path);
    read.Load();
    if (!read.Save())
        return ::testing::AssertionFailure() << "not saved";
    if (Platform::File::Exists(path + ".bak") && Tests::ReadBytes(path + ".bak") == original)
        return ::testing::AssertionSuccess();
    if (Tests::ReadBytes(path) == original)
        return ::testing::AssertionSuccess();  // not written over (a file that cannot be read)
    FileConfiguration written(path);
    written.Load();
    const auto before = Presets(read);
    const auto after = Presets(written);
    if (static_cast<int>(after.size()) < PresetLines(original))
        return ::testing::AssertionFailure()
            << PresetLines(original) << " preset lines, " << after.size() << " presets written, no backup";
    if (before.size() != after.size())
        return ::testing::AssertionFailure() << "presets written differ in number";
    for (std::size_t n = 0; n < before.size(); ++n)
        if (Platform::Text::Compare(before[n]->PresetName, after[n]->PresetName) != 0 ||
            !SameRecord(*before[n], *after[n]))
            return ::testing::AssertionFailure()
                << "preset " << Platform::Text::Utf16ToUtf8(before[n]->PresetName) << " changed";
    if (!SameRecord(read.GetCurrentSettings(), written.GetCurrentSettings()))
        return ::testing::AssertionFailure() << "current settings changed";
    return ::testing::AssertionSuccess();
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    const std::size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The keys of a second settings file's lines, found without the reader.
std::set<std::string> KeyLines(const std::string& contents)
{
    std::set<std::string> keys;
    for (const std::string& line : Lines(contents)) {
        const std::string text = Trimmed(line);
        const std::size_t equals = text.find('=');
        if (!text.empty() && text[0] != '#' && equals != std::string::npos)
            keys.insert(Trimmed(text.substr(0, equals)));
    }
    return keys;
}

bool SameLists(const Setlists& a, const Setlists& b)
{
    if (a.Lists().size() != b.Lists().size())
        return false;
    for (std::size_t n = 0; n < a.Lists().size(); ++n) {
        const auto& x = a.Lists()[n];
        const auto& y = b.Lists()[n];
        if (x.name != y.name || x.presets != y.presets || x.advanceBars != y.advanceBars ||
            x.otherFields != y.otherFields)
            return false;
    }
    return true;
}

// "setlist.active", "setlist.position" and the keys of lists 1 to MaxLists ("setlist.12.name").
bool ListKey(const std::string& key)
{
    if (key == "setlist.active" || key == "setlist.position")
        return true;
    const std::size_t dot = key.find('.', 8);
    if (key.rfind("setlist.", 0) != 0 || dot == std::string::npos || dot == 8 || key[8] == '0' || dot > 11 ||
        key.find_first_not_of("0123456789", 8) != dot)
        return false;
    return std::stoul(key.substr(8, dot - 8)) <= Setlists::MaxLists;
}

// Loads `original` as Ticova.extras, takes the setlists out of it and writes them back, as the
// window does, and saves.
::testing::AssertionResult ExtrasKeep(const std::string& folder, const std::string& original)
{
    const std::string path = folder + "Ticova.extras";
    std::filesystem::remove(path + ".bak");
    Tests::WriteBytes(path, original);
    ExtraSettings read(path);
    read.Load();
    Setlists lists;
    lists.Read(read);
    const ExtraSettings before = read;
    lists.Write(read);
    if (!read.Save())
        return ::testing::AssertionFailure() << "not saved";
    if (Platform::File::Exists(path + ".bak") && Tests::ReadBytes(path + ".bak") == original)
        return ::testing::AssertionSuccess();
    ExtraSettings written(path);
    written.Load();
    Setlists back;
    back.Read(written);
    if (!SameLists(lists, back))
        return ::testing::AssertionFailure() << "setlists changed";
    for (const std::string& key : KeyLines(original)) {
        if (ListKey(key))
            continue;  // renumbered with its list, compared above
        if (!written.Has(key) || written.Text(key) != before.Text(key))
            return ::testing::AssertionFailure() << "key " << key << " lost, no backup";
    }
    return ::testing::AssertionSuccess();
}

// Files made of the pieces that trouble the readers: presets in and out of sequence, names
// that collide after the cut to 79 characters or as damaged bytes, long and CR-only lines,
// unknown keys, comments, byte-order marks.
std::string GeneratedConfiguration(std::mt19937& random)
{
    const std::string longName(90, 'L');
    const std::vector<std::string> names = {
        "Rock", "Ballad 60", longName + "a", longName + "b", "\xFF", "\xFE", "Warm-up", "rock", ""};
    const std::vector<std::string> lines = {"Bpm = 97",
                                            "GlobalVolume = 40",
                                            "Description = kept here",
                                            "File3 = /home/a b.wav # comment",
                                            "From = 0.1234567",
                                            "# comment",
                                            "",
                                            "\tBeep=0",
                                            "Bpm: 9",
                                            "Tempo = 80",
                                            std::string(1000, 'x'),
                                            "CustomPattern = 3+3+2",
                                            "Language = de"};
    std::string file = random() % 4 ? Bom : "";
    int preset = 0;
    const int count = 2 + static_cast<int>(random() % 14);
    for (int n = 0; n < count; ++n) {
        if (random() % 3 == 0)
            file += "Preset" + std::to_string(random() % 9 ? preset++ : preset + 1) + " = " +
                names[random() % names.size()];
        else
            file += lines[random() % lines.size()];
        file += random() % 5 ? "\n" : "\r\n";
    }
    if (random() % 6 == 0)
        for (char& c : file)
            if (c == '\n')
                c = '\r';
    return file;
}

std::string GeneratedExtras(std::mt19937& random)
{
    const std::vector<std::string> lines = {"countin.beats = 4",
                                            "flash.mute = true",
                                            "setlist.1.name = Gig",
                                            "setlist.1.1 = Rock",
                                            "setlist.1.2 = Ballad",
                                            "setlist.3.1 = Shuffle",
                                            "setlist.3.bars = 16",
                                            "setlist.3.bars = lots",
                                            "setlist.2.colour = red",
                                            "setlist.2.01 = odd",
                                            "setlist.101.name = far",
                                            "setlist.future = 1",
                                            "setlist.active = 2",
                                            "setlist.position = 9",
                                            "setlist.2.3 =",
                                            "bad key = 1",
                                            "k = bad\\q",
                                            "e = \xFF",
                                            "no equals sign",
                                            "# comment",
                                            "",
                                            "newer.copy.key = value \\n two"};
    std::string file = random() % 4 ? "" : Bom;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int n = 0; n < count; ++n)
        file += lines[random() % lines.size()] + (random() % 5 ? "\n" : "\r\n");
    return file;
}

std::vector<std::string> Corpus(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(TICOVA_SOURCE_DIR "/Fuzz/corpus/") + folder))
        files.push_back(Tests::ReadBytes(entry.path()));
    return files;
}

// Every file of the fuzzer's corpus `corpus`, then `count` files `generate` makes, each read and
// saved: `keeps` says whether what was read survived.
void ExpectEveryFileKept(const char* corpus, std::string (*generate)(std::mt19937&), std::uint32_t seed,
                         ::testing::AssertionResult (*keeps)(const std::string& folder, const std::string& file))
{
    const std::string folder = Folder();
    Tests::RecordingLog quiet;
    for (const std::string& file : Corpus(corpus))
        EXPECT_TRUE(keeps(folder, file)) << Platform::Text::Escaped(file.substr(0, 200));
    std::mt19937 random(seed);
    for (int n = 0; n < 250; ++n) {
        const std::string file = generate(random);
        EXPECT_TRUE(keeps(folder, file)) << Platform::Text::Escaped(file.substr(0, 300));
    }
}

TEST(NothingReadIsLost, ConfigurationFilesReadAndSaved)
{
    ExpectEveryFileKept("configuration", &GeneratedConfiguration, 20261209, &ConfigurationKeeps);
}

TEST(NothingReadIsLost, SecondSettingsAndSetlistFilesReadAndSaved)
{
    ExpectEveryFileKept("extras", &GeneratedExtras, 1209, &ExtrasKeep);
}

// A file far beyond any real one is not read (nor held in memory) and stays whole as the backup.
TEST(NothingReadIsLost, FilesFarTooLargeAreKeptUnread)
{
    const std::string folder = Folder();
    Tests::RecordingLog log;
    const auto sparse = [](const std::string& path, std::int64_t size) {
        Tests::WriteBytes(path, "Bpm = 99\n");
        ASSERT_EQ(::truncate(path.c_str(), size), 0);
    };
    const std::string conf = folder + "Ticova.conf";
    sparse(conf, std::int64_t{1} << 30);
    FileConfiguration configuration(conf);
    EXPECT_FALSE(configuration.Load());
    EXPECT_EQ(configuration.LoadReport().tooLarge, std::int64_t{1} << 30);
    EXPECT_TRUE(configuration.LoadReport().backupKept);
    EXPECT_EQ(configuration.GetCurrentSettings().Bpm, 120u);
    ASSERT_TRUE(configuration.Save());
    EXPECT_EQ(std::filesystem::file_size(conf + ".bak"), std::uintmax_t{1} << 30);
    EXPECT_TRUE(log.Has(System::Warn, "far beyond any settings file"));

    const std::string extras = folder + "Ticova.extras";
    sparse(extras, ExtraSettings::SizeLimit + 1);
    ExtraSettings second(extras);
    EXPECT_FALSE(second.Load());
    EXPECT_TRUE(second.LoadReport().backupKept);
    second.SetFlag("flash.mute", true);
    ASSERT_TRUE(second.Save());
    EXPECT_EQ(std::filesystem::file_size(extras + ".bak"), ExtraSettings::SizeLimit + 1);
}

}  // namespace
