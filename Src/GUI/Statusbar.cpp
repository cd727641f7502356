#include "GUI/Statusbar.h"

#include <QLabel>
#include <QStatusBar>

namespace GUI {

bool Statusbar::CreateStatusbar(QWidget* parent)
{
    _bar = new QStatusBar(parent);
    _bar->setSizeGripEnabled(false);
    _bar->setObjectName(QStringLiteral("Statusbar"));
    // The help text is a widget of the bar's layout, not a message the bar paints across its
    // whole width: beside the state at the right end it is cut at its own edge, not drawn over it.
    _message = new QLabel(_bar);
    _message->setObjectName(QStringLiteral("StatusMessage"));
    _message->setTextFormat(Qt::PlainText);
    _message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    _bar->addWidget(_message, 1);
    _state = new QLabel(_bar);
    _state->setObjectName(QStringLiteral("StatusState"));
    _state->hide();
    _bar->addPermanentWidget(_state);
    _practice = new QLabel(_bar);
    _practice->setObjectName(QStringLiteral("StatusPracticeTime"));
    _practice->hide();
    _bar->addPermanentWidget(_practice);
    return true;
}

void Statusbar::SetText(const QString& text)
{
    if (_message)
        _message->setText(text);
}

QString Statusbar::Text() const
{
    return _message ? _message->text() : QString();
}

void Statusbar::SetState(const QString& text)
{
    if (!_state)
        return;
    _state->setText(text);
    _state->setVisible(!text.isEmpty());
}

QString Statusbar::State() const
{
    return _state ? _state->text() : QString();
}

void Statusbar::SetPracticeTime(const QString& text)
{
    if (!_practice)
        return;
    _practice->setText(text);
    _practice->setVisible(!text.isEmpty());
}

QString Statusbar::PracticeTime() const
{
    return _practice ? _practice->text() : QString();
}

}  // namespace GUI
