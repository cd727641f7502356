#include "GUI/Statusbar.h"

#include <QLabel>
#include <QStatusBar>

namespace GUI {

bool Statusbar::CreateStatusbar(QWidget* parent)
{
    _bar = new QStatusBar(parent);
    _bar->setSizeGripEnabled(false);
    _bar->setObjectName(QStringLiteral("Statusbar"));
    _state = new QLabel(_bar);
    _state->setObjectName(QStringLiteral("StatusState"));
    _state->hide();
    _bar->addPermanentWidget(_state);
    return true;
}

void Statusbar::SetText(const QString& text)
{
    if (_bar)
        _bar->showMessage(text);
}

QString Statusbar::Text() const
{
    return _bar ? _bar->currentMessage() : QString();
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

}  // namespace GUI
