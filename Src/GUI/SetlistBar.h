#pragma once

#include <QString>
#include <functional>

class QAction;
class QLabel;
class QMainWindow;
class QToolBar;

namespace GUI {

// The row under the menu while a setlist is in use: Previous, where the list stands ("Friday:
// 3 of 12   Ballad"), Next and Leave.
class SetlistBar {
public:
    // Added to the top of `window`; its buttons carry out their commands through `run`.
    void Create(QMainWindow& window, const std::function<void(int command)>& run, bool shown);
    // The buttons' texts in the language in use.
    void ApplyTexts();
    // Shows `position`, and the bar itself or not; true when it was shown or hidden by this.
    bool Show(const QString& position, bool shown);
    // Its height in the window (0 when hidden or not made).
    int Height() const;
    QToolBar* Widget() const { return _bar; }

private:
    QToolBar* _bar = nullptr;
    QLabel* _label = nullptr;
    QAction* _actions[3] = {};
};

}  // namespace GUI
