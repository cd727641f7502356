#pragma once

namespace GUI {

// The numbers (in the language's "Text" group) of the texts of the big flash and the setlists,
// gathered here so that they can be renumbered in one place.
namespace StageTexts {
constexpr int ViewMenu = 44;
constexpr int FlashItem = 45;
constexpr int FullScreenItem = 46;
constexpr int MuteItem = 47;
constexpr int SetlistMenu = 48;
constexpr int SetlistsItem = 49;
constexpr int NextItem = 50;
constexpr int PreviousItem = 51;
constexpr int FlashTitle = 52;
constexpr int Muted = 53;
constexpr int SetlistsTitle = 54;
constexpr int NewButton = 55;
constexpr int RenameButton = 56;
constexpr int DeleteButton = 57;
constexpr int AddButton = 58;
constexpr int RemoveButton = 59;
constexpr int UpButton = 60;
constexpr int DownButton = 61;
constexpr int AdvanceLabel = 62;
constexpr int PlayButton = 63;
constexpr int Missing = 64;
constexpr int NameLabel = 65;
constexpr int PresetsLabel = 66;
constexpr int EntriesLabel = 67;
constexpr int Position = 68;
constexpr int PreviousButton = 69;
constexpr int NextButton = 70;
constexpr int LeaveButton = 71;
constexpr int NewName = 72;
constexpr int First = ViewMenu;
constexpr int Last = NewName;
}  // namespace StageTexts

}  // namespace GUI
