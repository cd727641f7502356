// The program with its window: everything that needs Qt. It is built as a module of its own,
// loaded by the program's entry point only when a window is to be shown, so that a click track
// exported from the command line loads none of Qt.
#include <optional>

#include "Configuration/ConfigurationData.h"
#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Core/ClickTrackExport.h"
#include "Core/Metronome.h"
#include "Core/OutputSettings.h"
#include "Core/SongMidiFile.h"
#include "Core/SoundEngines.h"
#include "Core/TempoMap.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/BigFlash.h"
#include "GUI/FileMessages.h"
#include "GUI/LanguageDialog.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/CommandLine.h"
#include "GUI/QuitSignals.h"
#include "GUI/RemoteControl.h"
#include "GUI/SettingsDialog.h"
#include "GUI/SettingsSaver.h"
#include "GUI/SingleInstance.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/AudioOutput.h"
#include "Platform/Console.h"
#include "Platform/File.h"
#include "Platform/MidiOut.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "Platform/Thread.h"
#include "System/ILog.h"
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

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

// No folder of the user's own for the settings and the log: said here, since no log line
// can be written.
static void WarnWithoutDataFolder()
{
    if (const std::string problem = Platform::DataFolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "Ticova: the settings are neither read nor saved: %s\n", problem.c_str());
        GUI::MessageBoxes::Show(nullptr, QMessageBox::Warning, QStringLiteral("Ticova"),
                                QStringLiteral("Ticova has no safe folder for its settings and log:\n%1\n\n"
                                               "The settings are neither read nor saved.")
                                    .arg(QString::fromStdString(problem)));
    }
}

// The sound output is opened in the background (finding the devices and the server's start take a
// second or two); it closes when the program has been left idle. The SoundFont loads meanwhile.
static void OpenOutputInBackground(const Configuration::ExtraSettings& extraSettings, Platform::Thread& opener)
{
    Core::ApplyOutputChoice(Core::ReadOutputChoice(extraSettings));
    Core::ApplyMidiChoice(Core::ReadMidiChoice(extraSettings));
    Platform::MidiOut::LoadSoundFontInBackground(extraSettings.Text("soundfont.path"));
    opener.Start([] {
        if (Platform::AudioOutput::Instance().Acquire() == 0)
            Platform::AudioOutput::Instance().Release();
    });
}

// Shows the main window and runs the program until it is left: the exit code (none: the window
// could not be made, and the program ends at once).
static std::optional<int> RunWindow(Core::Metronome& metronome, Configuration::IConfiguration& configuration,
                                    Configuration::ExtraSettings& extraSettings, GUI::SettingsSaver& saver,
                                    GUI::VisualBeatIndicator& indicator, GUI::SingleInstance& instance,
                                    const GUI::CommandLine& line)
{
    GUI::ApplicationWindow window(metronome, configuration, indicator);
    saver.SetWindow(&window);
    instance.SetRaiseHandler([&window] { window.BringToFront(); });
    // A preset loaded in the settings dialog replaces the live settings: the window
    // shows their tempo and volume at once.
    GUI::SettingsDialog settings(configuration, [&window] { window.ReloadSettings(); });
    GUI::LanguageDialog language(configuration, [&window](const char16_t* name) { window.ChangeLanguage(name); });
    window.SetSettingsDialog([&window, &settings](int tab) { settings.Run(&window, tab); });
    window.SetLanguageDialog([&window, &language] { language.Run(&window); });
    if (!window.Initialise())
        return std::nullopt;
    metronome.SetBeatFlash(&window.BeatListener());
    instance.SetCommandHandler([&window](const GUI::CommandLine& commands) { window.RunCommands(commands); });
    // Remote control over the session bus, when there is one.
    GUI::RemoteControl remote(window, &instance.Commands());
    remote.Register();
    window.RunCommands(line);
    // What the settings files held that could not be read, once the window shows.
    QTimer::singleShot(0, &window, [&window, &configuration, &extraSettings] {
        GUI::FileMessages::TellReadProblems(&window, configuration.LoadReport(), extraSettings.LoadReport());
    });
    // Logout, shut-down or Ctrl+C in a terminal quit as Exit does, keeping the settings.
    GUI::QuitSignals quitSignals([&window](int) { window.QuitAsExit(); });
    const int result = QApplication::exec();
    instance.SetRaiseHandler({});
    metronome.SetBeatFlash(nullptr);
    instance.SetCommandHandler({});
    instance.Commands().Clear();
    return result;
}

extern "C" __attribute__((visibility("default"))) int TicovaRunWindow(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Ticova"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TICOVA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Ticova"));
    const GUI::CommandLine line = GUI::CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    Platform::QuietenSoundLibraries(&SoundLibraryMessage);

    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(TICOVA_APP_ID));
    LoadResources();

    // One copy per user: a second one brings the first to the front, hands it its options and
    // ends.
    GUI::SingleInstance instance;
    instance.SetForwardedOptions(line);
    if (!instance.Claim()) {
        if (instance.Refusal().empty())
            return 0;
        std::fprintf(stderr, "ticova: %s\n", Platform::Text::Escaped(instance.Refusal()).c_str());
        return 1;
    }

    // A missing or damaged configuration file leaves the defaults.
    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    configuration.Load();
    // The settings of features beyond that file's keys, in a file of their own beside it.
    Configuration::ExtraSettings& extraSettings = Configuration::GetExtraSettings();
    extraSettings.Load();
    // Options that cannot be followed (a preset that does not exist) end this copy at once, as
    // a running copy refuses them.
    if (const std::string refusal = line.Refusal(configuration); !refusal.empty()) {
        std::fprintf(stderr, "ticova: %s\n", refusal.c_str());
        return 1;
    }
    instance.SetCommandCheck(
        [&configuration](const GUI::CommandLine& commands) { return commands.Refusal(configuration); });
    WarnWithoutDataFolder();

    GUI::VisualBeatIndicator indicator;
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatIndicator(&indicator);

    // The sound output is opened in the background while the window shows, so that the first
    // Start plays at once.
    Platform::Thread outputOpener;
    OpenOutputInBackground(extraSettings, outputOpener);

    // From here on every change is on disk within moments, not only at exit.
    GUI::SettingsSaver saver(configuration, extraSettings);
    const std::optional<int> result =
        RunWindow(metronome, configuration, extraSettings, saver, indicator, instance, line);
    if (!result)
        return 0;
    metronome.SetBeatIndicator(nullptr);
    if (extraSettings.Changed() && !extraSettings.Save())
        GUI::MessageBoxes::Show(nullptr, QMessageBox::Warning, QStringLiteral("Ticova"),
                                GUI::FileMessages::SaveFailed(extraSettings.SaveProblem()));
    outputOpener.Join();
    Platform::AudioOutput::Instance().CloseIdle();
    return *result;
}
