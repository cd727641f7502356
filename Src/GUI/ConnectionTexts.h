#pragma once

// The numbers of the texts (System::ILanguage::GetText) of the click-track export, the SoundFont
// choice and the remote control, gathered here.
namespace GUI::ConnectionTexts {

constexpr int ExportMenu = 18;
constexpr int ExportTitle = 19;
constexpr int ExportFile = 20;
constexpr int ExportBrowse = 21;
constexpr int ExportLength = 22;
constexpr int ExportBars = 23;
constexpr int ExportMinutes = 24;
constexpr int ExportFilter = 25;
constexpr int ExportProgress = 26;
constexpr int ExportDone = 27;    // %1 seconds of sound, %2 seconds taken, %3 the ratio
constexpr int ExportFailed = 28;  // %1 why
constexpr int SoundFontMenu = 29;
constexpr int SoundFontFilter = 30;
constexpr int SoundFontFailed = 31;  // %1 why

}  // namespace GUI::ConnectionTexts
