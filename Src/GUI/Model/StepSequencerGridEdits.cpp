#include "GUI/Model/StepSequencerGrid.h"

#include <algorithm>
#include <cstring>

#include "Configuration/ConfigurationData.h"
#include "GUI/Model/VoiceVolume.h"

// The grid's edits: hits placed, taken out, dragged and moved with the selection, and the rows'
// volumes stepped, each an undo step of its own.
namespace GUI {

namespace {

constexpr std::uint8_t MoveRemoved = 1;    // a selected hit was taken out of this cell
constexpr std::uint8_t MoveCancelled = 2;  // ... and the cell was filled again by the move
constexpr std::uint8_t MoveAdded = 4;      // an addition for this cell is kept

}  // namespace

int StepSequencerGrid::ToggleCell(int displayRow, int column)
{
    int row = RowOfDisplayRow(displayRow);
    if (row < 0 || column < 0 || column >= _columnCount)
        return NoChange;
    BeginStep();
    if (_rows[row].cells[column] == EmptyCell) {
        PlaceHit(row, column);
        Record(UndoAction::Addition, row, column);
    } else {
        TakeOutHit(row, column);
        Record(UndoAction::Removal, row, column);
    }
    EndStep();
    return displayRow;
}

bool StepSequencerGrid::StepVolume(int displayRow, int steps, int stepSize)
{
    const int row = RowOfDisplayRow(displayRow);
    if (row < 0)
        return false;
    const std::uint32_t volume = VoiceVolume::Stepped(_rows[row].volume, steps, stepSize);
    if (volume == _rows[row].volume)
        return false;
    BeginStep();
    Record(UndoAction::Volume, row, static_cast<int>(volume) - static_cast<int>(_rows[row].volume));
    EndStep();
    _rows[row].volume = volume;
    return true;
}

void StepSequencerGrid::WriteVolumes(Configuration::ConfigurationData& settings) const
{
    for (int r = 0; r < RowCount; ++r)
        settings.Volume[r] = _rows[r].volume;
}

bool StepSequencerGrid::BeginDrag(int displayRow, int column)
{
    int row = RowOfDisplayRow(displayRow);
    if (row >= 0 && column >= 0 && column < _columnCount && _rows[row].cells[column] != EmptyCell) {
        _dragRow = row;
        _dragColumn = column;
        return true;
    }
    _dragRow = _dragColumn = -1;
    return false;
}

int StepSequencerGrid::Drop(int displayRow, int column)
{
    if (_dragRow < 0)
        return NoChange;
    int row = RowOfDisplayRow(displayRow);
    // The dragged hit must still be there (a key may have removed it since the press) and the
    // drop must land on a cell; otherwise the drag is forgotten and nothing moves.
    bool valid = row >= 0 && column >= 0 && column < _columnCount && _dragColumn < _columnCount &&
        _rows[_dragRow].cells[_dragColumn] != EmptyCell;
    if (valid) {
        if (_selectedCount > 1)
            MoveSelection(row, column);
        else
            MoveHit(row, column);
    }
    _dragRow = _dragColumn = -1;
    if (!valid)
        return NoChange;
    ClearSelectionBits();
    return RepaintAll;
}

int StepSequencerGrid::MoveHit(int row, int column)
{
    BeginStep();
    TakeOutHit(_dragRow, _dragColumn);
    Record(UndoAction::Removal, _dragRow, _dragColumn);
    if (_rows[row].cells[column] == EmptyCell) {
        PlaceHit(row, column);
        Record(UndoAction::Addition, row, column);
    }
    // Dropped on a hit: the dragged hit is gone and the removal alone is the step.
    EndStep();
    return RepaintAll;
}

// The rows a drag from _dragRow to `row` moves by: the visible rows from the higher of the two
// (counted) to the lower (not counted); positive when moving down.
int StepSequencerGrid::RowShift(int row) const
{
    int low = std::min(_dragRow, row);
    int high = std::max(_dragRow, row);
    int shift = 0;
    for (int r = low; r < high; ++r)
        if (_rows[r].visible)
            ++shift;
    return row < _dragRow ? -shift : shift;
}

// The row `shift` visible rows away from `from`; out of the grid when it runs off it.
int StepSequencerGrid::ShiftedRow(int from, int shift) const
{
    int target = from;
    int passed = 0;
    int direction = shift > 0 ? 1 : -1;
    int distance = shift > 0 ? shift : -shift;
    while (passed < distance) {
        target += direction;
        if (target < 0 || target >= RowCount)
            break;
        if (_rows[target].visible)
            ++passed;
    }
    return target;
}

UndoAction* StepSequencerGrid::ReconcileAdditions()
{
    // Reconcile the staged additions, latest first. A cell vacated and filled again needs
    // neither action; a cell that held a hit before the move needs no addition; and a cell
    // that two moved hits landed on needs one.
    UndoAction* additions = nullptr;
    while (UndoAction* action = _stagedList) {
        _stagedList = action->next;
        std::uint8_t& marks = _moveMarks[action->row][action->column];
        if ((marks & MoveRemoved) && !(marks & MoveCancelled)) {
            marks |= MoveCancelled;
            _actionPool.GiveBack(action);
        } else if (_scratch[action->row][action->column] != EmptyCell || (marks & MoveAdded)) {
            _actionPool.GiveBack(action);
        } else {
            marks |= MoveAdded;
            action->next = additions;
            additions = action;
        }
    }
    return additions;
}

int StepSequencerGrid::MoveSelection(int row, int column)
{
    const int shift = RowShift(row);
    int columnShift = column - _dragColumn;

    for (int r = 0; r < RowCount; ++r) {
        std::memcpy(_scratch[r], _rows[r].cells, static_cast<std::size_t>(_columnCount));
        for (int j = 0; j < _columnCount; ++j)
            if (IsSelected(_rows[r].cells[j]))
                TakeOutHit(r, j);
    }

    // Removals, in row and column order, kept apart until the additions are reconciled.
    UndoAction* removals = nullptr;
    for (int i = 0; i < RowCount; ++i) {
        for (int j = 0; j < _columnCount; ++j) {
            if (!IsSelected(_scratch[i][j]))
                continue;
            if (UndoAction* action = _actionPool.Take()) {
                action->type = UndoAction::Removal;
                action->row = i;
                action->column = j;
                action->next = removals;
                removals = action;
                _moveMarks[i][j] |= MoveRemoved;
            }
            const int target = ShiftedRow(i, shift);
            int targetColumn = j + columnShift;
            if (target < 0 || target >= RowCount || targetColumn < 0 || targetColumn >= _columnCount)
                continue;  // moved off the grid: the hit is dropped
            PlaceHit(target, targetColumn);
            if (UndoAction* action = _actionPool.Take()) {
                action->type = UndoAction::Addition;
                action->row = target;
                action->column = targetColumn;
                action->next = _stagedList;
                _stagedList = action;
            }
        }
    }

    UndoAction* additions = ReconcileAdditions();

    // One step: the removals (in the order made), then the additions above them.
    UndoAction* ordered = nullptr;
    while (UndoAction* action = removals) {
        removals = action->next;
        action->next = ordered;
        ordered = action;
    }
    BeginStep();
    while (UndoAction* action = ordered) {
        ordered = action->next;
        if (_moveMarks[action->row][action->column] & MoveCancelled)
            _actionPool.GiveBack(action);
        else
            PushStepAction(action);
    }
    while (UndoAction* action = additions) {
        additions = action->next;
        PushStepAction(action);
    }
    EndStep();
    std::memset(_moveMarks, 0, sizeof _moveMarks);
    return RepaintAll;
}

int StepSequencerGrid::SelectAll()
{
    if (_hitCount == 0)
        return NoChange;
    for (Row& row : _rows)
        for (int j = 0; j < _columnCount; ++j)
            if (row.cells[j] != EmptyCell)
                row.cells[j] |= SelectedBit;
    // Counted over every column so that the count stays what the cells hold.
    _selectedCount = 0;
    for (const Row& row : _rows)
        for (std::uint8_t cell : row.cells)
            if (IsSelected(cell))
                ++_selectedCount;
    return RepaintAll;
}

int StepSequencerGrid::ClearSelection()
{
    if (_selectedCount == 0)
        return NoChange;
    int changedRow = -1;
    bool manyRows = false;
    for (int r = 0; r < RowCount; ++r)
        for (int j = 0; j < _columnCount; ++j)
            if (IsSelected(_rows[r].cells[j])) {
                if (changedRow >= 0 && changedRow != r)
                    manyRows = true;
                changedRow = r;
            }
    ClearSelectionBits();
    if (changedRow < 0 || manyRows)
        return RepaintAll;
    return RowHint(changedRow);
}

int StepSequencerGrid::RemoveCells(bool selectedOnly, int columnLimit)
{
    int changedRow = -1;
    bool manyRows = false;
    BeginStep();
    for (int r = 0; r < RowCount; ++r)
        for (int j = 0; j < columnLimit; ++j) {
            std::uint8_t cell = _rows[r].cells[j];
            if (cell == EmptyCell || (selectedOnly && !(cell & SelectedBit)))
                continue;
            TakeOutHit(r, j);
            Record(UndoAction::Removal, r, j);
            if (changedRow >= 0 && changedRow != r)
                manyRows = true;
            changedRow = r;
        }
    EndStep();
    if (changedRow < 0)
        return NoChange;
    return manyRows ? RepaintAll : RowHint(changedRow);
}

int StepSequencerGrid::DeleteSelection()
{
    if (_selectedCount == 0)
        return NoChange;
    int hint = RemoveCells(true, MaxColumns);
    _selectedCount = 0;
    return hint;
}

int StepSequencerGrid::ClearAll()
{
    if (_hitCount == 0)
        return NoChange;
    return RemoveCells(false, _columnCount);
}

int StepSequencerGrid::Copy()
{
    for (int r = 0; r < RowCount; ++r)
        std::memcpy(_clipboard[r], _rows[r].cells, static_cast<std::size_t>(_columnCount));
    ClearSelection();
    return RepaintAll;
}

int StepSequencerGrid::Cut()
{
    if (_selectedCount == 0)
        return NoChange;
    for (int r = 0; r < RowCount; ++r)
        std::memcpy(_clipboard[r], _rows[r].cells, static_cast<std::size_t>(_columnCount));
    DeleteSelection();
    return RepaintAll;
}

int StepSequencerGrid::Paste()
{
    bool found = false;
    int shift = 0;
    BeginStep();
    for (int j = 0; j < _columnCount; ++j)
        for (int i = 0; i < RowCount; ++i) {
            if (!IsSelected(_clipboard[i][j]))
                continue;
            if (!found) {
                found = true;
                shift = _startColumn - j;
            }
            int target = j + shift;
            if (target < 0 || target >= _columnCount || _rows[i].cells[target] != EmptyCell)
                continue;
            PlaceHit(i, target);
            Record(UndoAction::Addition, i, target);
        }
    EndStep();
    return RepaintAll;
}

int StepSequencerGrid::HandleKey(int virtualKey, bool control)
{
    if (!control)
        return virtualKey == KeyDelete ? DeleteSelection() : NoChange;
    switch (virtualKey) {
    case 'A': return SelectAll();
    case 'C': return Copy();
    case 'V': return Paste();
    case 'X': return Cut();
    case 'Y': return Redo();
    case 'Z': return Undo();
    default: return NoChange;
    }
}

}  // namespace GUI
