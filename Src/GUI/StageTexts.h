#pragma once

namespace GUI {

// The numbers (in the language's "Text" group) of the texts of the big flash and the setlists,
// gathered here so that they can be renumbered in one place.
namespace StageTexts {
constexpr int ViewMenu = 18;
constexpr int FlashItem = 19;
constexpr int FullScreenItem = 20;
constexpr int MuteItem = 21;
constexpr int SetlistMenu = 22;
constexpr int SetlistsItem = 23;
constexpr int NextItem = 24;
constexpr int PreviousItem = 25;
constexpr int FlashTitle = 26;
constexpr int Muted = 27;
constexpr int SetlistsTitle = 28;
constexpr int NewButton = 29;
constexpr int RenameButton = 30;
constexpr int DeleteButton = 31;
constexpr int AddButton = 32;
constexpr int RemoveButton = 33;
constexpr int UpButton = 34;
constexpr int DownButton = 35;
constexpr int AdvanceLabel = 36;
constexpr int PlayButton = 37;
constexpr int Missing = 38;
constexpr int NameLabel = 39;
constexpr int PresetsLabel = 40;
constexpr int EntriesLabel = 41;
constexpr int Position = 42;
constexpr int PreviousButton = 43;
constexpr int NextButton = 44;
constexpr int LeaveButton = 45;
constexpr int NewName = 46;
constexpr int First = ViewMenu;
constexpr int Last = NewName;
}  // namespace StageTexts

}  // namespace GUI
