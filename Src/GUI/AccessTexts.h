#pragma once

// The numbers (in the language's "Text" group) of the texts added for working the step
// sequencer from the keyboard alone, kept together so that they can be renumbered in one place.
namespace GUI::AccessTexts {

// What a screen reader says after the velocity keys: "Closed Hi-Hat: velocity 90".
constexpr int RowVolume = 196;

}  // namespace GUI::AccessTexts
