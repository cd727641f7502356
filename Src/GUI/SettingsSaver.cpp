#include "GUI/SettingsSaver.h"

#include <QMessageBox>
#include <QThread>

#include "Configuration/ExtraSettings.h"
#include "GUI/FileMessages.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "Platform/ProgramFolder.h"
#include "System/ILanguage.h"

namespace GUI {

using Change = Configuration::IConfiguration::Change;

SettingsSaver::SettingsSaver(Configuration::IConfiguration& configuration, Configuration::ExtraSettings& extras)
    : _configuration(configuration), _extras(extras)
{
    _soon.setSingleShot(true);
    _soon.setInterval(0);
    _pause.setSingleShot(true);
    _pause.setInterval(PauseMs);
    _pause.setTimerType(Qt::PreciseTimer);
    connect(&_soon, &QTimer::timeout, this, &SettingsSaver::SaveWaiting);
    connect(&_pause, &QTimer::timeout, this, &SettingsSaver::SaveWaiting);
    _configuration.SetChangeObserver(
        [this](Change change) { OnOwnThread([this, change] { ConfigurationChanged(change); }); });
    _extras.SetChangeObserver([this] { OnOwnThread([this] { SaveSoon(); }); });
}

void SettingsSaver::OnOwnThread(const std::function<void()>& react)
{
    // A change made on another thread is handed over to this one's event loop.
    if (QThread::currentThread() == thread())
        react();
    else
        QMetaObject::invokeMethod(this, react, Qt::QueuedConnection);
}

SettingsSaver::~SettingsSaver()
{
    _configuration.SetChangeObserver({});
    _extras.SetChangeObserver({});
}

bool SettingsSaver::Waiting() const
{
    return _configurationDue || _extras.Changed();
}

void SettingsSaver::ConfigurationChanged(Change change)
{
    _configurationDue = true;
    if (change != Change::TempoOrVolume)
        _soon.start();
    else if (!_soon.isActive())
        _pause.start();  // again from the start at every change
}

void SettingsSaver::SaveSoon()
{
    _soon.start();
}

void SettingsSaver::SaveWaiting()
{
    _soon.stop();
    _pause.stop();
    std::string problem;
    if (_configurationDue) {
        _configurationDue = false;
        if (!_configuration.Save())
            problem = _configuration.SaveProblem();
    }
    if (_extras.Changed() && !_extras.Save() && problem.empty())
        problem = _extras.SaveProblem();
    if (problem.empty()) {
        _told = false;
        return;
    }
    Tell(problem);
}

void SettingsSaver::Tell(const std::string& problem)
{
    // Once for a run of failures; and from the event loop, never from inside whatever handler
    // made the change.
    // Without a folder of the user's own nothing is ever saved, and the start said so.
    if (_told || !Platform::DataFolderProblem().empty())
        return;
    _told = true;
    const QString text = FileMessages::SaveFailed(problem);
    QTimer::singleShot(0, this, [this, text] {
        MessageBoxes::Show(_window, QMessageBox::Warning, LanguageTexts::Text(System::CurrentLanguage().GetText(0)),
                           text);
    });
}

}  // namespace GUI
