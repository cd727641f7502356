#pragma once

namespace GUI {

// The numbers (in the language's "Text" group) of the texts of playing with a session on the
// network, gathered here so that they can be renumbered in one place.
namespace LinkTexts {
constexpr int LinkItem = 169;       // the menu item and the toolbar toggle
constexpr int Peers = 170;          // the toggle with the number of peers
constexpr int StartStopItem = 171;  // start and stop together with the peers
constexpr int ToolTip = 172;
constexpr int Licence = 173;  // the About box: the licence of the program as built
constexpr int First = LinkItem;
constexpr int Last = Licence;
}  // namespace LinkTexts

}  // namespace GUI
