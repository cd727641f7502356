#include <QApplication>

#include <atomic>

#include "Configuration/IConfiguration.h"
#include "Core/Metronome.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/LanguageDialog.h"
#include "GUI/QuitSignals.h"
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

// From a tick to its click being heard: the beat indicator flashes when the click sounds.
static std::int64_t OutputLatency() noexcept
{
    return Platform::AudioOutput::Instance().Latency();
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
    indicator.SetLatencySource(&OutputLatency);
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatIndicator(&indicator);

    // The sound output is opened in the background while the window shows, and kept open until
    // exit, so that its timing has settled before the first click; the SoundFont loads meanwhile.
    Platform::MidiOut::LoadSoundFontInBackground();
    std::atomic<bool> outputHeld{false};
    Platform::Thread outputOpener;
    outputOpener.Start([&outputHeld] { outputHeld = Platform::AudioOutput::Instance().Acquire() == 0; });

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
        // Logout, shut-down or Ctrl+C in a terminal quit as Exit does, keeping the settings.
        GUI::QuitSignals quitSignals([&window](int) { window.QuitAsExit(); });
        result = QApplication::exec();
        instance.SetRaiseHandler({});
    }
    metronome.SetBeatIndicator(nullptr);
    outputOpener.Join();
    if (outputHeld)
        Platform::AudioOutput::Instance().Release();
    return result;
}
