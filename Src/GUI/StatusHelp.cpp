#include "GUI/StatusHelp.h"

#include <QHelpEvent>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include "GUI/CommandTable.h"
#include "GUI/ControlId.h"
#include "GUI/LanguageTexts.h"
#include "GUI/Statusbar.h"
#include "GUI/Toolbar.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"

namespace GUI {

int StatusHelp::Number(int id)
{
    // The controls first: the Start and Tap buttons share their numbers with their commands.
    switch (id) {
    case ReadOutId: return 9;
    case IndicatorId: return 10;
    case StartButtonId: return 11;
    case TempoSliderId: return 12;
    case VolumeSliderId: return 13;
    case TapButtonId: return 14;
    default: return CommandTable::StatusInfoNumber(id);
    }
}

QString StatusHelp::Text(int id)
{
    const int number = Number(id);
    return number < 0 ? QString() : LanguageTexts::Text(System::CurrentLanguage().GetStatusInfo(number));
}

void StatusHelp::Show(int id)
{
    _statusbar.SetText(Text(id));
}

void StatusHelp::Clear()
{
    _statusbar.SetText(QString());
}

bool StatusHelp::ToolbarEvent(QObject* watched, QEvent* event)
{
    if (_toolbar.Widget() && watched == _toolbar.Widget() && event->type() == QEvent::Leave) {
        Clear();
        return false;
    }
    auto* button = qobject_cast<QToolButton*>(watched);
    if (!button)
        return false;
    const int command = ControlId(button);
    if (command < Toolbar::FirstCommand || command >= Toolbar::FirstCommand + Toolbar::ButtonCount)
        return false;
    if (event->type() == QEvent::Enter) {
        Show(command);
    } else if (event->type() == QEvent::ToolTip) {
        // Read at the moment it is shown, so it is always in the current language.
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(
            help->globalPos(),
            LanguageTexts::Text(System::CurrentLanguage().GetTooltip(command - System::ILanguage::FirstToolbarCommand)),
            button);
        return true;
    }
    return false;
}

}  // namespace GUI
