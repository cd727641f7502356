#pragma once

namespace GUI {

// The numbers (in the language's "Text" group) of the texts that tell the user what would
// otherwise happen without a word: a sound without its audio file, subdivisions a fast tempo
// leaves out, a practice log read only in part.
namespace NoticeTexts {
constexpr int SoundWithoutFile = 109;     // %1 the sound, %2 its audio file's number
constexpr int SubdivisionsLeftOut = 110;  // %1 the fastest tempo with subdivisions
constexpr int PracticeLogPart = 111;      // %1 the megabytes read
constexpr int First = SoundWithoutFile;
constexpr int Last = PracticeLogPart;
}  // namespace NoticeTexts

}  // namespace GUI
