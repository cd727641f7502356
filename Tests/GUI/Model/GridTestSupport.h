#pragma once

#include <memory>
#include <string>

#include "Configuration/ConfigurationData.h"
#include "GUI/Model/StepSequencerGrid.h"
#include "Platform/Text.h"

namespace Tests {

using GUI::StepSequencerGrid;

// Settings for a grid of the given size with twelve different instruments and colour index
// equal to the voice's row, all rows shown.
inline Configuration::ConfigurationData GridSettings(int bars, int beats, int cells, bool compound = false,
                                                     const char16_t* rhythm = u"", int rhythmSteps = -1)
{
    Configuration::ConfigurationData settings;
    settings.CrNumBars = static_cast<std::uint32_t>(bars);
    settings.CrBeatsPerBar = static_cast<std::uint32_t>(beats);
    settings.DisplayedSubdiv = static_cast<std::uint32_t>(cells);
    settings.CrSubdivision = static_cast<std::uint32_t>(rhythmSteps < 0 ? (compound ? 3 : cells) : rhythmSteps);
    settings.CrCompoundTime = compound ? 1 : 0;
    settings.DisplayDistinct = 0;
    for (int v = 0; v < 12; ++v) {
        settings.Instrument[v] = static_cast<std::uint32_t>(v + 30);
        settings.Colour[v] = static_cast<std::uint32_t>(v);
    }
    Platform::Text::Copy(settings.CustomRhythm, rhythm);
    return settings;
}

inline std::unique_ptr<StepSequencerGrid> LoadedGrid(const Configuration::ConfigurationData& settings)
{
    auto grid = std::make_unique<StepSequencerGrid>();
    grid->LoadFromSettings(settings);
    return grid;
}

inline bool Hit(const StepSequencerGrid& grid, int row, int column)
{
    return StepSequencerGrid::IsHit(grid.Cell(row, column));
}

inline std::string Utf8(const char16_t* text)
{
    return Platform::Text::Utf16ToUtf8(text);
}

}  // namespace Tests
