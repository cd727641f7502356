#include "GUI/SetlistBar.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QStyle>
#include <QToolBar>

#include "GUI/Commands.h"
#include "GUI/LanguageTexts.h"
#include "GUI/StageTexts.h"
#include "GUI/WindowScale.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"

namespace GUI {

void SetlistBar::Create(QMainWindow& window, const std::function<void(int command)>& run, bool shown)
{
    _bar = new QToolBar(&window);
    _bar->setObjectName(QStringLiteral("SetlistBar"));
    _bar->setMovable(false);
    _bar->setFloatable(false);
    _bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    _bar->setIconSize(WindowScale::Scaled(QSize(16, 16)));
    const QStyle::StandardPixmap icons[3] = {QStyle::SP_ArrowLeft, QStyle::SP_ArrowRight, QStyle::SP_DialogCloseButton};
    const int commands[3] = {Commands::PreviousEntry, Commands::NextEntry, Commands::LeaveSetlist};
    for (int i = 0; i < 3; ++i) {
        if (i == 2)
            _bar->addSeparator();
        _actions[i] = _bar->addAction(window.style()->standardIcon(icons[i]), QString());
        _actions[i]->setData(commands[i]);
        const int command = commands[i];
        QObject::connect(_actions[i], &QAction::triggered, &window, [run, command] { run(command); });
        if (i == 0) {
            _label = new QLabel(_bar);
            _label->setObjectName(QStringLiteral("SetlistPosition"));
            _label->setTextFormat(Qt::PlainText);
            _label->setMinimumWidth(WindowScale::Scaled(150));
            _bar->addWidget(_label);
        }
    }
    window.addToolBar(Qt::TopToolBarArea, _bar);
    _bar->setVisible(shown);
}

void SetlistBar::ApplyTexts()
{
    const int texts[3] = {StageTexts::PreviousButton, StageTexts::NextButton, StageTexts::LeaveButton};
    for (int i = 0; i < 3; ++i)
        if (_actions[i])
            _actions[i]->setText(LanguageTexts::Text(System::CurrentLanguage().GetText(texts[i])));
}

bool SetlistBar::Show(const QString& position, bool shown)
{
    if (!_bar)
        return false;
    _label->setText(position);
    if (_bar->isHidden() != shown)
        return false;
    _bar->setVisible(shown);
    return true;
}

int SetlistBar::Height() const
{
    return _bar && !_bar->isHidden() ? _bar->sizeHint().height() : 0;
}

}  // namespace GUI
