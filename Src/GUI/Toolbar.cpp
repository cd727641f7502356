#include "GUI/Toolbar.h"

#include <QAction>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QPixmap>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "GUI/ControlId.h"
#include "GUI/WindowScale.h"

namespace GUI {

namespace {

const char* const IconFiles[Toolbar::ButtonCount] = {
    ":/Res/toolbar-options.png",
    ":/Res/toolbar-sound-settings.png",
    ":/Res/toolbar-audio-files.png",
    ":/Res/toolbar-presets.png",
};

// A toolbar button with the keyboard focus takes Space, Return and Enter for itself, before the
// window's shortcuts (Space pauses, Return starts) can.
class ButtonKeys final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!plain || (!enter && key->key() != Qt::Key_Space))
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return false;
        }
        if (enter) {
            static_cast<QToolButton*>(watched)->click();
            return true;
        }
        return false;
    }
};

// A button's picture; a window laid out for larger fonts draws it larger too (an icon is never
// drawn larger than its picture by itself).
QIcon Icon(const char* file)
{
    const QIcon icon(QString::fromLatin1(file));
    const QSize size = WindowScale::Scaled(QSize(Toolbar::IconSize, Toolbar::IconSize));
    if (size.width() == Toolbar::IconSize)
        return icon;
    return QIcon(icon.pixmap(Toolbar::IconSize).scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// A button of the bar: flat, reached by Tab (first of the window's controls) and by F10, its
// keys its own.
void Prepare(QToolButton* button, int command, QObject* keys)
{
    button->setAutoRaise(true);
    SetControlId(button, command);
    button->setFocusPolicy(Qt::TabFocus);
    button->installEventFilter(keys);
}

// What a caption needs: its text and a margin on each side of the button's frame.
int Needed(const QToolButton* button, QString text)
{
    constexpr int Margin = 8;
    text.remove(QLatin1Char('&'));
    return QFontMetrics(button->font()).horizontalAdvance(text) + Margin;
}

}  // namespace

bool Toolbar::Create(QWidget* parent, const QString texts[ButtonCount])
{
    _toolbar = new QToolBar(parent);
    _toolbar->setObjectName(QStringLiteral("Toolbar"));
    _toolbar->setMovable(false);
    _toolbar->setFloatable(false);
    _toolbar->setIconSize(WindowScale::Scaled(QSize(IconSize, IconSize)));
    _toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto* keys = new ButtonKeys(_toolbar);
    _keys = keys;
    auto* toFirst = new QShortcut(QKeySequence(Qt::Key_F10), parent);
    QObject::connect(toFirst, &QShortcut::activated, _toolbar, [this] {
        if (QToolButton* first = Button(FirstCommand))
            first->setFocus(Qt::ShortcutFocusReason);
    });
    for (int i = 0; i < ButtonCount; ++i) {
        _actions[i] = _toolbar->addAction(Icon(IconFiles[i]), texts[i]);
        _actions[i]->setData(FirstCommand + i);
        // The window answers tool tips itself, from the language of the moment.
        _actions[i]->setToolTip(QString());
        if (QToolButton* button = Button(FirstCommand + i)) {
            button->setFixedSize(WindowScale::Scaled(QSize(ButtonWidth, ButtonHeight)));
            Prepare(button, FirstCommand + i, keys);
        }
    }
    _toolbar->adjustSize();
    _toolbar->show();
    return true;
}

void Toolbar::UpdateLanguage(const QString texts[ButtonCount])
{
    for (int i = 0; i < ButtonCount; ++i)
        if (_actions[i])
            _actions[i]->setText(texts[i]);
    if (_toolbar)
        FitButtons(_toolbar->width());
}

void Toolbar::AddToggle(QAction* action, const QString& widest)
{
    if (!_toolbar || !action)
        return;
    _toggle = action;
    _toggleWidest = widest;
    ShowToggle(true);
}

void Toolbar::ShowToggle(bool show)
{
    if (!_toolbar || !_toggle || show == (ToggleButton() != nullptr))
        return;
    if (!show) {
        _toolbar->removeAction(_toggle);
        return;
    }
    _toolbar->addAction(_toggle);
    if (QToolButton* button = ToggleButton()) {
        button->setFixedSize(WindowScale::Scaled(QSize(ButtonWidth, ButtonHeight)));
        Prepare(button, _toggle->data().toInt(), _keys);
        // Tab reaches it after the other buttons, before the window's controls.
        if (QToolButton* last = Button(FirstCommand + ButtonCount - 1))
            QWidget::setTabOrder(last, button);
    }
}

int Toolbar::Overhead(int buttons) const
{
    // The bar's own margins and the layout's spacing between its buttons: with more than the
    // rest, the bar would hide the last button behind its extension arrow.
    const QMargins margins = _toolbar->contentsMargins();
    int overhead = margins.left() + margins.right();
    if (QLayout* layout = _toolbar->layout())
        overhead += layout->contentsMargins().left() + layout->contentsMargins().right() +
            layout->spacing() * std::max(0, buttons - 1);
    return overhead;
}

void Toolbar::FitButtons(int width)
{
    QToolButton* buttons[ButtonCount + 1] = {};
    int needed[ButtonCount + 1] = {};
    int count = 0, wanted = 0, least = 0;
    for (int i = 0; i < ButtonCount; ++i) {
        buttons[count] = Button(FirstCommand + i);
        if (!buttons[count])
            return;
        needed[count] = Needed(buttons[count], buttons[count]->text());
        least += needed[count++];
    }
    // The toggle stands there only while every caption, its own too, shows whole (else it is in
    // the menu alone).
    ShowToggle(_toggle != nullptr);
    if (QToolButton* toggle = ToggleButton()) {
        const int its = std::max(Needed(toggle, _toggle->text()), Needed(toggle, _toggleWidest));
        if (least + its + Overhead(count + 1) <= width) {
            buttons[count] = toggle;
            needed[count++] = its;
            least += its;
        } else {
            ShowToggle(false);
        }
    }
    const int widest = WindowScale::Scaled(ButtonWidth);
    for (int i = 0; i < count; ++i)
        wanted += std::max(needed[i], widest);
    // Where not all can have ButtonWidth, the room left over is shared out evenly.
    const int share = wanted <= width ? 0 : std::max(0, width - Overhead(count) - least) / count;
    for (int i = 0; i < count; ++i)
        buttons[i]->setFixedSize(wanted <= width ? std::max(needed[i], widest) : needed[i] + share,
                                 WindowScale::Scaled(ButtonHeight));
}

QAction* Toolbar::Action(int command) const
{
    int index = command - FirstCommand;
    if (index < 0 || index >= ButtonCount)
        return nullptr;
    return _actions[index];
}

QToolButton* Toolbar::Button(int command) const
{
    QAction* action = Action(command);
    if (!action || !_toolbar)
        return nullptr;
    return qobject_cast<QToolButton*>(_toolbar->widgetForAction(action));
}

QToolButton* Toolbar::ToggleButton() const
{
    if (!_toggle || !_toolbar)
        return nullptr;
    return qobject_cast<QToolButton*>(_toolbar->widgetForAction(_toggle));
}

}  // namespace GUI
