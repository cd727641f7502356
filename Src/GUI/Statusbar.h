#pragma once

#include <QString>

class QLabel;
class QStatusBar;
class QWidget;

namespace GUI {

// The one line of help text at the bottom of the main window. The window sets its text: the
// help for the menu item, toolbar button or control under the mouse, or nothing.
class Statusbar {
public:
    Statusbar() = default;
    virtual ~Statusbar() = default;
    Statusbar(const Statusbar&) = delete;
    Statusbar& operator=(const Statusbar&) = delete;

    // Makes the bar as a child of `parent`; the parent places it along its bottom edge.
    bool CreateStatusbar(QWidget* parent);
    void SetText(const QString& text);
    QString Text() const;
    // A lasting state shown at the right end (paused), beside whatever help text is shown.
    void SetState(const QString& text);
    QString State() const;
    // The time practised, shown at the right end while playing (empty: hidden).
    void SetPracticeTime(const QString& text);
    QString PracticeTime() const;
    QStatusBar* Widget() const { return _bar; }

private:
    QStatusBar* _bar = nullptr;
    QLabel* _message = nullptr;
    QLabel* _state = nullptr;
    QLabel* _practice = nullptr;
};

}  // namespace GUI
