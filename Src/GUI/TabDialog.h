#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

namespace GUI {

class ControlSubClasser;

// The base of each settings page. The page object lives as long as the main window; its
// window exists while the settings dialog is open.
class TabDialog {
public:
    TabDialog() = default;
    virtual ~TabDialog() = default;
    TabDialog(const TabDialog&) = delete;
    TabDialog& operator=(const TabDialog&) = delete;

    // Reports mouse moves over `window`'s own background to `information` (MouseOverBackground).
    static void WatchBackground(QWidget* window, ControlSubClasser* information);

    // Runs `handler` each time `control` loses the keyboard focus.
    static void OnFocusOut(QWidget* control, std::function<void()> handler);

    // The page's window; null while the dialog is closed.
    QWidget* Window() const { return _window; }
    // The page's control with this identifier; null when there is none (or no window).
    QWidget* Control(int id) const;
    template <class T>
    T* ControlAs(int id) const
    {
        return qobject_cast<T*>(Control(id));
    }

protected:
    // Makes the page window inside `parent`. A mouse move over the page's own background
    // (not over one of its watched controls) is reported to `information`, which empties
    // the information line.
    QWidget* CreatePageWindow(QWidget* parent, ControlSubClasser* information);
    // Undoes the watching of the page's controls; the window goes with its dialog.
    void DestroyPageWindow();

    QPointer<QWidget> _window;
};

}  // namespace GUI
