#include <gtest/gtest.h>

#include <string>

#include "Configuration/ConfigurationData.h"
#include "Platform/Text.h"

using Configuration::ConfigurationData;

namespace {

// Gives every setting a value that is neither its default nor shared with another field, so a
// field the copy forgets, or copies into the wrong place, shows up.
void FillSettings(ConfigurationData& data)
{
    Platform::Text::Copy(data.PresetName, u"Groove");
    Platform::Text::Copy(data.Description, u"Shuffle at 96");
    Platform::Text::Copy(data.CustomPattern, u"3+3+2");
    Platform::Text::Copy(data.CustomRhythm, u"1:x-x-");
    data.SoundEngineType = 1;
    data.Bpm = 96;
    data.GlobalVolume = 80;
    data.BeatType = 3;
    data.BeatsPerBar = 7;
    data.CrNumBars = 3;
    data.CrBeatsPerBar = 5;
    data.CrSubdivision = 6;
    data.CrCompoundTime = 1;
    data.DisplayedSubdiv = 8;
    data.DisplayDistinct = 0;
    data.Subdivision1 = 3;
    data.Subdivision2 = 4;
    data.CompoundTime = 1;
    data.VisualIndicator = 0;
    data.SpeedTrainer = 5;
    data.DurationsInBars = 1;
    data.Logarithmic = 1;
    data.Beep = 0;
    data.From = 0.25f;
    data.To = 0.75f;
    data.Step = 0.05f;
    data.Duration = 12.5f;
    data.Warmup = 2.5f;
    data.Warmdown = 3.5f;
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        const auto v = static_cast<std::uint32_t>(voice);
        data.Instrument[voice] = 20 + v;
        data.Volume[voice] = 40 + v;
        data.Size[voice] = v % 7;
        data.Colour[voice] = 11 - v;
        Platform::Text::Copy(data.File[voice], u"/clicks/voice" + std::u16string(1, u'a' + voice) + u".wav");
    }
}

void ExpectSameSettings(const ConfigurationData& a, const ConfigurationData& b)
{
    using Platform::Text::Utf16ToUtf8;
    EXPECT_EQ(Utf16ToUtf8(a.PresetName), Utf16ToUtf8(b.PresetName));
    EXPECT_EQ(Utf16ToUtf8(a.Description), Utf16ToUtf8(b.Description));
    EXPECT_EQ(Utf16ToUtf8(a.CustomPattern), Utf16ToUtf8(b.CustomPattern));
    EXPECT_EQ(Utf16ToUtf8(a.CustomRhythm), Utf16ToUtf8(b.CustomRhythm));
    EXPECT_EQ(a.SoundEngineType, b.SoundEngineType);
    EXPECT_EQ(a.Bpm, b.Bpm);
    EXPECT_EQ(a.GlobalVolume, b.GlobalVolume);
    EXPECT_EQ(a.BeatType, b.BeatType);
    EXPECT_EQ(a.BeatsPerBar, b.BeatsPerBar);
    EXPECT_EQ(a.CrNumBars, b.CrNumBars);
    EXPECT_EQ(a.CrBeatsPerBar, b.CrBeatsPerBar);
    EXPECT_EQ(a.CrSubdivision, b.CrSubdivision);
    EXPECT_EQ(a.CrCompoundTime, b.CrCompoundTime);
    EXPECT_EQ(a.DisplayedSubdiv, b.DisplayedSubdiv);
    EXPECT_EQ(a.DisplayDistinct, b.DisplayDistinct);
    EXPECT_EQ(a.Subdivision1, b.Subdivision1);
    EXPECT_EQ(a.Subdivision2, b.Subdivision2);
    EXPECT_EQ(a.CompoundTime, b.CompoundTime);
    EXPECT_EQ(a.VisualIndicator, b.VisualIndicator);
    EXPECT_EQ(a.SpeedTrainer, b.SpeedTrainer);
    EXPECT_EQ(a.DurationsInBars, b.DurationsInBars);
    EXPECT_EQ(a.Logarithmic, b.Logarithmic);
    EXPECT_EQ(a.Beep, b.Beep);
    EXPECT_EQ(a.From, b.From);
    EXPECT_EQ(a.To, b.To);
    EXPECT_EQ(a.Step, b.Step);
    EXPECT_EQ(a.Duration, b.Duration);
    EXPECT_EQ(a.Warmup, b.Warmup);
    EXPECT_EQ(a.Warmdown, b.Warmdown);
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        EXPECT_EQ(a.Instrument[voice], b.Instrument[voice]) << "voice " << voice;
        EXPECT_EQ(a.Volume[voice], b.Volume[voice]) << "voice " << voice;
        EXPECT_EQ(a.Size[voice], b.Size[voice]) << "voice " << voice;
        EXPECT_EQ(a.Colour[voice], b.Colour[voice]) << "voice " << voice;
        EXPECT_EQ(Utf16ToUtf8(a.File[voice]), Utf16ToUtf8(b.File[voice])) << "voice " << voice;
    }
}

}  // namespace

TEST(ConfigurationData, ConstructsWithEveryDefault)
{
    ConfigurationData data;
    EXPECT_EQ(data.PresetName[0], 0);
    EXPECT_EQ(data.Description[0], 0);
    EXPECT_EQ(data.CustomPattern[0], 0);
    EXPECT_EQ(data.CustomRhythm[0], 0);
    EXPECT_EQ(data.SoundEngineType, 0u);
    EXPECT_EQ(data.Bpm, 120u);
    EXPECT_EQ(data.GlobalVolume, 100u);
    EXPECT_EQ(data.BeatType, 0u);
    EXPECT_EQ(data.BeatsPerBar, 4u);
    EXPECT_EQ(data.CrNumBars, 1u);
    EXPECT_EQ(data.CrBeatsPerBar, 4u);
    EXPECT_EQ(data.CrSubdivision, 2u);
    EXPECT_EQ(data.CrCompoundTime, 0u);
    EXPECT_EQ(data.DisplayedSubdiv, 2u);
    EXPECT_EQ(data.DisplayDistinct, 1u);
    EXPECT_EQ(data.Subdivision1, 0u);
    EXPECT_EQ(data.Subdivision2, 0u);
    EXPECT_EQ(data.CompoundTime, 0u);
    EXPECT_EQ(data.VisualIndicator, 1u);
    EXPECT_EQ(data.SpeedTrainer, 0u);
    EXPECT_EQ(data.DurationsInBars, 0u);
    EXPECT_EQ(data.Logarithmic, 0u);
    EXPECT_EQ(data.Beep, 1u);
    EXPECT_FLOAT_EQ(data.From, 0.5f);
    EXPECT_FLOAT_EQ(data.To, 1.0f);
    EXPECT_FLOAT_EQ(data.Step, 0.1f);
    EXPECT_FLOAT_EQ(data.Duration, 5.0f);
    EXPECT_FLOAT_EQ(data.Warmup, 1.0f);
    EXPECT_FLOAT_EQ(data.Warmdown, 1.0f);
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        EXPECT_EQ(data.Instrument[voice], 1u);
        EXPECT_EQ(data.Volume[voice], 127u);
        EXPECT_EQ(data.Size[voice], 7u);
        EXPECT_EQ(data.Colour[voice], 11u);
        EXPECT_EQ(data.File[voice][0], 0);
    }
    EXPECT_EQ(data.Balance, 0);
    EXPECT_EQ(data.Left, nullptr);
    EXPECT_EQ(data.Right, nullptr);
}

TEST(ConfigurationData, AssignmentCopiesSettingsButNotRunTimeFieldsOrTreeLinks)
{
    ConfigurationData preset;
    FillSettings(preset);
    ConfigurationData neighbour;
    preset.Left = &neighbour;
    preset.Right = &neighbour;
    preset.Balance = -1;
    preset.TicksPerBeat = 9;
    preset.TrainerBeatsPerBar = 9;

    // Loading a preset into the current settings: the current record stays out of the tree.
    ConfigurationData current;
    current.TicksPerBeat = 4;
    current.TrainerBeatsPerBar = 3;
    current = preset;
    ExpectSameSettings(current, preset);
    EXPECT_EQ(current.Left, nullptr);
    EXPECT_EQ(current.Right, nullptr);
    EXPECT_EQ(current.Balance, 0);
    EXPECT_EQ(current.TicksPerBeat, 4);
    EXPECT_EQ(current.TrainerBeatsPerBar, 3);

    // Storing the settings into a tree node keeps the node where it is in the tree.
    ConfigurationData node;
    ConfigurationData left, right;
    node.Left = &left;
    node.Right = &right;
    node.Balance = 1;
    ConfigurationData settings;
    FillSettings(settings);
    node = settings;
    ExpectSameSettings(node, settings);
    EXPECT_EQ(node.Left, &left);
    EXPECT_EQ(node.Right, &right);
    EXPECT_EQ(node.Balance, 1);
}

TEST(ConfigurationData, ShorterStringOverwritesLongerOneUpToItsZero)
{
    ConfigurationData target;
    Platform::Text::Copy(target.Description, u"a long description");
    ConfigurationData source;
    Platform::Text::Copy(source.Description, u"short");
    target = source;
    EXPECT_EQ(Platform::Text::Utf16ToUtf8(target.Description), "short");
}

TEST(ConfigurationData, CopyConstructionTakesSettingsIntoADetachedRecord)
{
    ConfigurationData node;
    FillSettings(node);
    ConfigurationData other;
    node.Left = &other;
    node.Balance = 1;
    ConfigurationData copy(node);
    ExpectSameSettings(copy, node);
    EXPECT_EQ(copy.Left, nullptr);
    EXPECT_EQ(copy.Balance, 0);
}

TEST(ConfigurationData, SelfAssignmentChangesNothing)
{
    ConfigurationData data;
    FillSettings(data);
    ConfigurationData reference;
    FillSettings(reference);
    ConfigurationData left;
    data.Left = &left;
    data.Balance = -1;
    ConfigurationData& alias = data;
    data = alias;
    ExpectSameSettings(data, reference);
    EXPECT_EQ(data.Left, &left);
    EXPECT_EQ(data.Balance, -1);
}

TEST(ConfigurationData, FileEntryHolds771CharactersAndItsZero)
{
    ConfigurationData data;
    const std::u16string path = u"/" + std::u16string(770, u'p');
    ASSERT_EQ(path.size(), 771u);
    EXPECT_EQ(Platform::Text::Copy(data.File[11], path), 771u);
    EXPECT_EQ(data.File[11][771], 0);

    // It survives a copy whole, and one character more is cut to fit.
    ConfigurationData copy;
    copy = data;
    EXPECT_EQ(std::u16string(copy.File[11]), path);
    EXPECT_EQ(Platform::Text::Copy(copy.File[0], path + u"q"), 771u);
    EXPECT_EQ(std::u16string(copy.File[0]), path);
}
