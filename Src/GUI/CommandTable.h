#pragma once

#include <QHash>
#include <QString>
#include <functional>

#include "GUI/Commands.h"

class QAction;
class QMainWindow;
class QMenu;

namespace GUI {

struct CommandItem;

// Every command of the main window in one table: its menu item (where, text, shortcut), its
// keys of the window alone, its status text and whether the big flash's keys carry it out. The
// menus, the window's accelerators and the flash window's keys are all made from it; the parts
// of the window say what each command does (Handle), so a new feature brings its commands along
// without the window knowing what they do.
class CommandTable final : public Commands {
public:
    using Handler = std::function<void()>;

    explicit CommandTable(QMainWindow& window) : _window(window) {}

    // The menu bar: File, Tools, View, Setlist, Help, in the language in use. `muted` checks
    // the Mute item; `hovered` is told the command of a language file's item under the mouse,
    // `hidden` when one of their menus closes.
    void CreateMenus(bool muted, std::function<void(int command)> hovered, std::function<void()> hidden);
    // The keys of the window that are no menu item's (S, Return, Space, T ...).
    void CreateAccelerators();

    // What `command` does; a later handler replaces an earlier one.
    void Handle(int command, Handler handler);
    // Carries out `command`; false when nothing handles it.
    bool Run(int command) const;
    // The menu item or key of `command` (the first made); null when none.
    QAction* Action(int command) const;
    // The command a key pressed in the flash window stands for; 0 for none.
    int FlashCommand(int key) const;
    // The status text number of a command; -1 for none.
    static int StatusInfoNumber(int command);

private:
    QAction* AddItem(QMenu* menu, const CommandItem& item);
    void Register(QAction* action, int command);

    QMainWindow& _window;
    QHash<int, QAction*> _actions;
    QHash<int, Handler> _handlers;
};

}  // namespace GUI
