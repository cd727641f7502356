#include <QApplication>
#include <QCommandLineParser>
#include <atomic>
#include <cstdio>
#include <string>

#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Core/Metronome.h"
#include "Core/OutputSettings.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/LanguageDialog.h"
#include "GUI/MessageBoxes.h"
#include "GUI/QuitSignals.h"
#include "GUI/SettingsDialog.h"
#include "GUI/SingleInstance.h"
#include "GUI/BigFlash.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/AudioOutput.h"
#include "Platform/Console.h"
#include "Platform/MidiOut.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Thread.h"
#include "System/ILog.h"

static void LoadResources()
{
    Q_INIT_RESOURCE(Ticova);
}

// The sound libraries' chatter while they look for devices: kept in the log for whoever raises
// its level to Debug, never on the terminal.
static void SoundLibraryMessage(const char* message)
{
    System::Log().Write(System::Debug, "%s", message);
}

// --help and --version answer and end the program before any window system is needed, so they
// work without a display. Other arguments are left to QApplication (its own -platform, -style...).
static void AnswerCommandLine(int argc, char* argv[])
{
    QCoreApplication console(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A metronome for practising musicians."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version))
        parser.showVersion();
    if (parser.isSet(help))
        parser.showHelp();
}

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Ticova"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TICOVA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Ticova"));
    AnswerCommandLine(argc, argv);
    Platform::QuietenSoundLibraries(&SoundLibraryMessage);

    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(TICOVA_APP_ID));
    LoadResources();

    // One copy per user: a second one brings the first to the front and ends.
    GUI::SingleInstance instance;
    if (!instance.Claim())
        return 0;

    // A missing or damaged configuration file leaves the defaults.
    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    configuration.Load();
    // The settings of features beyond that file's keys, in a file of their own beside it.
    Configuration::ExtraSettings& extraSettings = Configuration::GetExtraSettings();
    extraSettings.Load();
    // No folder of the user's own for the settings and the log: said here, since no log line
    // can be written.
    if (const std::string problem = Platform::DataFolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "Ticova: the settings are neither read nor saved: %s\n", problem.c_str());
        GUI::MessageBoxes::Show(nullptr, QMessageBox::Warning, QStringLiteral("Ticova"),
                                QStringLiteral("Ticova has no safe folder for its settings and log:\n%1\n\n"
                                               "The settings are neither read nor saved.")
                                    .arg(QString::fromStdString(problem)));
    }

    GUI::VisualBeatIndicator indicator;
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatIndicator(&indicator);

    // The sound output is opened in the background while the window shows (finding the devices
    // and the server's start take a second or two), so that the first Start plays at once; it
    // closes when the program has been left idle. The SoundFont loads meanwhile.
    Core::ApplyOutputChoice(Core::ReadOutputChoice(extraSettings));
    Core::ApplyMidiChoice(Core::ReadMidiChoice(extraSettings));
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
        metronome.SetBeatFlash(&window.FlashWindow());
        // Logout, shut-down or Ctrl+C in a terminal quit as Exit does, keeping the settings.
        GUI::QuitSignals quitSignals([&window](int) { window.QuitAsExit(); });
        result = QApplication::exec();
        instance.SetRaiseHandler({});
        metronome.SetBeatFlash(nullptr);
    }
    metronome.SetBeatIndicator(nullptr);
    if (extraSettings.Changed())
        extraSettings.Save();
    outputOpener.Join();
    Platform::AudioOutput::Instance().CloseIdle();
    return result;
}
