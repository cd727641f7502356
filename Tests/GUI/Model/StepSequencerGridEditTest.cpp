#include <gtest/gtest.h>

#include "GridTestSupport.h"
#include "System/DefaultLanguage.h"

namespace {

using GUI::StepSequencerGrid;
using Tests::GridSettings;
using Tests::Hit;
using Tests::LoadedGrid;

constexpr int RepaintAll = StepSequencerGrid::RepaintAll;
constexpr int NoChange = StepSequencerGrid::NoChange;

TEST(StepSequencerGridEdit, RemappingFourCellsToThreeMergesAndKeepsTheRest)
{
    // Columns 0, 1, 5 and 7 of row 0; column 6 of row 1.
    auto grid = LoadedGrid(GridSettings(1, 4, 4, false, u"11   1 1", 4));
    grid->ToggleCell(1, 6);
    ASSERT_EQ(grid->HitCount(), 5);
    grid->SetStartColumn(3);
    grid->SetSubdivision(false, 3);
    EXPECT_EQ(grid->CellsPerBeat(), 3);
    EXPECT_EQ(grid->ColumnCount(), 12);
    EXPECT_EQ(grid->StartColumn(), 0);
    // 1 -> 0 lands on the hit from 0; 5 -> 3; 7 -> 5; 6 -> 4.
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_TRUE(Hit(*grid, 0, 3));
    EXPECT_TRUE(Hit(*grid, 0, 5));
    EXPECT_TRUE(Hit(*grid, 1, 4));
    EXPECT_FALSE(Hit(*grid, 0, 1));
    EXPECT_FALSE(Hit(*grid, 0, 7));
    EXPECT_EQ(grid->HitCount(), 4);
}

TEST(StepSequencerGridEdit, RemappingTwoCellsToNoneKeepsOnlyBeatStarts)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1111 1 1", 2));
    grid->SetSubdivision(false, 0);
    EXPECT_EQ(grid->ColumnCount(), 4);
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_TRUE(Hit(*grid, 0, 1));
    EXPECT_FALSE(Hit(*grid, 0, 2));
    EXPECT_FALSE(Hit(*grid, 0, 3));
    EXPECT_EQ(grid->HitCount(), 2);
    // And back: beat j goes to column j * 4.
    grid->SetSubdivision(false, 4);
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_TRUE(Hit(*grid, 0, 4));
    EXPECT_EQ(grid->HitCount(), 2);
}

TEST(StepSequencerGridEdit, SubdivisionOfAnEmptyGridOnlyChangesTheColumns)
{
    auto grid = LoadedGrid(GridSettings(2, 5, 2));
    grid->SetSubdivision(true, 7);
    EXPECT_TRUE(grid->CompoundTime());
    EXPECT_EQ(grid->CellsPerBeat(), 3);
    EXPECT_EQ(grid->ColumnCount(), 10);
    grid->SetSubdivision(false, 7);
    EXPECT_EQ(grid->ColumnCount(), 70);
}

TEST(StepSequencerGridEdit, PasteAtColumnFiveClipsAndLeavesOccupiedCells)
{
    // 16 columns. Row 0: columns 1, 3, 12; row 1: column 2.
    auto grid = LoadedGrid(GridSettings(1, 4, 4, false, u" 1[2]1        1", 4));
    ASSERT_EQ(grid->HitCount(), 4);
    EXPECT_EQ(grid->SelectAll(), RepaintAll);
    EXPECT_EQ(grid->Copy(), RepaintAll);
    EXPECT_EQ(grid->SelectedCount(), 0);

    grid->ToggleCell(1, 6);  // occupies the target of row 1's copied hit
    grid->SetStartColumn(5);
    int hitsBefore = grid->HitCount();
    EXPECT_EQ(grid->HandleKey('V', true), RepaintAll);
    // Shift 4: (0,1)->(0,5), (1,2)->(1,6) occupied, (0,3)->(0,7), (0,12)->(0,16) past the end.
    EXPECT_TRUE(Hit(*grid, 0, 5));
    EXPECT_TRUE(Hit(*grid, 0, 7));
    EXPECT_EQ(grid->Cell(1, 6), 1);
    EXPECT_FALSE(Hit(*grid, 0, 16));
    EXPECT_EQ(grid->HitCount(), hitsBefore + 2);
    EXPECT_EQ(grid->SelectedCount(), 0);

    // The paste is one step and leaves the occupied cell alone when undone.
    EXPECT_EQ(grid->Undo(), 0);
    EXPECT_FALSE(Hit(*grid, 0, 5));
    EXPECT_FALSE(Hit(*grid, 0, 7));
    EXPECT_TRUE(Hit(*grid, 1, 6));
}

TEST(StepSequencerGridEdit, CutRemovesTheSelectionAndPasteBringsItBack)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1 2"));
    EXPECT_EQ(grid->Cut(), NoChange);  // nothing selected
    ASSERT_TRUE(grid->MarkSelected(1, 2));
    EXPECT_FALSE(grid->MarkSelected(1, 2));
    EXPECT_FALSE(grid->MarkSelected(1, 3));  // empty cell
    EXPECT_EQ(grid->HandleKey('X', true), RepaintAll);
    EXPECT_FALSE(Hit(*grid, 1, 2));
    EXPECT_EQ(grid->HitCount(), 1);
    grid->SetStartColumn(6);
    grid->Paste();
    EXPECT_EQ(grid->Cell(1, 6), 1);
    EXPECT_EQ(grid->HitCount(), 2);
}

TEST(StepSequencerGridEdit, SelectionHintsAndDelete)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"3 3 [34]"));
    EXPECT_EQ(grid->ClearSelection(), NoChange);
    EXPECT_EQ(grid->DeleteSelection(), NoChange);
    grid->MarkSelected(2, 0);
    grid->MarkSelected(2, 2);
    EXPECT_EQ(grid->ClearSelection(), 2);
    grid->MarkSelected(2, 0);
    grid->MarkSelected(3, 4);
    EXPECT_EQ(grid->ClearSelection(), RepaintAll);

    grid->MarkSelected(2, 0);
    grid->MarkSelected(2, 4);
    EXPECT_EQ(grid->HandleKey(StepSequencerGrid::KeyDelete, false), 2);
    EXPECT_EQ(grid->SelectedCount(), 0);
    EXPECT_EQ(grid->HitCount(), 2);
    EXPECT_EQ(grid->Undo(), 2);
    EXPECT_EQ(grid->HitCount(), 4);
}

TEST(StepSequencerGridEdit, MovingASelectionAcrossRows)
{
    // Rows 0 and 1 hold hits at columns 0 and 1; row 3 holds one at column 2.
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"[12][12]4"));
    grid->MarkSelected(0, 0);
    grid->MarkSelected(0, 1);
    grid->MarkSelected(1, 1);
    ASSERT_TRUE(grid->BeginDrag(0, 0));
    // Two rows down and one column right.
    EXPECT_EQ(grid->Drop(2, 1), RepaintAll);
    EXPECT_EQ(grid->SelectedCount(), 0);
    EXPECT_TRUE(Hit(*grid, 1, 0));  // not selected: stays
    EXPECT_FALSE(Hit(*grid, 0, 0));
    EXPECT_FALSE(Hit(*grid, 0, 1));
    EXPECT_EQ(grid->Cell(2, 1), 2);  // colour of the row it landed in
    EXPECT_EQ(grid->Cell(2, 2), 2);
    EXPECT_EQ(grid->Cell(3, 2), 3);  // (1,1) landed on row 3's own hit
    EXPECT_EQ(grid->HitCount(), 4);

    EXPECT_EQ(grid->Undo(), RepaintAll);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_TRUE(Hit(*grid, r, c));
    EXPECT_FALSE(Hit(*grid, 2, 1));
    EXPECT_FALSE(Hit(*grid, 2, 2));
    EXPECT_TRUE(Hit(*grid, 3, 2));
    EXPECT_EQ(grid->HitCount(), 5);
    EXPECT_FALSE(grid->CanUndo());
}

TEST(StepSequencerGridEdit, SelectionMovedOntoItselfRecordsOnlyTheEnds)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"111"));
    grid->SelectAll();
    ASSERT_TRUE(grid->BeginDrag(0, 0));
    ASSERT_EQ(grid->ActionPool().FreeCount(), 0);
    grid->Drop(0, 1);
    EXPECT_FALSE(Hit(*grid, 0, 0));
    EXPECT_TRUE(Hit(*grid, 0, 3));
    // Of three removals and three additions, the two cells vacated and refilled need none:
    // the step keeps two actions and the other four are back in the pool.
    EXPECT_EQ(grid->ActionPool().AllocationCount(), 1);
    EXPECT_EQ(grid->ActionPool().FreeCount(), 18);
    grid->Undo();
    EXPECT_TRUE(Hit(*grid, 0, 0) && Hit(*grid, 0, 1) && Hit(*grid, 0, 2));
    EXPECT_FALSE(Hit(*grid, 0, 3));
    EXPECT_EQ(grid->HitCount(), 3);
    EXPECT_FALSE(grid->CanUndo());
}

TEST(StepSequencerGridEdit, SelectionMovedOffTheGridDropsThoseHits)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1      [12]"));
    grid->SelectAll();
    ASSERT_TRUE(grid->BeginDrag(0, 0));
    grid->Drop(1, 0);  // one row down; (0,7) is vacated and refilled by the hit from above
    EXPECT_TRUE(Hit(*grid, 1, 0));
    EXPECT_TRUE(Hit(*grid, 1, 7));
    EXPECT_TRUE(Hit(*grid, 2, 7));
    EXPECT_EQ(grid->HitCount(), 3);

    grid->SelectAll();
    ASSERT_TRUE(grid->BeginDrag(1, 7));
    grid->Drop(1, 0);  // seven columns left: only the hits at column 7 stay on the grid
    EXPECT_TRUE(Hit(*grid, 1, 0));
    EXPECT_TRUE(Hit(*grid, 2, 0));
    EXPECT_EQ(grid->HitCount(), 2);
    grid->Undo();
    EXPECT_TRUE(Hit(*grid, 1, 0) && Hit(*grid, 1, 7) && Hit(*grid, 2, 7));
    EXPECT_EQ(grid->HitCount(), 3);
}

TEST(StepSequencerGridEdit, HiddenRowsAreSkippedWhenRowsAreCounted)
{
    auto settings = GridSettings(1, 4, 2, false, u"[13]");
    settings.DisplayDistinct = 1;
    settings.Instrument[1] = settings.Instrument[0];  // row 1 is hidden
    auto grid = LoadedGrid(settings);
    EXPECT_EQ(grid->VisibleRowCount(), 11);
    EXPECT_EQ(grid->RowOfDisplayRow(1), 2);
    EXPECT_EQ(grid->DisplayRowOf(1), -1);
    grid->MarkSelected(0, 0);
    grid->MarkSelected(2, 0);
    ASSERT_TRUE(grid->BeginDrag(0, 0));
    grid->Drop(1, 0);  // one visible row down passes the hidden row
    EXPECT_EQ(grid->Cell(2, 0), 2);
    EXPECT_EQ(grid->Cell(3, 0), 3);
    EXPECT_FALSE(Hit(*grid, 0, 0));
    EXPECT_FALSE(Hit(*grid, 1, 0));
    EXPECT_EQ(grid->HitCount(), 2);
}

TEST(StepSequencerGridEdit, BarsAndBeatsHideAndShowHitsUnchanged)
{
    // A text is read only as far as the grid's steps: the 17th step is left out.
    auto longer = LoadedGrid(GridSettings(2, 4, 2, false, u"1               1"));
    EXPECT_EQ(longer->HitCount(), 1);

    auto grid = LoadedGrid(GridSettings(2, 4, 2, false, u"1        1"));
    ASSERT_TRUE(Hit(*grid, 0, 9));
    grid->SetStartColumn(4);
    grid->SetNumBars(1);
    EXPECT_EQ(grid->ColumnCount(), 8);
    EXPECT_EQ(grid->StartColumn(), 0);
    EXPECT_EQ(grid->ToggleCell(0, 9), NoChange);  // outside the columns in use
    EXPECT_EQ(grid->ClearAll(), 0);
    EXPECT_TRUE(Hit(*grid, 0, 9));
    EXPECT_EQ(grid->HitCount(), 1);
    grid->SetNumBars(2);
    EXPECT_EQ(grid->Cell(0, 9), 0);
    grid->SetBeatsPerBar(16);
    EXPECT_EQ(grid->ColumnCount(), 64);
}

// The built-in texts with one instrument name longer than a row's name field.
class LongNames final : public System::DefaultLanguage {
public:
    const char16_t* GetInstrumentName(int row) const override
    {
        return row == 0 ? u"An instrument whose name is far too long for the field"
                        : System::DefaultLanguage::GetInstrumentName(row);
    }
};

TEST(StepSequencerGridEdit, LoadingTakesNamesColoursAndVisibleRows)
{
    auto settings = GridSettings(1, 4, 2);
    settings.SoundEngineType = 0;
    settings.Instrument[0] = 0;
    settings.Instrument[1] = 1;
    settings.Instrument[2] = 1;
    auto grid = std::make_unique<StepSequencerGrid>();
    LongNames language;
    grid->LoadFromSettings(settings, language);
    EXPECT_EQ(Tests::Utf8(grid->RowAt(0).name), "An instrument whose name is f");
    EXPECT_EQ(grid->RowAt(0).nameLength, 29);
    grid->LoadFromSettings(settings);  // the built-in English names
    EXPECT_EQ(Tests::Utf8(grid->RowAt(1).name), "Acoustic Snare");

    settings.SoundEngineType = 1;
    Platform::Text::Copy(settings.File[0], u"/home/player/clicks/Wood.block.wav");
    Platform::Text::Copy(settings.File[3], u"Cowbell");
    settings.Instrument[0] = 0;
    settings.Instrument[1] = 3;
    settings.Instrument[2] = 5;   // File6 is empty: the name stays
    settings.Instrument[3] = 99;  // no such file
    settings.Colour[4] = 200;     // out of range: kept clear of the cell's flag bits
    settings.DisplayDistinct = 1;
    grid->LoadFromSettings(settings);
    EXPECT_EQ(Tests::Utf8(grid->RowAt(0).name), "Wood");
    EXPECT_EQ(Tests::Utf8(grid->RowAt(1).name), "Cowbell");
    EXPECT_EQ(Tests::Utf8(grid->RowAt(2).name), "Acoustic Snare");
    EXPECT_EQ(grid->RowAt(4).colourIndex, 11);
    EXPECT_EQ(grid->ShowAllRows(), 0);
    EXPECT_EQ(grid->VisibleRowCount(), 12);

    // Twelve voices of one instrument show one row; hits of hidden rows stay in the cells.
    for (auto& instrument : settings.Instrument)
        instrument = 7;
    Platform::Text::Copy(settings.CustomRhythm, u"[1b]");
    settings.CrSubdivision = 2;
    grid->LoadFromSettings(settings);
    EXPECT_EQ(grid->VisibleRowCount(), 1);
    EXPECT_TRUE(Hit(*grid, 11, 0));
    EXPECT_EQ(grid->HitCount(), 2);
    grid->ToggleDisplayMode();
    EXPECT_EQ(grid->VisibleRowCount(), 12);
    EXPECT_EQ(grid->DisplayRowOf(11), 11);
}

TEST(StepSequencerGridEdit, LoadingDropsHistoryButKeepsTheClipboard)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1"));
    grid->SelectAll();
    grid->Copy();
    grid->ToggleCell(0, 3);
    grid->LoadFromSettings(GridSettings(1, 4, 2));
    EXPECT_FALSE(grid->CanUndo());
    EXPECT_EQ(grid->HitCount(), 0);
    grid->SetStartColumn(2);
    grid->Paste();
    EXPECT_TRUE(Hit(*grid, 0, 2));
}

}  // namespace
