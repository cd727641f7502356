#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "GridTestSupport.h"

namespace {

using Configuration::ConfigurationData;
using GUI::StepSequencerGrid;
using Tests::GridSettings;
using Tests::Hit;
using Tests::LoadedGrid;
using Tests::Utf8;

// Encodes the grid into a copy of `settings` and returns the text, or "<result>" when not 0.
std::string Encode(const StepSequencerGrid& grid, ConfigurationData& settings, int expected = 0)
{
    int result = grid.EncodeRhythm(settings);
    EXPECT_EQ(result, expected);
    return Utf8(settings.CustomRhythm);
}

TEST(StepSequencerGridRhythm, WritesOneCharacterPerVoiceAndGroupsChords)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2));
    grid->ToggleCell(9, 0);
    grid->ToggleCell(10, 1);
    grid->ToggleCell(11, 2);
    grid->ToggleCell(8, 3);
    grid->ToggleCell(0, 5);
    grid->ToggleCell(11, 5);
    grid->ToggleCell(2, 5);
    ConfigurationData settings = GridSettings(1, 4, 2);
    EXPECT_EQ(Encode(*grid, settings), ":ab9 [13b]  ");
    EXPECT_EQ(settings.CrSubdivision, 2u);

    // And read back: ':' is voice 10, 'a' and 'b' voices 11 and 12.
    auto copy = LoadedGrid(settings);
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(Hit(*copy, r, c), Hit(*grid, r, c)) << r << "," << c;
}

TEST(StepSequencerGridRhythm, EmptyGridWritesSpacesAndSaysSo)
{
    auto grid = LoadedGrid(GridSettings(1, 3, 0));
    ConfigurationData settings;
    EXPECT_EQ(Encode(*grid, settings, StepSequencerGrid::EncodeNoHits), "   ");
    EXPECT_EQ(settings.CrSubdivision, 0u);
}

TEST(StepSequencerGridRhythm, DivisorKeepsEveryHitAtTheCoarsestResolution)
{
    struct Case {
        int cells;
        std::vector<int> columns;
        const char* text;
        unsigned subdivision;
    };
    const Case cases[] = {
        {4, {0, 2, 4, 6}, "1111    ", 2},         // off-beat hits on even columns: halve
        {4, {0, 4, 8}, "111 ", 0},                // beat starts only
        {4, {0, 1}, "11              ", 4},       // column 1 keeps full resolution
        {2, {1}, " 1      ", 2},                  // two cells cannot be halved
        {3, {2}, "  1         ", 3},              // nor an odd number of cells
        {6, {2}, " 1          ", 3},              // six cells, even column: three steps a beat
        {6, {3}, "   1                    ", 6},  // odd column: full
        {8, {4, 10}, "  1  1          ", 4},
    };
    for (const Case& c : cases) {
        auto grid = LoadedGrid(GridSettings(1, 4, c.cells));
        for (int column : c.columns)
            grid->ToggleCell(0, column);
        ConfigurationData settings = GridSettings(1, 4, c.cells);
        EXPECT_EQ(Encode(*grid, settings), c.text) << c.cells;
        EXPECT_EQ(settings.CrSubdivision, c.subdivision) << c.cells;

        // The preview record always gets one step per column.
        ConfigurationData preview = GridSettings(1, 4, c.cells);
        preview.SpeedTrainer = StepSequencerGrid::PreviewSpeedTrainer;
        EXPECT_EQ(Encode(*grid, preview).size(), static_cast<std::size_t>(4 * c.cells)) << c.cells;
        EXPECT_EQ(preview.CrSubdivision, static_cast<unsigned>(c.cells));
    }
}

TEST(StepSequencerGridRhythm, OffBeatHitsOfHiddenRowsDoNotForceFullResolution)
{
    auto settings = GridSettings(1, 4, 4);
    settings.DisplayDistinct = 1;
    settings.Instrument[5] = settings.Instrument[0];
    auto grid = LoadedGrid(settings);
    grid->ToggleDisplayMode();
    grid->ToggleCell(5, 1);
    grid->ToggleCell(0, 4);
    grid->ToggleDisplayMode();
    ASSERT_FALSE(grid->RowAt(5).visible);
    // Only the visible hit on beat 2 counts: one step per beat.
    EXPECT_EQ(Encode(*grid, settings), " 1  ");
    EXPECT_EQ(settings.CrSubdivision, 0u);
}

TEST(StepSequencerGridRhythm, CompoundTimeWritesOneStepPerBeat)
{
    auto grid = LoadedGrid(GridSettings(1, 7, 0, true));
    EXPECT_EQ(grid->ColumnCount(), 7);
    grid->ToggleCell(0, 0);
    grid->ToggleCell(1, 3);
    ConfigurationData settings = GridSettings(1, 7, 0, true);
    EXPECT_EQ(Encode(*grid, settings), "1  2   ");
    EXPECT_EQ(settings.CrSubdivision, 3u);
}

TEST(StepSequencerGridRhythm, HitCharactersAreCountedWithoutSpaces)
{
    // 512 columns: 512 single hits pass the count; 510 single hits and a chord of two make 514.
    auto grid = LoadedGrid(GridSettings(4, 16, 8));
    for (int c = 0; c < 512; ++c)
        grid->ToggleCell(c % 3, c);
    EXPECT_EQ(grid->HitCharacterCount(1), 512);
    EXPECT_EQ(grid->RhythmTextLength(1), 512);
    grid->ToggleCell(2, 0);  // column 0 now holds rows 0 and 2
    grid->ToggleCell(2, 2);  // ... and column 2 loses its hit: 510 singles and a chord
    EXPECT_EQ(grid->HitCharacterCount(1), 514);
    grid->ToggleCell(1, 4);  // another hole: spaces are not counted
    EXPECT_EQ(grid->HitCharacterCount(1), 513);
    EXPECT_EQ(grid->RhythmTextLength(1), 515);
}

TEST(StepSequencerGridRhythm, TooManyHitsLeavesTheRecordAsItWas)
{
    // At full resolution 512 columns need 512 characters, one more than the field holds.
    auto grid = LoadedGrid(GridSettings(4, 16, 8));
    grid->ToggleCell(0, 1);
    ConfigurationData settings = GridSettings(4, 16, 8, false, u"old text");
    settings.CrSubdivision = 5;
    settings.SpeedTrainer = StepSequencerGrid::PreviewSpeedTrainer;
    EXPECT_EQ(grid->EncodeRhythm(settings), StepSequencerGrid::EncodeTooManyHits);
    EXPECT_EQ(Utf8(settings.CustomRhythm), "old text");
    EXPECT_EQ(settings.CrSubdivision, 5u);

    // 448 columns hold 21 two-voice chords (511 characters) but not 22 (514).
    auto seven = LoadedGrid(GridSettings(4, 16, 7));
    for (int c = 0; c < 21; ++c) {
        seven->ToggleCell(0, c);
        seven->ToggleCell(1, c);
    }
    ConfigurationData fits = GridSettings(4, 16, 7);
    fits.SpeedTrainer = StepSequencerGrid::PreviewSpeedTrainer;
    EXPECT_EQ(Encode(*seven, fits).size(), 511u);
    seven->ToggleCell(0, 21);
    seven->ToggleCell(1, 21);
    EXPECT_EQ(seven->RhythmTextLength(1), 514);
    EXPECT_EQ(seven->EncodeRhythm(fits), StepSequencerGrid::EncodeTooManyHits);
    EXPECT_EQ(Utf8(fits.CustomRhythm).size(), 511u);

    // Saved, the same grid fits because its hits lie on beat starts: one step per beat.
    auto beats = LoadedGrid(GridSettings(4, 16, 8));
    for (int c = 0; c < 512; c += 8)
        beats->ToggleCell(3, c);
    ConfigurationData saved = GridSettings(4, 16, 8);
    EXPECT_EQ(Encode(*beats, saved), std::string(64, '4'));
    EXPECT_EQ(saved.CrSubdivision, 0u);
}

TEST(StepSequencerGridRhythm, ReadingSkipsWhatNamesNoVoice)
{
    // Groups, a ']' outside a group, characters that name no voice and an unclosed group.
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"[1 0]]c;<[2b"));
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_EQ(grid->HitCount(), 5);
    EXPECT_TRUE(Hit(*grid, 10, 3));  // ';' is voice 11
    EXPECT_TRUE(Hit(*grid, 11, 4));  // '<' is voice 12
    EXPECT_TRUE(Hit(*grid, 1, 5));
    EXPECT_TRUE(Hit(*grid, 11, 5));

    // A text of two steps a beat read into four cells a beat, and of none into two.
    auto finer = LoadedGrid(GridSettings(1, 4, 4, false, u"1 1", 2));
    EXPECT_TRUE(Hit(*finer, 0, 0));
    EXPECT_TRUE(Hit(*finer, 0, 4));
    auto beats = LoadedGrid(GridSettings(1, 4, 2, false, u"1  1", 0));
    EXPECT_TRUE(Hit(*beats, 0, 0));
    EXPECT_TRUE(Hit(*beats, 0, 6));
}

TEST(StepSequencerGridRhythm, FinerTextThanTheGridKeepsItsBeats)
{
    // Four steps a beat shown at two cells a beat: every step lands in its own beat, not all
    // in the first column.
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1   2   3", 4));
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_TRUE(Hit(*grid, 1, 2));
    EXPECT_TRUE(Hit(*grid, 2, 4));
    EXPECT_EQ(grid->HitCount(), 3);
}

// Random grids written and read back: every visible hit comes back in its place, hidden rows
// are not written, and a text that does not fit leaves the record alone.
TEST(StepSequencerGridRhythm, RandomGridsSurviveAWriteAndARead)
{
    std::mt19937 random(20261208);
    int written = 0;
    for (int cells = 0; cells <= 9; ++cells) {
        bool compound = cells == 9;
        for (int round = 0; round < 40; ++round) {
            int bars = 1 + static_cast<int>(random() % 4);
            int beats = 2 + static_cast<int>(random() % 15);
            auto settings = GridSettings(bars, beats, compound ? 3 : cells, compound);
            bool distinct = round % 3 == 0;
            if (distinct) {
                settings.DisplayDistinct = 1;
                for (int v = 0; v < 12; ++v)
                    settings.Instrument[v] = static_cast<std::uint32_t>(random() % 6);
            }
            auto grid = LoadedGrid(settings);
            if (distinct)
                grid->ToggleDisplayMode();  // place hits in every row, then hide some again
            int mode = round % 4;           // any column, even columns, beat starts, sparse
            int perBeat = compound || cells == 0 ? 1 : cells;
            for (int c = 0; c < grid->ColumnCount(); ++c) {
                if ((mode == 1 && c % 2 != 0) || (mode == 2 && c % perBeat != 0))
                    continue;
                for (int d = 0; d < 12; ++d)
                    if (random() % (mode == 3 ? 40 : 6) == 0)
                        grid->ToggleCell(d, c);
            }
            if (distinct)
                grid->ToggleDisplayMode();

            for (bool preview : {false, true}) {
                ConfigurationData out = settings;
                out.SpeedTrainer = preview ? StepSequencerGrid::PreviewSpeedTrainer : 0;
                Platform::Text::Copy(out.CustomRhythm, u"previous");
                out.CrSubdivision = 7;
                int result = grid->EncodeRhythm(out);
                if (result == StepSequencerGrid::EncodeTooManyHits) {
                    EXPECT_EQ(Utf8(out.CustomRhythm), "previous");
                    EXPECT_EQ(out.CrSubdivision, 7u);
                    continue;
                }
                ++written;
                EXPECT_EQ(result == StepSequencerGrid::EncodeNoHits, grid->HitCharacterCount(1) == 0);
                auto copy = LoadedGrid(out);
                for (int r = 0; r < 12; ++r)
                    for (int c = 0; c < grid->ColumnCount(); ++c) {
                        bool expected = grid->RowAt(r).visible && Hit(*grid, r, c);
                        ASSERT_EQ(Hit(*copy, r, c), expected)
                            << "cells " << cells << " round " << round << " row " << r << " column " << c
                            << (preview ? " preview" : " saved") << " text " << Utf8(out.CustomRhythm);
                    }
            }
        }
    }
    EXPECT_GT(written, 400);
}

}  // namespace
