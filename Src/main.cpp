#include <QApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "Configuration/ExtraSettings.h"
#include "Configuration/ConfigurationData.h"
#include "Configuration/IConfiguration.h"
#include "Core/ClickTrackExport.h"
#include "Core/Metronome.h"
#include "Core/SongMidiFile.h"
#include "Core/TempoMap.h"
#include "Core/OutputSettings.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/LanguageDialog.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/CommandLine.h"
#include "GUI/RemoteControl.h"
#include "GUI/QuitSignals.h"
#include "GUI/SettingsDialog.h"
#include "GUI/SettingsSaver.h"
#include "GUI/FileMessages.h"
#include "GUI/SingleInstance.h"
#include "GUI/BigFlash.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/AudioOutput.h"
#include "Platform/Console.h"
#include "Platform/File.h"
#include "Platform/MidiOut.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
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

// The song of a tempo-map file; what it cannot hold is told on the terminal.
static bool ReadTempoMap(const std::string& path, Configuration::Song& song)
{
    std::string text;
    if (!Platform::File::ReadAll(path, text, Core::TempoMap::MaxText + 1) || text.size() > Core::TempoMap::MaxText) {
        std::fprintf(stderr, "ticova: the tempo map %s could not be read\n", path.c_str());
        return false;
    }
    for (const Core::TempoMap::Note& note : Core::TempoMap::Read(text, song))
        std::fprintf(stderr, "ticova: %s: %s\n", path.c_str(), Core::TempoMap::Describe(note).c_str());
    if (song.sections.empty()) {
        std::fprintf(stderr, "ticova: the tempo map %s holds no section to play\n", path.c_str());
        return false;
    }
    return true;
}

// Writes the click track the command line asks for, with the saved settings (and the preset and
// tempo it names), without a window; the exit status tells whether it was written.
static int ExportFromCommandLine(const GUI::CommandLine& line)
{
    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    configuration.Load();
    Configuration::ExtraSettings& extraSettings = Configuration::GetExtraSettings();
    extraSettings.Load();
    if (line.preset) {
        const std::u16string name = Platform::Text::Utf8ToUtf16(*line.preset);
        if (!configuration.LoadPreset(name.c_str())) {
            std::fprintf(stderr, "ticova: there is no preset \"%s\"\n", line.preset->c_str());
            return 1;
        }
    }
    Configuration::ConfigurationData settings = configuration.GetCurrentSettings();
    if (line.bpm)
        settings.Bpm = static_cast<std::uint32_t>(*line.bpm);
    Configuration::Song song;
    if (line.tempoMap && !ReadTempoMap(*line.tempoMap, song))
        return 1;
    if (line.tempoMap && line.exportFile->size() > 4 &&
        line.exportFile->compare(line.exportFile->size() - 4, 4, ".mid") == 0) {
        // The song's grid for a sequencer: its tempo map and a note a beat.
        if (!Platform::File::ReplaceWhole(*line.exportFile, Core::SongMidiFile::Write(song))) {
            std::fprintf(stderr, "ticova: the MIDI file could not be written to %s\n", line.exportFile->c_str());
            return 1;
        }
        std::printf("%s: the song's tempo map and beats written as a MIDI file\n", line.exportFile->c_str());
        return 0;
    }
    // A copy with a window may hold changes it has not saved yet: the track is made from the
    // file, and the user is told which settings those are.
    if (GUI::SingleInstance::AnotherCopyRuns())
        std::fprintf(stderr, "ticova: Ticova is running; the click track is made from the settings saved in %s%s%s%s, "
                             "at %u bpm (changes in its window that are not saved yet are not in it)\n",
                     Platform::DataFile("Ticova.conf").c_str(), line.preset ? " with the preset \"" : "",
                     line.preset ? line.preset->c_str() : "", line.preset ? "\"" : "",
                     static_cast<unsigned>(settings.Bpm));
    Platform::MidiOut::LoadSoundFontInBackground(extraSettings.Text("soundfont.path"));
    // A song ends by itself; its length is its own.
    const Core::ClickTrackExport::Length length{
        line.bars || line.tempoMap ? Core::ClickTrackExport::Unit::Bars : Core::ClickTrackExport::Unit::Minutes,
        line.tempoMap ? 1 : line.bars ? *line.bars : *line.minutes};
    const Core::ClickTrackExport::Result result =
        Core::ClickTrackExport::Run(settings, *line.exportFile, length, {}, Core::CountIn::Read(extraSettings),
                                    line.tempoMap ? &song : nullptr);
    if (!result.written) {
        std::fprintf(stderr, "ticova: the click track could not be written to %s: %s\n", line.exportFile->c_str(),
                     result.error.c_str());
        return 1;
    }
    std::printf("%s: %.1f s of sound written in %.2f s (%.0f times real time)\n", line.exportFile->c_str(),
                result.seconds, result.elapsed, result.speedRatio);
    return 0;
}

// The window and everything that serves it, until the program ends: the beat indicator, the
// sound output opened in the background, the settings saved as they change, the dialogs, the
// remote control and the signals that quit.
static int RunWindow(GUI::SingleInstance& instance, const GUI::CommandLine& line,
                     Configuration::IConfiguration& configuration, Configuration::ExtraSettings& extraSettings)
{
    GUI::VisualBeatIndicator indicator;
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatIndicator(&indicator);

    // The sound output is opened in the background while the window shows (finding the devices
    // and the server's start take a second or two), so that the first Start plays at once; it
    // closes when the program has been left idle. The SoundFont loads meanwhile.
    Core::ApplyOutputChoice(Core::ReadOutputChoice(extraSettings));
    Core::ApplyMidiChoice(Core::ReadMidiChoice(extraSettings));
    Platform::MidiOut::LoadSoundFontInBackground(extraSettings.Text("soundfont.path"));
    Platform::Thread outputOpener;
    outputOpener.Start([] {
        if (Platform::AudioOutput::Instance().Acquire() == 0)
            Platform::AudioOutput::Instance().Release();
    });

    // From here on every change is on disk within moments, not only at exit.
    GUI::SettingsSaver saver(configuration, extraSettings);
    int result = 0;
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
            return 0;
        metronome.SetBeatFlash(&window.FlashWindow());
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
        result = QApplication::exec();
        instance.SetRaiseHandler({});
        metronome.SetBeatFlash(nullptr);
        instance.SetCommandHandler({});
        instance.Commands().Clear();
    }
    metronome.SetBeatIndicator(nullptr);
    if (extraSettings.Changed() && !extraSettings.Save())
        GUI::MessageBoxes::Show(nullptr, QMessageBox::Warning, QStringLiteral("Ticova"),
                                GUI::FileMessages::SaveFailed(extraSettings.SaveProblem()));
    outputOpener.Join();
    Platform::AudioOutput::Instance().CloseIdle();
    return result;
}

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Ticova"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TICOVA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Ticova"));
    // The options are read before any window system is needed: --help, --version and --export
    // work without a display. Arguments Ticova does not know are left to QApplication (its own
    // -platform, -style ...).
    const GUI::CommandLine line = GUI::CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::fprintf(stderr, "ticova: %s\n", line.error.c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(GUI::CommandLine::Usage().c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("Ticova %s\n", TICOVA_VERSION);
        return 0;
    }
    Platform::QuietenSoundLibraries(&SoundLibraryMessage);
    if (line.exportFile)
        return ExportFromCommandLine(line);

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
    instance.SetCommandCheck([&configuration](const GUI::CommandLine& commands) { return commands.Refusal(configuration); });
    // No folder of the user's own for the settings and the log: said here, since no log line
    // can be written.
    if (const std::string problem = Platform::DataFolderProblem(); !problem.empty()) {
        std::fprintf(stderr, "Ticova: the settings are neither read nor saved: %s\n", problem.c_str());
        GUI::MessageBoxes::Show(nullptr, QMessageBox::Warning, QStringLiteral("Ticova"),
                                QStringLiteral("Ticova has no safe folder for its settings and log:\n%1\n\n"
                                               "The settings are neither read nor saved.")
                                    .arg(QString::fromStdString(problem)));
    }

    return RunWindow(instance, line, configuration, extraSettings);
}
