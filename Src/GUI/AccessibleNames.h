#pragma once

#include <QAccessible>
#include <QString>
#include <functional>

class QWidget;

namespace GUI {

// What a screen reader says for the controls of a window. Controls are named from what the
// sighted user reads beside them: the label whose buddy they are, the label before them in
// their layout row, the label to their left or just above them, their own caption, the group
// box around them, their tool tip. The help text a window shows for a control (its status
// bar or information line) becomes the control's description. Names and descriptions are
// worked out again each time, so a window calls NameControls after every change of language.
class AccessibleNames {
public:
    // The help text for a control identifier; empty when there is none.
    using HelpText = std::function<QString(int controlId)>;

    // Names every interactive control under `window` that has no name of its own, and gives it
    // the help text as its description (by default the one given with SetHelp).
    static void NameControls(QWidget* window, const HelpText& help = {});
    // The help texts of a window's controls, for every later NameControls of it.
    static void SetHelp(QWidget* window, HelpText help);
    // From now on every window is named as it is shown (every dialog is built anew in the
    // current language before it is shown); a window whose texts change while it is shown
    // calls NameControls itself.
    static void NameWindowsWhenShown();
    // The name NameControls gives `control`; empty when nothing beside it names it.
    static QString NameFor(const QWidget* control);
    // Whether a widget is one the user works with (buttons, edits, lists, sliders, anything that
    // takes the keyboard focus).
    static bool IsInteractive(const QWidget* widget);
    // A caption as it is read: no mnemonic '&', no trailing colon or dots.
    static QString Spoken(const QString& caption);

    // A widget that draws what it shows (the tempo read-out, the beat indicator) is read
    // through `text`, asked each time assistive technology asks, with the given role; so a
    // beat shown many times a second costs nothing until someone reads it. Announce tells
    // assistive technology that the text changed (when the user changed it).
    static void ExposeText(QWidget* widget, QAccessible::Role role, std::function<QString()> text);
    static void Announce(QWidget* widget);
    // A slider whose position is not the number it sets (the tempo slider's scale is
    // logarithmic) is read as that number, `unit` after it ("137 bpm"), and set in it; it keeps
    // the name NameControls gives it.
    static void ExposeValue(QWidget* widget, int minimum, int maximum, std::function<int()> value,
                            std::function<void(int)> set, std::function<QString()> unit);
};

}  // namespace GUI
