#include <QApplication>

#include "Configuration/IConfiguration.h"
#include "Core/Metronome.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/LanguageDialog.h"
#include "GUI/SettingsDialog.h"
#include "GUI/SingleInstance.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/AudioOutput.h"
#include "Platform/MidiOut.h"
#include "Platform/Thread.h"

static void LoadResources()
{
    Q_INIT_RESOURCE(Ticova);
}

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ticova"));
    QApplication::setOrganizationName(QStringLiteral("Ticova"));
    QApplication::setDesktopFileName(QStringLiteral("ticova"));
    LoadResources();

    // One copy per user: a second one brings the first to the front and ends.
    GUI::SingleInstance instance;
    if (!instance.Claim())
        return 0;

    // A missing or damaged configuration file leaves the defaults.
    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    configuration.Load();

    GUI::VisualBeatIndicator indicator;
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatIndicator(&indicator);

    // The sound system is woken in the background while the window shows (finding the devices
    // takes a while), and the SoundFont loads meanwhile. The output itself plays only while
    // something plays and closes a few seconds after.
    Platform::MidiOut::LoadSoundFontInBackground();
    Platform::Thread outputOpener;
    outputOpener.Start([] {
        if (Platform::AudioOutput::Instance().Acquire() == 0)
            Platform::AudioOutput::Instance().Release();
    });

    int result = 0;
    {
        GUI::ApplicationWindow window(metronome, configuration, indicator);
        instance.SetRaiseHandler([&window] { window.BringToFront(); });
        // A preset loaded in the settings dialog replaces the live settings: the window
        // shows their tempo and volume at once.
        GUI::SettingsDialog settings(configuration, [&window] { window.ReloadSettings(); });
        GUI::LanguageDialog language(configuration, [&window](const char16_t* name) { window.ChangeLanguage(name); });
        window.SetSettingsDialog([&window, &settings](int tab) { settings.Run(&window, tab); });
        window.SetLanguageDialog([&window, &language] { language.Run(&window); });
        if (!window.Initialise())
            return 0;
        result = QApplication::exec();
        instance.SetRaiseHandler({});
    }
    metronome.SetBeatIndicator(nullptr);
    outputOpener.Join();
    Platform::AudioOutput::Instance().CloseIdle();
    return result;
}
