#include "GUI/Model/StepSequencerGrid.h"

#include <algorithm>
#include <cstring>

#include "Configuration/ConfigurationData.h"
#include "Core/CustomText.h"
#include "Platform/Text.h"

// The grid as the custom rhythm text of the settings: read from it and written back.
namespace GUI {

void StepSequencerGrid::ParseRhythm(const char16_t* text, std::size_t capacity, int stepsPerBeat)
{
    if (!text || capacity == 0 || text[0] == 0)
        return;
    long long cells = _cellsPerBeat != 0 ? _cellsPerBeat : 1;
    long long steps = stepsPerBeat > 0 ? stepsPerBeat : 0;
    long long limit = steps != 0 ? _totalBeats * steps : _totalBeats;

    auto placeCharacter = [this](char16_t ch, long long column) {
        int row = ch <= 0x60 ? static_cast<int>(ch) - '1' : static_cast<int>(ch) - 'W';
        if (row >= 0 && row < RowCount && column >= 0 && column < MaxColumns)
            PlaceHit(row, static_cast<int>(column));
    };

    std::size_t at = 0;
    for (long long step = 0; step < limit && at < capacity && text[at] != 0; ++step) {
        // Step i of the text begins at column i * cells / steps: one text step per
        // cells / steps columns when the text's resolution divides the grid's, and the
        // nearest column to its left otherwise, so that the beats stay in place.
        long long column = steps != 0 ? step * cells / steps : step * cells;
        char16_t ch = text[at++];
        if (ch == u'[') {
            while (at < capacity && text[at] != 0 && text[at] != u']')
                placeCharacter(text[at++], column);
            if (at < capacity && text[at] == u']')
                ++at;
        } else if (ch != u' ') {
            placeCharacter(ch, column);
        }
    }
}

char StepSequencerGrid::RowCharacter(int row)
{
    return static_cast<char>(row < 10 ? '1' + row : 'W' + row);
}

int StepSequencerGrid::RhythmDivisor(const Configuration::ConfigurationData& settings,
                                     std::uint32_t* stepsPerBeat) const
{
    int divisor = 1;
    std::uint32_t written = 0;
    if (_compoundTime) {
        written = 3;
    } else if (_cellsPerBeat == 0) {
        written = 0;
    } else {
        int s = _cellsPerBeat;
        if (settings.SpeedTrainer != PreviewSpeedTrainer) {
            bool forceFull = false;
            bool offBeat = false;
            for (int r = 0; r < RowCount && !forceFull; ++r) {
                if (!_rows[r].visible)
                    continue;
                for (int j = 0; j < _columnCount; ++j) {
                    if (_rows[r].cells[j] == EmptyCell || j % s == 0)
                        continue;
                    offBeat = true;
                    if (s == 2 || s % 2 != 0 || j % 2 != 0) {
                        forceFull = true;
                        break;
                    }
                }
            }
            divisor = forceFull ? 1 : (offBeat ? 2 : s);
        }
        written = static_cast<std::uint32_t>(s / divisor);
        if (written == 1)
            written = 0;
    }
    if (stepsPerBeat)
        *stepsPerBeat = written;
    return divisor;
}

int StepSequencerGrid::HitCharacterCount(int divisor) const
{
    if (divisor < 1)
        divisor = 1;
    int total = 0;
    for (int j = 0; j < _columnCount; j += divisor) {
        int k = 0;
        for (const Row& row : _rows)
            if (row.visible && row.cells[j] != EmptyCell)
                ++k;
        total += k + (k > 1 ? 2 : 0);
    }
    return total;
}

int StepSequencerGrid::RhythmTextLength(int divisor) const
{
    if (divisor < 1)
        divisor = 1;
    int length = 0;
    for (int j = 0; j < _columnCount; j += divisor) {
        int k = 0;
        for (const Row& row : _rows)
            if (row.visible && row.cells[j] != EmptyCell)
                ++k;
        length += k == 0 ? 1 : k + (k > 1 ? 2 : 0);
    }
    return length;
}

int StepSequencerGrid::EncodeRhythm(Configuration::ConfigurationData& settings) const
{
    std::uint32_t stepsPerBeat = 0;
    int divisor = RhythmDivisor(settings, &stepsPerBeat);
    int hits = HitCharacterCount(divisor);
    // The text must also fit CustomRhythm with its terminating zero. A text cut short would
    // play and save a different rhythm, so the old text is kept and the caller is told.
    if (hits > MaxHitCharacters ||
        RhythmTextLength(divisor) > Configuration::ConfigurationData::CustomRhythmCapacity - 1)
        return EncodeTooManyHits;

    char16_t* out = settings.CustomRhythm;
    for (int j = 0; j < _columnCount; j += divisor) {
        int k = 0;
        for (const Row& row : _rows)
            if (row.visible && row.cells[j] != EmptyCell)
                ++k;
        if (k == 0) {
            *out++ = u' ';
            continue;
        }
        if (k > 1)
            *out++ = u'[';
        for (int r = 0; r < RowCount; ++r)
            if (_rows[r].visible && _rows[r].cells[j] != EmptyCell)
                *out++ = static_cast<char16_t>(RowCharacter(r));
        if (k > 1)
            *out++ = u']';
    }
    *out = 0;
    settings.CrSubdivision = stepsPerBeat;
    return hits == 0 ? EncodeNoHits : EncodeSuccess;
}

}  // namespace GUI
