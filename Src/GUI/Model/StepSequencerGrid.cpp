#include "GUI/Model/StepSequencerGrid.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Configuration/ConfigurationData.h"
#include "Core/CustomText.h"
#include "GUI/Model/VoiceVolume.h"
#include "Platform/Text.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

constexpr int MinBars = 1;
constexpr int MaxBars = 4;
constexpr int MinBeatsPerBar = 2;
constexpr int MaxBeatsPerBar = 16;
constexpr int MaxCellsPerBeat = 8;
constexpr int MaxColourIndex = 11;

int Clamp(long long value, int low, int high)
{
    return static_cast<int>(std::clamp<long long>(value, low, high));
}

// The name of the audio file a path names: the text after its last separator up to the first
// '.' after that.
std::u16string_view FileName(const char16_t* path, std::size_t capacity)
{
    std::u16string_view text(path, Platform::Text::Length(path, capacity));
    std::size_t separator = text.find_last_of(u"/\\");
    if (separator != std::u16string_view::npos)
        text.remove_prefix(separator + 1);
    std::size_t dot = text.find(u'.');
    if (dot != std::u16string_view::npos)
        text = text.substr(0, dot);
    return text;
}

}  // namespace

StepSequencerGrid::StepSequencerGrid() noexcept : _actionPool(UndoActionPool::DefaultGrowth)
{
    for (int r = 0; r < RowCount; ++r) {
        Row& row = _rows[r];
        row.name[0] = 0;
        row.nameLength = 0;
        row.instrument = 1;
        row.visible = true;
        row.colourIndex = MaxColourIndex;
        row.volume = VoiceVolume::Maximum;
        std::memset(row.cells, EmptyCell, sizeof row.cells);
    }
    std::memset(_clipboard, EmptyCell, sizeof _clipboard);
    std::memset(_scratch, EmptyCell, sizeof _scratch);
    std::memset(_moveMarks, 0, sizeof _moveMarks);
}

StepSequencerGrid::~StepSequencerGrid()
{
    ReleaseActions();
    _actionPool.GiveBackList(_stagedList);
    _stagedList = nullptr;
}

void StepSequencerGrid::CopyRhythmFields(Configuration::ConfigurationData& to,
                                         const Configuration::ConfigurationData& from)
{
    Platform::Text::Copy(to.CustomRhythm, Core::CustomText::Of(from.CustomRhythm));
    to.CrBeatsPerBar = from.CrBeatsPerBar;
    to.CrCompoundTime = from.CrCompoundTime;
    to.CrNumBars = from.CrNumBars;
    to.CrSubdivision = from.CrSubdivision;
    to.DisplayedSubdiv = from.DisplayedSubdiv;
    to.DisplayDistinct = from.DisplayDistinct;
}

void StepSequencerGrid::LoadFromSettings(const Configuration::ConfigurationData& settings)
{
    LoadFromSettings(settings, System::CurrentLanguage());
}

void StepSequencerGrid::LoadFromSettings(const Configuration::ConfigurationData& settings,
                                         const System::ILanguage& language)
{
    _dragRow = _dragColumn = -1;
    _selectedCount = 0;
    _startColumn = 0;
    _hitCount = 0;
    ReleaseActions();
    _actionPool.GiveBackList(_stagedList);
    _stagedList = nullptr;

    // The configuration reader accepts wider ranges than the dialog offers; the grid keeps to
    // the sizes it can hold so that no column index leaves the 512 cells of a row.
    _numBars = Clamp(settings.CrNumBars, MinBars, MaxBars);
    _beatsPerBar = Clamp(settings.CrBeatsPerBar, MinBeatsPerBar, MaxBeatsPerBar);
    _totalBeats = _numBars * _beatsPerBar;
    _compoundTime = settings.CrCompoundTime != 0;
    _cellsPerBeat = _compoundTime ? 3 : Clamp(settings.DisplayedSubdiv, 0, MaxCellsPerBeat);
    _showAllRows = settings.DisplayDistinct == 0 ? 1 : 0;

    for (int r = 0; r < RowCount; ++r) {
        Row& row = _rows[r];
        // A colour index above 11 would run into the empty and selected bits of a cell.
        row.colourIndex = Clamp(settings.Colour[r], 0, MaxColourIndex);
        row.volume = VoiceVolume::Clamped(settings.Volume[r]);
        std::u16string_view name;
        if (settings.SoundEngineType == 0) {
            // A name the language does not have (an instrument out of range) keeps the old one.
            if (settings.Instrument[r] < static_cast<std::uint32_t>(System::ILanguage::InstrumentCount))
                if (const char16_t* text = language.GetInstrumentName(static_cast<int>(settings.Instrument[r])))
                    name = text;
        } else if (settings.Instrument[r] < static_cast<std::uint32_t>(RowCount)) {
            name = FileName(settings.File[settings.Instrument[r]], Configuration::ConfigurationData::FileCapacity);
        }
        if (!name.empty()) {
            std::size_t length = Platform::Text::Copy(row.name, name);
            row.nameLength = static_cast<std::int32_t>(length);
        }
        row.instrument = settings.Instrument[r];
    }
    ComputeColumnCount();
    ComputeVisibleRows();

    for (Row& row : _rows)
        std::memset(row.cells, EmptyCell, sizeof row.cells);
    _hitCount = 0;
    ParseRhythm(settings.CustomRhythm, Configuration::ConfigurationData::CustomRhythmCapacity,
                static_cast<int>(std::min<std::uint32_t>(settings.CrSubdivision, MaxCellsPerBeat)));
}

void StepSequencerGrid::ComputeColumnCount()
{
    int count = (!_compoundTime && _cellsPerBeat != 0) ? _cellsPerBeat * _totalBeats : _totalBeats;
    _columnCount = std::clamp(count, 0, MaxColumns);
}

void StepSequencerGrid::ComputeVisibleRows()
{
    _visibleRowCount = 0;
    for (int i = 0; i < RowCount; ++i) {
        bool visible = true;
        if (_showAllRows == 0) {
            for (int j = 0; j < i && visible; ++j)
                if (_rows[j].visible && _rows[j].instrument == _rows[i].instrument)
                    visible = false;
        }
        _rows[i].visible = visible;
        if (visible)
            ++_visibleRowCount;
    }
}

int StepSequencerGrid::RowOfDisplayRow(int displayRow) const
{
    if (displayRow < 0)
        return -1;
    for (int r = 0; r < RowCount; ++r) {
        if (!_rows[r].visible)
            continue;
        if (displayRow == 0)
            return r;
        --displayRow;
    }
    return -1;
}

int StepSequencerGrid::DisplayRowOf(int row) const
{
    if (row < 0 || row >= RowCount || !_rows[row].visible)
        return -1;
    int display = 0;
    for (int r = 0; r < row; ++r)
        if (_rows[r].visible)
            ++display;
    return display;
}

int StepSequencerGrid::RowHint(int row) const
{
    int display = DisplayRowOf(row);
    return display >= 0 ? display : RepaintAll;
}

void StepSequencerGrid::SetNameLength(int row, int length)
{
    if (row >= 0 && row < RowCount)
        _rows[row].nameLength = std::clamp(length, 0, NameCapacity - 1);
}

void StepSequencerGrid::PlaceHit(int row, int column)
{
    std::uint8_t& cell = _rows[row].cells[column];
    if (cell == EmptyCell)
        ++_hitCount;
    else if (cell & SelectedBit)
        --_selectedCount;
    cell = static_cast<std::uint8_t>(_rows[row].colourIndex);
}

void StepSequencerGrid::TakeOutHit(int row, int column)
{
    std::uint8_t& cell = _rows[row].cells[column];
    if (cell == EmptyCell)
        return;
    --_hitCount;
    if (cell & SelectedBit)
        --_selectedCount;
    cell = EmptyCell;
}

void StepSequencerGrid::ClearSelectionBits()
{
    // Every column, so that a selection left beyond a shrunken column count is not counted on.
    for (Row& row : _rows)
        for (std::uint8_t& cell : row.cells)
            if (cell != EmptyCell)
                cell &= static_cast<std::uint8_t>(~SelectedBit);
    _selectedCount = 0;
}

bool StepSequencerGrid::MarkSelected(int row, int column)
{
    if (row < 0 || row >= RowCount || column < 0 || column >= MaxColumns)
        return false;
    std::uint8_t& cell = _rows[row].cells[column];
    if (cell == EmptyCell || (cell & SelectedBit))
        return false;
    cell |= SelectedBit;
    ++_selectedCount;
    return true;
}

// ---- Dimensions -----------------------------------------------------------------------------

void StepSequencerGrid::SetNumBars(int count)
{
    _numBars = std::clamp(count, MinBars, MaxBars);
    _totalBeats = _numBars * _beatsPerBar;
    _startColumn = 0;
    ComputeColumnCount();
}

void StepSequencerGrid::SetBeatsPerBar(int count)
{
    _beatsPerBar = std::clamp(count, MinBeatsPerBar, MaxBeatsPerBar);
    _totalBeats = _numBars * _beatsPerBar;
    _startColumn = 0;
    ComputeColumnCount();
}

void StepSequencerGrid::SetSubdivision(bool compound, int cellsPerBeat)
{
    _compoundTime = compound;
    int s = compound ? 3 : std::clamp(cellsPerBeat, 0, MaxCellsPerBeat);
    if (_hitCount != 0)
        RemapColumns(s);
    else
        _cellsPerBeat = s;
    _startColumn = 0;
    ComputeColumnCount();
}

void StepSequencerGrid::RemapColumns(int s)
{
    int c = _cellsPerBeat;
    if (s == c)
        return;
    int oldCount = _columnCount;
    for (int r = 0; r < RowCount; ++r) {
        std::memcpy(_scratch[r], _rows[r].cells, static_cast<std::size_t>(oldCount));
        for (int j = 0; j < oldCount; ++j)
            TakeOutHit(r, j);
    }
    float ratio = c != 0 ? static_cast<float>(s) / static_cast<float>(c) : 0.0f;
    for (int r = 0; r < RowCount; ++r)
        for (int j = 0; j < oldCount; ++j) {
            if (_scratch[r][j] == EmptyCell)
                continue;
            int target;
            if (c != 0 && s != 0)
                target = static_cast<int>(static_cast<float>(j) * ratio);
            else if (c != 0)
                target = j % c == 0 ? j / c : -1;
            else
                target = j * s;
            if (target >= 0 && target < MaxColumns)
                PlaceHit(r, target);  // a later hit on the same cell merges with the earlier one
        }
    _cellsPerBeat = s;
}

void StepSequencerGrid::ToggleDisplayMode()
{
    _showAllRows = _showAllRows ? 0 : 1;
    ComputeVisibleRows();
}

void StepSequencerGrid::SetStartColumn(int column)
{
    if (column >= 0 && column < _columnCount)
        _startColumn = column;
}

}  // namespace GUI
