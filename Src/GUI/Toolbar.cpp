#include "GUI/Toolbar.h"

#include <QAction>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
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
            button->setAutoRaise(true);
            SetControlId(button, FirstCommand + i);
            // Reached by Tab (first of the window's controls) and by F10.
            button->setFocusPolicy(Qt::TabFocus);
            button->installEventFilter(keys);
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

void Toolbar::FitButtons(int width)
{
    // A caption needs its text and a margin on each side of the button's frame.
    constexpr int Margin = 8;
    const int least = WindowScale::Scaled(ButtonWidth);
    int needed[ButtonCount] = {};
    int wanted = 0;
    for (int i = 0; i < ButtonCount; ++i) {
        QToolButton* button = Button(FirstCommand + i);
        if (!button)
            return;
        QString text = button->text();
        text.remove(QLatin1Char('&'));
        needed[i] = QFontMetrics(button->font()).horizontalAdvance(text) + Margin;
        wanted += std::max(needed[i], least);
    }
    for (int i = 0; i < ButtonCount; ++i)
        Button(FirstCommand + i)
            ->setFixedSize(wanted <= width ? std::max(needed[i], least) : needed[i], WindowScale::Scaled(ButtonHeight));
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

}  // namespace GUI
