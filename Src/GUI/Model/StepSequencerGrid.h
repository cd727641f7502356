#pragma once

#include <cstddef>
#include <cstdint>

#include "Configuration/ConfigurationData.h"
#include "GUI/Model/UndoAction.h"
#include "GUI/Model/UndoActionPool.h"

namespace Configuration {
class ConfigurationData;
}

namespace System {
class ILanguage;
}

namespace GUI {

// The model behind the step sequencer: twelve voice rows by up to 512 columns of hits. It
// loads itself from the step-sequencer fields of a settings record, carries out every edit
// (recording each change for undo), and writes the grid back as custom rhythm text.
//
// The window works in display rows (the index of a row among the visible ones); the grid
// converts them to row indexes (0..11 = voice 1..12) and reports changed rows back as display
// rows in its repaint hints. Only the window's thread calls the grid.
class StepSequencerGrid {
public:
    static constexpr int RowCount = 12;
    static constexpr int MaxColumns = 512;
    static constexpr int NameCapacity = 30;  // units, terminating zero included

    static constexpr std::uint8_t EmptyCell = 0x80;
    static constexpr std::uint8_t SelectedBit = 0x40;
    static constexpr std::uint8_t ColourBits = 0x3F;

    // Repaint hints: nothing changed, more than one row changed, or else the display row.
    static constexpr int NoChange = 4096;
    static constexpr int RepaintAll = -1;

    // Results of EncodeRhythm.
    static constexpr int EncodeSuccess = 0;
    static constexpr int EncodeNoHits = 12;
    static constexpr int EncodeTooManyHits = 13;
    // Most hit and bracket characters a rhythm text may hold (spaces not counted).
    static constexpr int MaxHitCharacters = 512;

    // The settings' step sequencer preview marker: encoded at full resolution.
    static constexpr std::uint32_t PreviewSpeedTrainer = Configuration::ConfigurationData::StepSequencerPreview;

    // Virtual key codes understood by HandleKey.
    static constexpr int KeyDelete = 0x2E;

    struct Row {
        char16_t name[NameCapacity];
        std::int32_t nameLength;  // characters of `name` the window draws
        std::uint32_t instrument;
        bool visible;
        std::int32_t colourIndex;  // 0..11
        std::uint32_t volume;      // the voice's volume, 0..127
        std::uint8_t cells[MaxColumns];
    };

    StepSequencerGrid() noexcept;
    // Returns any recorded actions to the pool, which then frees them all.
    ~StepSequencerGrid();

    StepSequencerGrid(const StepSequencerGrid&) = delete;
    StepSequencerGrid& operator=(const StepSequencerGrid&) = delete;

    // Takes bars, beats, cells per beat, compound time, display mode, the voices' colours,
    // instruments and names from the settings, empties every cell and reads CustomRhythm
    // written with CrSubdivision steps per beat. Undo history is dropped. With the MIDI engine
    // the row names are the language's instrument names; with audio files, the file names.
    // Copies the custom rhythm text and the grid's fields (bars, beats, subdivision, compound
    // time, displayed subdivision, distinct rows) from one settings record to another.
    static void CopyRhythmFields(Configuration::ConfigurationData& to, const Configuration::ConfigurationData& from);

    void LoadFromSettings(const Configuration::ConfigurationData& settings);
    void LoadFromSettings(const Configuration::ConfigurationData& settings, const System::ILanguage& language);

    // Places the hits of a rhythm text written with `stepsPerBeat` steps per beat (0 = one
    // step per beat). Reads up to the terminating zero or `capacity` units.
    void ParseRhythm(const char16_t* text, std::size_t capacity, int stepsPerBeat);

    // Writes the visible rows' hits into settings.CustomRhythm and CrSubdivision: at full
    // resolution for the preview record, otherwise at the coarsest resolution that keeps every
    // hit in place. Returns EncodeNoHits for a grid without visible hits (the all-space text is
    // still written) and EncodeTooManyHits, leaving the record as it was, when the text would
    // exceed MaxHitCharacters hit and bracket characters or not fit in CustomRhythm.
    int EncodeRhythm(Configuration::ConfigurationData& settings) const;

    // The divisor EncodeRhythm uses (one text step per `divisor` columns) and the steps per beat
    // it writes as CrSubdivision.
    int RhythmDivisor(const Configuration::ConfigurationData& settings, std::uint32_t* stepsPerBeat) const;
    // Hit and bracket characters, and the text length (spaces included, zero excluded), of the
    // rhythm text written with `divisor`.
    int HitCharacterCount(int divisor) const;
    int RhythmTextLength(int divisor) const;

    // Edits. Display row d, column c. Each returns a repaint hint.
    int ToggleCell(int displayRow, int column);
    // True, and the hit remembered for Drop, when the cell holds a hit.
    bool BeginDrag(int displayRow, int column);
    // Forgets the pressed hit (the button went up without a drop).
    void EndDrag() { _dragRow = _dragColumn = -1; }
    int Drop(int displayRow, int column);
    int HandleKey(int virtualKey, bool control);
    int SelectAll();
    int ClearSelection();
    int DeleteSelection();
    int Copy();
    int Cut();
    int Paste();
    int ClearAll();
    int Undo();
    int Redo();

    // Steps the volume of display row d's voice by `steps` of `stepSize` (see VoiceVolume), as
    // one undoable edit; false when it did not change (no such row, or at its end already).
    bool StepVolume(int displayRow, int steps, int stepSize);
    // The rows' volumes into the settings' voice volumes.
    void WriteVolumes(Configuration::ConfigurationData& settings) const;

    // Marks a hit as selected (the window's rubber band); true when it was newly marked.
    bool MarkSelected(int row, int column);

    void SetNumBars(int count);
    void SetBeatsPerBar(int count);
    void SetSubdivision(bool compound, int cellsPerBeat);
    void ToggleDisplayMode();
    void SetStartColumn(int column);

    // Returns every action of the undo and redo lists to the pool.
    void ReleaseActions();

    // Row index of a display row, -1 when there is none; display row of a row, -1 when hidden.
    int RowOfDisplayRow(int displayRow) const;
    int DisplayRowOf(int row) const;

    const Row& RowAt(int row) const { return _rows[row]; }
    // The window sets nameLength after fitting the names.
    void SetNameLength(int row, int length);
    std::uint8_t Cell(int row, int column) const { return _rows[row].cells[column]; }
    static bool IsHit(std::uint8_t cell) { return cell != EmptyCell; }
    static bool IsSelected(std::uint8_t cell) { return cell != EmptyCell && (cell & SelectedBit) != 0; }

    int HitCount() const { return _hitCount; }
    int SelectedCount() const { return _selectedCount; }
    int ColumnCount() const { return _columnCount; }
    int CellsPerBeat() const { return _cellsPerBeat; }
    bool CompoundTime() const { return _compoundTime; }
    int NumBars() const { return _numBars; }
    int BeatsPerBar() const { return _beatsPerBar; }
    int TotalBeats() const { return _totalBeats; }
    int ShowAllRows() const { return _showAllRows; }
    int VisibleRowCount() const { return _visibleRowCount; }
    int StartColumn() const { return _startColumn; }
    int DragRow() const { return _dragRow; }
    int DragColumn() const { return _dragColumn; }
    bool CanUndo() const { return _undoList != nullptr; }
    bool CanRedo() const { return _redoList != nullptr; }
    // The most recent recorded action; a new step puts a new one here.
    const UndoAction* UndoTop() const { return _undoList; }
    const UndoActionPool& ActionPool() const { return _actionPool; }
    std::uint8_t ClipboardCell(int row, int column) const { return _clipboard[row][column]; }

private:
    void ComputeColumnCount();
    void ComputeVisibleRows();
    int RowHint(int row) const;
    static char RowCharacter(int row);

    // Cell changes that keep _hitCount and _selectedCount equal to what the cells hold.
    void PlaceHit(int row, int column);
    void TakeOutHit(int row, int column);
    void ClearSelectionBits();

    // Recording of one step: actions pushed onto _undoList between BeginStep and EndStep
    // form one step with the group marks set by EndStep.
    void BeginStep();
    void Record(std::int32_t type, int row, int column);
    void PushStepAction(UndoAction* action);
    void EndStep();

    int RemoveCells(bool selectedOnly, int columnLimit);
    int MoveHit(int row, int column);
    int MoveSelection(int row, int column);
    int RowShift(int row) const;
    int ShiftedRow(int from, int shift) const;
    // The staged additions of a move that it keeps, as one list; the others go back to the pool.
    UndoAction* ReconcileAdditions();
    void RemapColumns(int cellsPerBeat);
    int UndoRedo(UndoAction*& from, UndoAction*& to, bool undo);
    void ApplyAction(const UndoAction& action, bool undo);

    Row _rows[RowCount];
    std::uint8_t _clipboard[RowCount][MaxColumns];
    std::uint8_t _scratch[RowCount][MaxColumns];
    // Per-cell marks of MoveSelection (removed here, removal cancelled, addition kept).
    std::uint8_t _moveMarks[RowCount][MaxColumns];
    UndoActionPool _actionPool;
    int _totalBeats = 4;
    int _numBars = 1;
    int _beatsPerBar = 4;
    int _cellsPerBeat = 2;
    bool _compoundTime = false;
    int _showAllRows = 1;
    int _visibleRowCount = RowCount;
    int _columnCount = 8;
    int _hitCount = 0;
    int _selectedCount = 0;
    int _dragRow = -1;
    int _dragColumn = -1;
    int _startColumn = 0;
    UndoAction* _undoList = nullptr;
    UndoAction* _redoList = nullptr;
    UndoAction* _stagedList = nullptr;
    // The step being recorded.
    UndoAction* _stepFirst = nullptr;
    int _stepCount = 0;
};

}  // namespace GUI
