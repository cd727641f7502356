#pragma once

#include <QString>

#include "GUI/Commands.h"

class QEvent;
class QObject;

namespace GUI {

class Statusbar;
class Toolbar;

// The status bar's help: the text of the menu item, toolbar button or control under the mouse,
// and the toolbar buttons' tooltips, always in the language in use.
class StatusHelp final : public MainControlIds {
public:
    StatusHelp(Statusbar& statusbar, Toolbar& toolbar) : _statusbar(statusbar), _toolbar(toolbar) {}

    // The status text number of a menu item, toolbar button or control; -1 for none.
    static int Number(int id);
    // Its text (empty for none).
    static QString Text(int id);
    // Shows the text of `id` (none: clears it).
    void Show(int id);
    void Clear();
    // The toolbar's part: its buttons' texts as the mouse enters them, their tooltips, nothing
    // as it leaves. True when the event is used up.
    bool ToolbarEvent(QObject* watched, QEvent* event);

private:
    Statusbar& _statusbar;
    Toolbar& _toolbar;
};

}  // namespace GUI
