#include "GUI/Statusbar.h"

#include <QStatusBar>

namespace GUI {

bool Statusbar::CreateStatusbar(QWidget* parent)
{
    _bar = new QStatusBar(parent);
    _bar->setSizeGripEnabled(false);
    _bar->setObjectName(QStringLiteral("Statusbar"));
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

}  // namespace GUI
