#pragma once

namespace GUI {

// The numbers (in the language's "Text" group) of the texts about reading and saving the
// settings files, gathered here so that they can be renumbered in one place.
namespace FileTexts {
constexpr int StoppedReading = 97;     // file, line, the line's text
constexpr int TooLarge = 98;           // file, size in MB
constexpr int Unreadable = 99;         // file, reason
constexpr int DuplicatePresets = 100;  // file, count
constexpr int SkippedLines = 101;      // file, count
constexpr int BackupKept = 102;        // backup
constexpr int BackupNotKept = 103;     // backup
constexpr int SaveFailed = 104;        // folder and reason
constexpr int First = StoppedReading;
constexpr int Last = SaveFailed;
}  // namespace FileTexts

}  // namespace GUI
