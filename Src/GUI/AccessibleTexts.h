#pragma once

// The numbers (in the language's "Text" group) of the texts read out by assistive technology,
// gathered here so that they can be renumbered in one place.
namespace GUI::AccessibleTexts {

// The big flash's beat: "Beat 3 of 4".
constexpr int BeatOfBar = 163;
// The step sequencer's grid and the cell its keyboard cursor is on: "Bar 2, beat 1, step 3,
// Closed Hi-Hat: hit" (or "no hit", "hit, selected").
constexpr int StepGrid = 164;
constexpr int StepCell = 165;
constexpr int NoHit = 166;
constexpr int Hit = 167;
constexpr int SelectedHit = 168;

}  // namespace GUI::AccessibleTexts
