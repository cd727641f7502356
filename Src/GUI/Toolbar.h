#pragma once

#include <QString>

class QAction;
class QObject;
class QToolBar;
class QToolButton;
class QWidget;

namespace GUI {

// The four buttons along the top of the main window, each opening the settings dialog on one
// of its tabs: Options, Sound Settings, Audio Files, Presets; after them a toggle of another
// part of the window (playing with a session on the network) may stand, as one of them.
class Toolbar {
public:
    static constexpr int ButtonCount = 4;
    static constexpr int FirstCommand = 32773;
    static constexpr int ButtonWidth = 94;
    static constexpr int ButtonHeight = 50;
    static constexpr int IconSize = 24;

    Toolbar() = default;
    virtual ~Toolbar() = default;
    Toolbar(const Toolbar&) = delete;
    Toolbar& operator=(const Toolbar&) = delete;

    // Makes the toolbar at the top of `parent` with the four buttons and their texts
    // (texts[i] for the button in position i).
    bool Create(QWidget* parent, const QString texts[ButtonCount]);
    // Takes new button texts after a language change.
    void UpdateLanguage(const QString texts[ButtonCount]);
    // Places the checkable `action` after the four buttons, made like them; `widest` is the
    // longest text it shows, so that a change of its text never moves the others.
    void AddToggle(QAction* action, const QString& widest);
    void SetToggleWidest(const QString& widest) { _toggleWidest = widest; }
    // Sizes the buttons so that every caption shows whole within `width` pixels: ButtonWidth
    // each while the captions allow, else each as wide as its caption needs and an even share
    // of the rest. The toggle stands only where all fit.
    void FitButtons(int width);

    QToolBar* Widget() const { return _toolbar; }
    // The button and the action of a command 32773..32776; null for any other command.
    QToolButton* Button(int command) const;
    QAction* Action(int command) const;
    QToolButton* ToggleButton() const;

private:
    void ShowToggle(bool show);
    int Overhead(int buttons) const;

    QToolBar* _toolbar = nullptr;
    QAction* _actions[ButtonCount] = {};
    QAction* _toggle = nullptr;
    QString _toggleWidest;
    QObject* _keys = nullptr;
};

}  // namespace GUI
