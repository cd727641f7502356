#include "GUI/ControlSubClasser.h"

#include "GUI/LanguageTexts.h"
#include "System/ILanguage.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QSlider>
#include <QToolTip>
#include <QVariant>
#include <QWidget>

namespace GUI {

namespace {

// One per watched control, a child of it, so it goes when the control goes. It keeps that
// control's settings: forward keys, whom to tell about the mouse, whether it is a slider.
// The keys a slider moves itself with.
bool IsNavigationKey(QEvent* event)
{
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
}

class ControlFilter final : public QObject {
public:
    ControlFilter(QWidget* control, ControlSubClasser* target)
        : QObject(control), _control(control), _target(target), _isSlider(qobject_cast<QSlider*>(control) != nullptr)
    {
        setObjectName(QStringLiteral("ControlSubClasser"));
        // Moves without a pressed button reach a widget only when it tracks the mouse.
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }

    void ForwardKeys(bool forward) { _forwardKeys = forward; }
    void KeepNavigationKeys(bool keep) { _keepNavigation = keep; }
    void Filter(const QString& accepted, ControlSubClasser::RejectHandler onReject)
    {
        _accepted = accepted;
        _onReject = std::move(onReject);
    }
    const QString& Accepted() const { return _accepted; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != _control)
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            if (_forwardKeys && _control->parentWidget() && !(_keepNavigation && IsNavigationKey(event))) {
                auto* key = static_cast<QKeyEvent*>(event);
                QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
                               key->nativeVirtualKey(), key->nativeModifiers(), key->text(), key->isAutoRepeat(),
                               static_cast<quint16>(key->count()));
                QCoreApplication::sendEvent(_control->parentWidget(), &copy);
                return true;  // the control itself never sees the key
            }
            if (!_accepted.isEmpty() && event->type() == QEvent::KeyPress)
                return FilterKey(static_cast<QKeyEvent*>(event));
            return false;
        case QEvent::InputMethod:
            // Composed text would bypass the key filter.
            return !_accepted.isEmpty();
        case QEvent::Enter:
        case QEvent::MouseMove: {
            int id = ControlId(_control);
            if (_target && id != _target->LastControl) {
                _target->LastControl = id;
                _target->MouseOverControl(id);
            }
            if (_isSlider && _control->isEnabled())
                _control->setFocus(Qt::MouseFocusReason);
            return false;
        }
        default: return false;
        }
    }

private:
    // A key pressed in a filtered edit; true when it is consumed.
    bool FilterKey(QKeyEvent* key)
    {
        switch (key->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Delete:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            // Editing keys work as usual; Tab moves to the next control.
            return false;
        case Qt::Key_Return:
        case Qt::Key_Enter: return true;
        case Qt::Key_Escape:
            if (QWidget* parent = _control->parentWidget(); parent && parent->isWindow())
                parent->close();
            return true;
        default: break;
        }
        // The editing shortcuts work; a paste goes through the same filter as typing.
        if (key->matches(QKeySequence::SelectAll) || key->matches(QKeySequence::Copy) ||
            key->matches(QKeySequence::Cut) || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
            return false;
        if (key->matches(QKeySequence::Paste)) {
            Paste();
            return true;
        }
        const QString text = key->text();
        if (text.isEmpty())
            return true;  // Up, Down, Page Up, function keys: nothing
        for (QChar character : text) {
            const char16_t code = character.unicode();
            if (code == 8 || code == 9 || _accepted.contains(character))
                continue;
            if (_onReject)
                _onReject(_control, code);
            return true;
        }
        return false;
    }

    // Inserts the clipboard's accepted characters; the first refused one is told as a typed
    // one would be.
    void Paste()
    {
        auto* edit = qobject_cast<QLineEdit*>(_control);
        if (!edit)
            return;
        QString kept;
        bool told = false;
        for (QChar character : QGuiApplication::clipboard()->text()) {
            if (_accepted.contains(character)) {
                kept += character;
            } else if (!told) {
                told = true;
                if (_onReject)
                    _onReject(_control, character.unicode());
            }
        }
        if (!kept.isEmpty())
            edit->insert(kept);
    }

    QWidget* _control;
    ControlSubClasser* _target;
    QString _accepted;
    ControlSubClasser::RejectHandler _onReject;
    bool _isSlider;
    bool _forwardKeys = false;
    bool _keepNavigation = false;
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

void ControlSubClasser::KeepNavigationKeys(QWidget* control)
{
    if (ControlFilter* filter = FilterOf(control))
        filter->KeepNavigationKeys(true);
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

void ControlSubClasser::SetAcceptedCharacters(QWidget* control, const QString& accepted, RejectHandler onReject)
{
    ControlFilter* filter = control ? FilterOf(control) : nullptr;
    if (!filter)
        return;
    filter->Filter(accepted, std::move(onReject));
    control->setAttribute(Qt::WA_InputMethodEnabled, false);
    control->setAcceptDrops(false);
    control->setContextMenuPolicy(Qt::NoContextMenu);
}

QString ControlSubClasser::AcceptedCharacters(const QWidget* control)
{
    const ControlFilter* filter = control ? FilterOf(control) : nullptr;
    return filter ? filter->Accepted() : QString();
}

namespace {
int balloons = 0;
}

void ControlSubClasser::ShowUnacceptableCharacter(QWidget* edit, int hint)
{
    if (!edit)
        return;
    const System::ILanguage& language = System::CurrentLanguage();
    const QString title = LanguageTexts::Text(language.GetText(2)).toHtmlEscaped();
    const QString text = LanguageTexts::Text(language.GetText(hint)).toHtmlEscaped();
    // Shown below the edit's text, pointing at it, as long as the user needs to read it.
    const QPoint at = edit->mapToGlobal(QPoint(edit->width() / 4, edit->height()));
    QToolTip::showText(at, QStringLiteral("<b>%1</b><br>%2").arg(title, text), edit, QRect(), 10000);
    QApplication::beep();
    ++balloons;
}

int ControlSubClasser::BalloonCount()
{
    return balloons;
}

}  // namespace GUI
