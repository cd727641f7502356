#include "GUI/Model/StepSequencerGrid.h"

#include <algorithm>

#include "GUI/Model/VoiceVolume.h"

// The grid's undo and redo: each edit a step of actions from the pool.
namespace GUI {

void StepSequencerGrid::BeginStep()
{
    _stepFirst = nullptr;
    _stepCount = 0;
}

void StepSequencerGrid::PushStepAction(UndoAction* action)
{
    action->groupMark = false;
    action->next = _undoList;
    _undoList = action;
    if (_stepCount++ == 0)
        _stepFirst = action;
}

void StepSequencerGrid::Record(std::int32_t type, int row, int column)
{
    // Without an action the change is made but not recorded; the pool has logged why.
    UndoAction* action = _actionPool.Take();
    if (!action)
        return;
    action->type = type;
    action->row = row;
    action->column = column;
    PushStepAction(action);
}

void StepSequencerGrid::EndStep()
{
    if (_stepCount >= 2) {
        _stepFirst->groupMark = true;
        _undoList->groupMark = true;
    }
    _stepFirst = nullptr;
    _stepCount = 0;
}

void StepSequencerGrid::ReleaseActions()
{
    _actionPool.GiveBackList(_undoList);
    _actionPool.GiveBackList(_redoList);
    _undoList = nullptr;
    _redoList = nullptr;
}

void StepSequencerGrid::ApplyAction(const UndoAction& action, bool undo)
{
    if (action.type == UndoAction::Volume) {
        Row& row = _rows[action.row];
        row.volume = VoiceVolume::Clamped(static_cast<long long>(row.volume) + (undo ? -action.column : action.column));
        return;
    }
    // Undoing an addition or redoing a removal takes the hit out; the other two put it back.
    bool place = (action.type == UndoAction::Addition) != undo;
    if (place)
        PlaceHit(action.row, action.column);
    else
        TakeOutHit(action.row, action.column);
}

int StepSequencerGrid::UndoRedo(UndoAction*& from, UndoAction*& to, bool undo)
{
    if (!from)
        return NoChange;
    const UndoAction* top = from;
    int row = top->row;
    bool oneRow = true;
    auto applyTop = [&]() {
        UndoAction* action = from;
        from = action->next;
        ApplyAction(*action, undo);
        if (action->row != row)
            oneRow = false;
        action->next = to;
        to = action;
    };
    bool group = top->groupMark;
    applyTop();
    if (group) {
        while (from && !from->groupMark)
            applyTop();
        if (from)
            applyTop();
    }
    return oneRow ? RowHint(row) : RepaintAll;
}

int StepSequencerGrid::Undo()
{
    return UndoRedo(_undoList, _redoList, true);
}

int StepSequencerGrid::Redo()
{
    return UndoRedo(_redoList, _undoList, false);
}

}  // namespace GUI
