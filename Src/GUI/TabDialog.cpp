#include "GUI/TabDialog.h"

#include <QEvent>
#include <QMouseEvent>

#include "GUI/ControlSubClasser.h"
#include "GUI/DialogUnits.h"

namespace GUI {

namespace {

// Watches a page or dialog window for mouse moves over its background.
class BackgroundWatcher final : public QObject {
public:
    BackgroundWatcher(QWidget* window, ControlSubClasser* information) : QObject(window), _information(information)
    {
        window->setMouseTracking(true);
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseMove || !_information)
            return false;
        auto* window = static_cast<QWidget*>(watched);
        _information->MouseOverBackground(window, static_cast<QMouseEvent*>(event)->position().toPoint());
        // The page's move is its own: it must not reach the tab control around it.
        return true;
    }

private:
    ControlSubClasser* _information;
};

class FocusOutWatcher final : public QObject {
public:
    FocusOutWatcher(QWidget* control, std::function<void()> handler) : QObject(control), _handler(std::move(handler))
    {
        control->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut && _handler)
            _handler();
        return false;
    }

private:
    std::function<void()> _handler;
};

}  // namespace

void TabDialog::OnFocusOut(QWidget* control, std::function<void()> handler)
{
    new FocusOutWatcher(control, std::move(handler));
}

QWidget* TabDialog::Control(int id) const
{
    if (!_window)
        return nullptr;
    const auto children = _window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children)
        if (ControlId(child) == id)
            return child;
    return nullptr;
}

void TabDialog::WatchBackground(QWidget* window, ControlSubClasser* information)
{
    new BackgroundWatcher(window, information);
}

QWidget* TabDialog::CreatePageWindow(QWidget* parent, ControlSubClasser* information)
{
    auto* window = new QWidget(parent);
    window->setFont(DialogUnits::DialogFont());
    // One flat background, the one the colour swatches blend their discs into.
    window->setAutoFillBackground(true);
    new BackgroundWatcher(window, information);
    _window = window;
    return window;
}

void TabDialog::DestroyPageWindow()
{
    if (_window)
        ControlSubClasser::RestoreChildControls(_window);
    _window = nullptr;
}

}  // namespace GUI
