#include "GUI/ControlSubClasser.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QPoint>
#include <QVariant>
#include <QWidget>

namespace GUI {

namespace {

const char* const ControlIdProperty = "controlId";

// One per watched control, a child of it, so it goes when the control goes. It keeps that
// control's settings: forward keys, whom to tell about the mouse, whether it is a slider.
class ControlFilter final : public QObject {
public:
    ControlFilter(QWidget* control, ControlSubClasser* target)
        : QObject(control), _control(control), _target(target),
          _isSlider(qobject_cast<QSlider*>(control) != nullptr)
    {
        setObjectName(QStringLiteral("ControlSubClasser"));
        // Moves without a pressed button reach a widget only when it tracks the mouse.
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }

    void ForwardKeys(bool forward) { _forwardKeys = forward; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != _control)
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            if (_forwardKeys && _control->parentWidget()) {
                auto* key = static_cast<QKeyEvent*>(event);
                QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
                               key->nativeVirtualKey(), key->nativeModifiers(), key->text(),
                               key->isAutoRepeat(), static_cast<quint16>(key->count()));
                QCoreApplication::sendEvent(_control->parentWidget(), &copy);
                return true;  // the control itself never sees the key
            }
            return false;
        case QEvent::Enter:
        case QEvent::MouseMove: {
            int id = ControlSubClasser::ControlId(_control);
            if (_target && id != _target->LastControl) {
                _target->LastControl = id;
                _target->MouseOverControl(id);
            }
            if (_isSlider && _control->isEnabled())
                _control->setFocus(Qt::MouseFocusReason);
            return false;
        }
        default:
            return false;
        }
    }

private:
    QWidget* _control;
    ControlSubClasser* _target;
    bool _isSlider;
    bool _forwardKeys = false;
};

ControlFilter* FilterOf(const QWidget* control)
{
    return control->findChild<ControlFilter*>(QStringLiteral("ControlSubClasser"), Qt::FindDirectChildrenOnly);
}

bool IsPlainLabel(const QWidget* child)
{
    auto* label = qobject_cast<const QLabel*>(child);
    if (!label)
        return false;
    return (label->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft ||
           (label->alignment() & Qt::AlignHorizontal_Mask) == 0;
}

}  // namespace

void ControlSubClasser::SubClassChildControls(QWidget* parent, ControlSubClasser* target)
{
    if (!parent)
        return;
    const auto children = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (IsPlainLabel(child) || child->isWindow() || FilterOf(child))
            continue;
        new ControlFilter(child, target);
    }
}

void ControlSubClasser::RestoreChildControls(QWidget* parent)
{
    if (!parent)
        return;
    const auto children = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (ControlFilter* filter = FilterOf(child)) {
            child->removeEventFilter(filter);
            delete filter;
        }
    }
}

void ControlSubClasser::ForwardKeysToParent(QWidget* parent, int id1, int id2, int id3)
{
    if (!parent)
        return;
    const auto children = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        int id = ControlId(child);
        if (id == 0 || (id != id1 && id != id2 && id != id3))
            continue;
        if (ControlFilter* filter = FilterOf(child))
            filter->ForwardKeys(true);
    }
}

bool ControlSubClasser::IsSubClassed(const QWidget* control)
{
    return control && FilterOf(control);
}

void ControlSubClasser::MouseOverBackground(const QWidget* window, const QPoint& position)
{
    if (LastControl == 0 || !window)
        return;
    QWidget* under = window->childAt(position);
    while (under && under->parentWidget() != window)
        under = under->parentWidget();
    if (under && IsSubClassed(under))
        return;
    LastControl = 0;
    MouseOverControl(-1);
}

void ControlSubClasser::SetControlId(QWidget* control, int id)
{
    control->setProperty(ControlIdProperty, id);
}

int ControlSubClasser::ControlId(const QWidget* control)
{
    if (!control)
        return 0;
    QVariant id = control->property(ControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

}  // namespace GUI
