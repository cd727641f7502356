#include <gtest/gtest.h>

#include "GridTestSupport.h"

namespace {

using GUI::StepSequencerGrid;
using Tests::GridSettings;
using Tests::Hit;
using Tests::LoadedGrid;

constexpr int RepaintAll = StepSequencerGrid::RepaintAll;
constexpr int NoChange = StepSequencerGrid::NoChange;

TEST(StepSequencerGridUndo, TogglesAreUndoneAndRedoneOneAtATime)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2));
    EXPECT_EQ(grid->Undo(), NoChange);
    EXPECT_EQ(grid->ToggleCell(3, 5), 3);
    EXPECT_EQ(grid->Cell(3, 5), 3);  // the row's colour index
    EXPECT_EQ(grid->ToggleCell(3, 5), 3);
    EXPECT_FALSE(Hit(*grid, 3, 5));

    EXPECT_EQ(grid->HandleKey('Z', true), 3);
    EXPECT_TRUE(Hit(*grid, 3, 5));
    EXPECT_EQ(grid->HitCount(), 1);
    EXPECT_EQ(grid->HandleKey('Z', true), 3);
    EXPECT_FALSE(Hit(*grid, 3, 5));
    EXPECT_EQ(grid->HitCount(), 0);
    EXPECT_EQ(grid->Undo(), NoChange);

    EXPECT_EQ(grid->HandleKey('Y', true), 3);
    EXPECT_TRUE(Hit(*grid, 3, 5));
    EXPECT_EQ(grid->HandleKey('Y', true), 3);
    EXPECT_FALSE(Hit(*grid, 3, 5));
    EXPECT_EQ(grid->Redo(), NoChange);
    // Without Ctrl the letters do nothing.
    EXPECT_EQ(grid->HandleKey('Z', false), NoChange);
}

TEST(StepSequencerGridUndo, ClearOfFiveHitsIsOneStep)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1 [23]  4 5"));
    ASSERT_EQ(grid->HitCount(), 5);
    grid->ToggleCell(0, 1);  // an earlier step that must survive the clear's undo
    ASSERT_EQ(grid->HitCount(), 6);

    EXPECT_EQ(grid->ClearAll(), RepaintAll);
    EXPECT_EQ(grid->HitCount(), 0);
    EXPECT_EQ(grid->ClearAll(), NoChange);  // nothing left: nothing recorded

    EXPECT_EQ(grid->Undo(), RepaintAll);
    EXPECT_EQ(grid->HitCount(), 6);
    EXPECT_TRUE(Hit(*grid, 0, 0) && Hit(*grid, 1, 2) && Hit(*grid, 2, 2) && Hit(*grid, 3, 5) && Hit(*grid, 4, 7));
    EXPECT_EQ(grid->Redo(), RepaintAll);
    EXPECT_EQ(grid->HitCount(), 0);
    EXPECT_EQ(grid->Undo(), RepaintAll);
    // The toggle below the group is its own step.
    EXPECT_EQ(grid->Undo(), 0);
    EXPECT_EQ(grid->HitCount(), 5);
    EXPECT_FALSE(Hit(*grid, 0, 1));
    EXPECT_FALSE(grid->CanUndo());
}

TEST(StepSequencerGridUndo, ClearOfOneHitInOneRowHintsThatRow)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"    5"));
    EXPECT_EQ(grid->ClearAll(), 4);
    EXPECT_EQ(grid->Undo(), 4);
}

TEST(StepSequencerGridUndo, MovedHitComesBackInOneStep)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"  3"));
    ASSERT_TRUE(Hit(*grid, 2, 2));
    EXPECT_FALSE(grid->BeginDrag(0, 0));
    EXPECT_EQ(grid->Drop(1, 1), NoChange);
    ASSERT_TRUE(grid->BeginDrag(2, 2));
    EXPECT_EQ(grid->Drop(6, 4), RepaintAll);
    EXPECT_FALSE(Hit(*grid, 2, 2));
    EXPECT_EQ(grid->Cell(6, 4), 6);  // takes the new row's colour
    EXPECT_EQ(grid->HitCount(), 1);
    EXPECT_EQ(grid->DragRow(), -1);

    EXPECT_EQ(grid->Undo(), RepaintAll);
    EXPECT_TRUE(Hit(*grid, 2, 2));
    EXPECT_FALSE(Hit(*grid, 6, 4));
    EXPECT_FALSE(grid->CanUndo());
    grid->Redo();
    EXPECT_TRUE(Hit(*grid, 6, 4));
    EXPECT_FALSE(Hit(*grid, 2, 2));
}

TEST(StepSequencerGridUndo, HitDroppedOnAHitIsGoneAndOneUndoBringsItBack)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2, false, u"1 2"));
    ASSERT_TRUE(grid->BeginDrag(0, 0));
    grid->Drop(1, 2);
    EXPECT_FALSE(Hit(*grid, 0, 0));
    EXPECT_EQ(grid->Cell(1, 2), 1);
    EXPECT_EQ(grid->HitCount(), 1);
    EXPECT_EQ(grid->Undo(), 0);
    EXPECT_EQ(grid->HitCount(), 2);
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_FALSE(grid->CanUndo());
}

TEST(StepSequencerGridUndo, TwentyOneRecordedActionsAllocateTwice)
{
    auto grid = LoadedGrid(GridSettings(4, 16, 8));
    for (int c = 0; c < 20; ++c)
        grid->ToggleCell(0, c);
    EXPECT_EQ(grid->ActionPool().AllocationCount(), 1);
    grid->ToggleCell(1, 0);
    EXPECT_EQ(grid->ActionPool().AllocationCount(), 2);

    // Released actions are reused: a fresh history of 40 actions needs no new block.
    grid->ReleaseActions();
    EXPECT_FALSE(grid->CanUndo());
    EXPECT_EQ(grid->ActionPool().FreeCount(), 40);
    for (int c = 0; c < 40; ++c)
        grid->ToggleCell(2, c);
    EXPECT_EQ(grid->ActionPool().AllocationCount(), 2);
}

TEST(StepSequencerGridUndo, RedoAfterANewEditAppliesToTheCellsAsTheyAre)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2));
    grid->ToggleCell(0, 0);
    grid->Undo();
    grid->ToggleCell(0, 0);  // placed again by hand; the redo list still holds the addition
    EXPECT_TRUE(grid->CanRedo());
    grid->Redo();
    EXPECT_TRUE(Hit(*grid, 0, 0));
    EXPECT_EQ(grid->HitCount(), 1);  // a hit that is already there is not counted twice
    grid->Undo();
    grid->Undo();
    EXPECT_EQ(grid->HitCount(), 0);
}

TEST(StepSequencerGridUndo, UndoingAnAdditionThatIsSelectedKeepsTheSelectionCountTrue)
{
    auto grid = LoadedGrid(GridSettings(1, 4, 2));
    grid->ToggleCell(0, 3);
    grid->ToggleCell(1, 3);
    EXPECT_EQ(grid->SelectAll(), RepaintAll);
    EXPECT_EQ(grid->SelectedCount(), 2);
    grid->Undo();
    EXPECT_EQ(grid->SelectedCount(), 1);
    // Clicking a selected hit away keeps the count as true.
    grid->ToggleCell(0, 3);
    EXPECT_EQ(grid->SelectedCount(), 0);
    EXPECT_EQ(grid->HitCount(), 0);
}

}  // namespace
