#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Configuration/FileConfiguration.h"
#include "ConfigurationTestSupport.h"
#include "Platform/Text.h"
#include "Support/TestEnvironment.h"

namespace {

using Configuration::ConfigurationData;
using Configuration::FileConfiguration;

ConfigurationData Settings(const std::u16string& name, std::uint32_t bpm)
{
    ConfigurationData record;
    Platform::Text::Copy(record.PresetName, name);
    Platform::Text::Copy(record.Description, u"about " + name);
    record.Bpm = bpm;
    return record;
}

int Collect(const ConfigurationData& preset, void* context)
{
    static_cast<std::vector<std::u16string>*>(context)->push_back(preset.PresetName);
    return 0;
}

std::vector<std::u16string> Names(FileConfiguration& store)
{
    std::vector<std::u16string> names;
    store.EnumeratePresets(Collect, &names);
    return names;
}

int Height(const ConfigurationData* node)
{
    if (!node)
        return 0;
    int left = Height(node->Left);
    int right = Height(node->Right);
    EXPECT_EQ(node->Balance, right - left);
    return 1 + std::max(left, right);
}

class PresetStore : public ::testing::Test {
protected:
    FileConfiguration store{Tests::DataFolder() + "presets.conf"};
};

TEST_F(PresetStore, AddsCopiesAndRefusesATakenName)
{
    ConfigurationData rock = Settings(u"Rock", 140);
    rock.Left = &rock;  // links of the source are never taken over
    EXPECT_TRUE(store.AddPreset(rock));
    EXPECT_TRUE(store.IsPreset(u"Rock"));
    EXPECT_FALSE(store.IsPreset(u"rock"));
    rock.Bpm = 60;  // the store keeps its own copy

    EXPECT_FALSE(store.AddPreset(Settings(u"Rock", 200)));
    ASSERT_TRUE(store.LoadPreset(u"Rock"));
    ConfigurationData& current = store.GetCurrentSettings();
    EXPECT_EQ(current.Bpm, 140u);
    EXPECT_EQ(std::u16string(current.PresetName), u"Rock");
    EXPECT_EQ(std::u16string(current.Description), u"about Rock");
    EXPECT_EQ(current.Left, nullptr);
    EXPECT_EQ(current.Right, nullptr);
}

TEST_F(PresetStore, MissingNamesChangeNothing)
{
    store.AddPreset(Settings(u"Jazz", 90));
    store.GetCurrentSettings().Bpm = 77;
    EXPECT_FALSE(store.LoadPreset(u"Blues"));
    EXPECT_EQ(store.GetCurrentSettings().Bpm, 77u);
    EXPECT_EQ(store.UpdatePreset(Settings(u"Blues", 100), u"Blues"), nullptr);
    EXPECT_FALSE(store.DeletePreset(u"Blues"));
    EXPECT_EQ(Names(store), std::vector<std::u16string>{u"Jazz"});
    EXPECT_TRUE(store.DeletePreset(u"Jazz"));
    EXPECT_TRUE(Names(store).empty());
}

TEST_F(PresetStore, UpdateUnderTheSameNameKeepsPlaceAndLinks)
{
    for (auto name : {u"b", u"a", u"c", u"d"})
        store.AddPreset(Settings(name, 100));
    ConfigurationData* node = const_cast<ConfigurationData*>(store.Presets().Root());
    ConfigurationData* left = node->Left;
    ConfigurationData* right = node->Right;
    std::u16string rootName = node->PresetName;

    ConfigurationData* updated = store.UpdatePreset(Settings(rootName, 222), rootName.c_str());
    EXPECT_EQ(updated, node);
    EXPECT_EQ(node->Bpm, 222u);
    EXPECT_EQ(node->Left, left);
    EXPECT_EQ(node->Right, right);
    EXPECT_EQ(Names(store), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
}

TEST_F(PresetStore, RenameMovesThePresetToItsNewPlace)
{
    const std::vector<std::u16string> initial{u"Alpha", u"Bravo", u"Charlie", u"Delta", u"Echo", u"Foxtrot", u"Golf"};
    for (const auto& name : initial)
        store.AddPreset(Settings(name, 100));

    // The root renamed past every other name, then a leaf renamed before every other name.
    std::u16string rootName = store.Presets().Root()->PresetName;
    ConfigurationData* renamed = store.UpdatePreset(Settings(u"Zulu", 150), rootName.c_str());
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(renamed->Bpm, 150u);
    EXPECT_EQ(store.UpdatePreset(Settings(u"Able", 50), u"Golf")->Bpm, 50u);

    std::vector<std::u16string> expected{u"Able"};
    for (const auto& name : initial)
        if (name != rootName && name != u"Golf")
            expected.push_back(name);
    expected.push_back(u"Zulu");
    EXPECT_EQ(Names(store), expected);
    for (const auto& name : expected)
        EXPECT_TRUE(store.IsPreset(name.c_str()));
    EXPECT_FALSE(store.IsPreset(rootName.c_str()));
    EXPECT_FALSE(store.IsPreset(u"Golf"));
    Height(store.Presets().Root());

    // The name given may be the preset's own name field.
    ConfigurationData* zulu = store.UpdatePreset(Settings(u"Zulu", 150), u"Zulu");
    EXPECT_EQ(store.UpdatePreset(Settings(u"Yankee", 1), zulu->PresetName), zulu);
    EXPECT_TRUE(store.IsPreset(u"Yankee"));
    EXPECT_FALSE(store.IsPreset(u"Zulu"));
}

TEST_F(PresetStore, RenameOntoATakenNameIsRefused)
{
    Tests::RecordingLog log;
    store.AddPreset(Settings(u"Rock", 140));
    store.AddPreset(Settings(u"Jazz", 90));
    EXPECT_EQ(store.UpdatePreset(Settings(u"Jazz", 200), u"Rock"), nullptr);
    EXPECT_EQ(Names(store), (std::vector<std::u16string>{u"Jazz", u"Rock"}));
    ASSERT_TRUE(store.LoadPreset(u"Jazz"));
    EXPECT_EQ(store.GetCurrentSettings().Bpm, 90u);
    ASSERT_TRUE(store.LoadPreset(u"Rock"));
    EXPECT_EQ(store.GetCurrentSettings().Bpm, 140u);
    EXPECT_TRUE(log.Has(System::Warn, "'Rock' not renamed"));
}

TEST(ConfigurationAccess, OneProcessWideObjectThatTestsCanReplace)
{
    Configuration::IConfiguration& first = Configuration::GetConfiguration();
    EXPECT_EQ(&first, &Configuration::GetConfiguration());
    EXPECT_EQ(first.GetCurrentSettings().Bpm, 120u);
    EXPECT_EQ(first.GetLanguage()[0], u'\0');

    FileConfiguration own(Tests::DataFolder() + "own.conf");
    Configuration::SetConfigurationForTesting(&own);
    EXPECT_EQ(&Configuration::GetConfiguration(), &own);
    Configuration::SetConfigurationForTesting(nullptr);
    EXPECT_EQ(&Configuration::GetConfiguration(), &first);
}

}  // namespace
