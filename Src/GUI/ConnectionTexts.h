#pragma once

// The numbers of the texts (System::ILanguage::GetText) of the click-track export, the SoundFont
// choice and the remote control, gathered here.
namespace GUI::ConnectionTexts {

constexpr int ExportMenu = 83;
constexpr int ExportTitle = 84;
constexpr int ExportFile = 85;
constexpr int ExportBrowse = 86;
constexpr int ExportLength = 87;
constexpr int ExportBars = 88;
constexpr int ExportMinutes = 89;
constexpr int ExportFilter = 90;
constexpr int ExportProgress = 91;
constexpr int ExportDone = 92;    // %1 seconds of sound, %2 seconds taken, %3 the ratio
constexpr int ExportFailed = 93;  // %1 why
constexpr int SoundFontMenu = 94;
constexpr int SoundFontFilter = 95;
constexpr int SoundFontFailed = 96;  // %1 why

}  // namespace GUI::ConnectionTexts
