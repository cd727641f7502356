// Random edits against the step sequencer grid, and arbitrary rhythm texts into its parser.
//
// After every operation the grid's hit and selection counters must match its cells. For
// sequences made only of recorded edits (no redo, no remapping, no change of bars or beats),
// each undo must bring back the cells from before the step it takes back, and undoing every
// step must bring back the starting cells (selection marks aside). Parsed texts must survive a write and a read
// unchanged.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "GUI/Model/StepSequencerGrid.h"

namespace {

using GUI::StepSequencerGrid;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : _data(data), _size(size) {}
    bool Empty() const { return _at >= _size; }
    std::uint8_t Byte() { return _at < _size ? _data[_at++] : 0; }
    const std::uint8_t* Rest(std::size_t* size)
    {
        *size = _size - _at;
        const std::uint8_t* rest = _data + _at;
        _at = _size;
        return rest;
    }

private:
    const std::uint8_t* _data;
    std::size_t _size;
    std::size_t _at = 0;
};

void Fail(const char* what)
{
    std::fprintf(stderr, "grid check failed: %s\n", what);
    std::abort();
}

void CheckCounters(const StepSequencerGrid& grid)
{
    int hits = 0;
    int selected = 0;
    for (int r = 0; r < StepSequencerGrid::RowCount; ++r)
        for (int c = 0; c < StepSequencerGrid::MaxColumns; ++c) {
            std::uint8_t cell = grid.Cell(r, c);
            if (cell == StepSequencerGrid::EmptyCell)
                continue;
            ++hits;
            if (cell & StepSequencerGrid::SelectedBit)
                ++selected;
            if ((cell & StepSequencerGrid::ColourBits) != grid.RowAt(r).colourIndex)
                Fail("a hit does not carry its row's colour index");
        }
    if (hits != grid.HitCount())
        Fail("_hitCount differs from the cells");
    if (selected != grid.SelectedCount())
        Fail("_selectedCount differs from the cells");
    if (grid.ColumnCount() < 0 || grid.ColumnCount() > StepSequencerGrid::MaxColumns)
        Fail("column count out of range");
    int visible = 0;
    for (int r = 0; r < StepSequencerGrid::RowCount; ++r)
        visible += grid.RowAt(r).visible ? 1 : 0;
    if (visible != grid.VisibleRowCount() || visible == 0)
        Fail("visible row count");
}

using Cells = std::array<std::uint8_t, StepSequencerGrid::RowCount * StepSequencerGrid::MaxColumns>;

void Snapshot(const StepSequencerGrid& grid, Cells& cells)
{
    for (int r = 0; r < StepSequencerGrid::RowCount; ++r)
        for (int c = 0; c < StepSequencerGrid::MaxColumns; ++c) {
            std::uint8_t cell = grid.Cell(r, c);
            if (StepSequencerGrid::IsHit(cell))
                cell &= static_cast<std::uint8_t>(~StepSequencerGrid::SelectedBit);
            cells[static_cast<std::size_t>(r * StepSequencerGrid::MaxColumns + c)] = cell;
        }
}

void FillSettings(Input& in, Configuration::ConfigurationData& settings)
{
    settings.CrNumBars = in.Byte() % 6;  // 0 and 5 lie outside what the dialog offers
    settings.CrBeatsPerBar = in.Byte() % 18;
    settings.DisplayedSubdiv = in.Byte() % 10;
    settings.CrSubdivision = in.Byte() % 10;
    settings.CrCompoundTime = in.Byte() % 2;
    settings.DisplayDistinct = in.Byte() % 2;
    settings.SpeedTrainer = in.Byte() % 2 ? 5 : 0;
    std::uint8_t instruments = in.Byte();
    for (int v = 0; v < 12; ++v) {
        settings.Instrument[v] = (instruments >> (v % 8)) & 3;
        settings.Colour[v] = static_cast<std::uint32_t>((v * 5 + instruments) % 12);
    }
}

// Write at the given settings' resolution, read back into a fresh grid: visible hits in use
// must come back in the same places.
void CheckRoundTrip(const StepSequencerGrid& grid, const Configuration::ConfigurationData& base)
{
    Configuration::ConfigurationData settings(base);
    int result = grid.EncodeRhythm(settings);
    if (result == StepSequencerGrid::EncodeTooManyHits)
        return;
    bool terminated = false;
    for (char16_t unit : settings.CustomRhythm)
        terminated = terminated || unit == 0;
    if (!terminated)
        Fail("unterminated rhythm text");
    // The reader takes the grid's dimensions from the settings the grid was loaded with.
    auto copyHolder = std::make_unique<StepSequencerGrid>();
    StepSequencerGrid& copy = *copyHolder;
    copy.LoadFromSettings(settings);
    for (int r = 0; r < StepSequencerGrid::RowCount; ++r) {
        if (!grid.RowAt(r).visible)
            continue;
        for (int c = 0; c < grid.ColumnCount(); ++c)
            if (StepSequencerGrid::IsHit(grid.Cell(r, c)) != StepSequencerGrid::IsHit(copy.Cell(r, c)))
                Fail("rhythm text does not read back the same hits");
    }
}

void FuzzParser(Input& in)
{
    Configuration::ConfigurationData settings;
    FillSettings(in, settings);
    settings.CustomRhythm[0] = 0;
    auto holder = std::make_unique<StepSequencerGrid>();
    StepSequencerGrid& grid = *holder;
    grid.LoadFromSettings(settings);
    std::size_t size = 0;
    const std::uint8_t* rest = in.Rest(&size);
    std::vector<char16_t> text(size / 2);
    if (!text.empty())
        std::memcpy(text.data(), rest, text.size() * 2);
    grid.ParseRhythm(text.data(), text.size(), static_cast<int>(settings.CrSubdivision));
    CheckCounters(grid);
    // The round trip reads with the grid's own dimensions from a settings record.
    Configuration::ConfigurationData base(settings);
    base.CrNumBars = static_cast<std::uint32_t>(grid.NumBars());
    base.CrBeatsPerBar = static_cast<std::uint32_t>(grid.BeatsPerBar());
    CheckRoundTrip(grid, base);
}

void FuzzEdits(Input& in)
{
    Configuration::ConfigurationData settings;
    FillSettings(in, settings);
    // A rhythm to start from, read by the load (not recorded).
    static const char16_t alphabet[] = u"  123456789:ab[]";
    int length = in.Byte() % 64;
    for (int i = 0; i < length; ++i)
        settings.CustomRhythm[i] = alphabet[in.Byte() % 16];
    settings.CustomRhythm[length] = 0;
    auto holder = std::make_unique<StepSequencerGrid>();
    StepSequencerGrid& grid = *holder;
    grid.LoadFromSettings(settings);
    CheckCounters(grid);

    // The cells (selection marks aside) before each recorded step, newest last.
    std::vector<Cells> history;
    Cells start;
    Snapshot(grid, start);

    bool recordedOnly = true;
    const int keys[] = {StepSequencerGrid::KeyDelete, 'A', 'C', 'V', 'X', 'Y', 'Z', 'Q'};
    int operations = 0;
    while (!in.Empty() && operations++ < 400) {
        std::uint8_t op = in.Byte() % 20;
        int displayRow = in.Byte() % 14 - 1;
        int column = static_cast<int>((in.Byte() << 1) | (in.Byte() & 1)) - 2;
        int key = keys[column & 7];
        bool control = (displayRow & 1) != 0;
        Cells before;
        if (recordedOnly)
            Snapshot(grid, before);
        const GUI::UndoAction* topBefore = grid.UndoTop();
        switch (op) {
        case 0: grid.ToggleCell(displayRow, column); break;
        case 1: grid.BeginDrag(displayRow, column); break;
        case 2: grid.Drop(displayRow, column); break;
        case 3:
            if (control && key == 'Y')
                recordedOnly = false;
            grid.HandleKey(key, control);
            break;
        case 4: grid.SelectAll(); break;
        case 5: grid.ClearSelection(); break;
        case 6: grid.DeleteSelection(); break;
        case 7: grid.Copy(); break;
        case 8: grid.Cut(); break;
        case 9: grid.Paste(); break;
        case 10: grid.ClearAll(); break;
        case 11: grid.Undo(); break;
        case 12:
            grid.Redo();
            recordedOnly = false;
            break;
        case 13: grid.MarkSelected(displayRow, column); break;
        case 14: grid.SetStartColumn(column); break;
        case 15: grid.ToggleDisplayMode(); break;
        case 16:
            grid.SetNumBars(displayRow % 6);
            recordedOnly = false;
            break;
        case 17:
            grid.SetBeatsPerBar(column % 18);
            recordedOnly = false;
            break;
        case 18:
            grid.SetSubdivision(displayRow == 3, column % 10);
            recordedOnly = false;
            break;
        case 19: {
            Configuration::ConfigurationData out(settings);
            out.SpeedTrainer = (displayRow & 1) ? 5 : 0;
            int result = grid.EncodeRhythm(out);
            if (result != 0 && result != 12 && result != 13)
                Fail("unexpected encoding result");
            break;
        }
        }
        CheckCounters(grid);
        if (!recordedOnly)
            continue;
        if (op == 11 || (op == 3 && key == 'Z' && control)) {
            // An undo takes back exactly the newest step still recorded.
            if (!history.empty()) {
                Cells now;
                Snapshot(grid, now);
                if (now != history.back())
                    Fail("undo did not restore the cells from before its step");
                history.pop_back();
            }
        } else if (grid.UndoTop() != topBefore) {
            history.push_back(before);
        }
    }

    if (!recordedOnly)
        return;
    while (grid.CanUndo()) {
        if (history.empty())
            Fail("more steps recorded than edits made");
        grid.Undo();
        CheckCounters(grid);
        Cells now;
        Snapshot(grid, now);
        if (now != history.back())
            Fail("undo did not restore the cells from before its step");
        history.pop_back();
    }
    if (!history.empty())
        Fail("an edit was not recorded");
    Cells end;
    Snapshot(grid, end);
    if (end != start)
        Fail("undoing every step did not restore the starting cells");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in(data, size);
    if (in.Byte() & 1)
        FuzzEdits(in);
    else
        FuzzParser(in);
    return 0;
}
