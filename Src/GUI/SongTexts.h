#pragma once

namespace GUI {

// The numbers (in the language's "Text" group) of the texts of the song editor, its picture, the
// songs file's messages and the read-out of a song that plays.
namespace SongTexts {
constexpr int SongsItem = 112;
constexpr int EditorTitle = 113;
constexpr int SongLabel = 114;
constexpr int DuplicateButton = 115;
constexpr int ColumnLabel = 116;
constexpr int ColumnBars = 117;
constexpr int ColumnMeter = 118;
constexpr int ColumnTempo = 119;
constexpr int ColumnEndTempo = 120;
constexpr int ColumnAccents = 121;
constexpr int ColumnVolume = 122;
constexpr int ImportButton = 123;
constexpr int ExportMapButton = 124;
constexpr int ExportMidiButton = 125;
constexpr int ExportSoundButton = 126;
constexpr int NewSongName = 127;
constexpr int SongNameLabel = 128;
constexpr int TempoMapFilter = 129;
constexpr int MidiFilter = 130;
constexpr int ReadFailed = 131;
constexpr int WriteFailed = 132;
constexpr int ImportNotes = 133;
constexpr int ExportNotes = 134;
constexpr int NoteLine = 135;
constexpr int NoteSection = 136;
constexpr int NoteUnreadable = 137;
constexpr int NoteBeatTempos = 138;
constexpr int NoteTempoOutOfRange = 139;
constexpr int NotePatternLength = 140;
constexpr int NoteVolumeAboveFull = 141;
constexpr int NoteMeterOutOfRange = 142;
constexpr int NoteTooManyLines = 143;
constexpr int NoteSoftBeats = 144;
constexpr int NoteSubdivisions = 145;
constexpr int NoteEndless = 146;
constexpr int NoteGroups = 147;
constexpr int Written = 148;
constexpr int SongsDamaged = 149;
constexpr int SongsUnreadable = 150;
constexpr int SongsSaveFailed = 151;
constexpr int BarCaption = 152;
constexpr int PictureHint = 153;
constexpr int PlayButton = 154;
constexpr int StopButton = 155;
constexpr int SetlistEntriesLabel = 156;
constexpr int SongEntry = 157;
constexpr int BarsHint = 158;
constexpr int ColumnSubdivisions = 159;
constexpr int ColumnMuted = 160;
constexpr int SubdivisionsHint = 161;
constexpr int MutedHint = 162;
constexpr int First = SongsItem;
constexpr int Last = MutedHint;
}  // namespace SongTexts

}  // namespace GUI
