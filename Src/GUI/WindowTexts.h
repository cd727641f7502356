#pragma once

// The numbers (in the language's "Text" group) of the About box's line and of the names of the
// shipped languages in the language list, gathered here so that they can be renumbered in one place.
namespace GUI::WindowTexts {

constexpr int AboutLine = 105;
// The names of the languages by their English names ("LangEnglish" of a language file).
constexpr int EnglishName = 106;
constexpr int GermanName = 107;
constexpr int FrenchName = 108;

}  // namespace GUI::WindowTexts
