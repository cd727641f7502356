// Pictures of every window in one language, taken the same way each time, so that two builds can
// be compared pixel for pixel (ImageMagick: compare -metric AE a.png b.png null:). Run it offscreen:
//   QT_QPA_PLATFORM=offscreen build/Bench/gui_screens Lang de /tmp/shots
// It starts from a fresh data folder of its own with a few presets, a setlist and a song, sets a
// fixed font, turns the text cursor's blinking off, and saves "<window>-<lang>.png" of the main
// window (with and without the setlist bar), each settings page, the step sequencer, the count-in,
// the practice log, the setlists, the song editor, the export, the language, the about dialog and
// the big flash. Nothing plays. Each window shown is checked as it is taken: a caption wider than
// its control, or a label running into the control beside it, is printed, and the run then ends
// with 1. Run with QT_FONT_DPI=144 or 192 it takes and checks the windows with larger text.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "CaptionCheck.h"
#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Configuration/PracticeLog.h"
#include "Core/Metronome.h"
#include "GUI/AboutDialog.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/BigFlash.h"
#include "GUI/CountInDialog.h"
#include "GUI/ExportDialog.h"
#include "GUI/LanguageDialog.h"
#include "GUI/PracticeLogDialog.h"
#include "GUI/SetlistDialog.h"
#include "GUI/SettingsDialog.h"
#include "GUI/SongEditorDialog.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "PracticeRuns.h"
#include "System/Language.h"

namespace {

QString outputFolder;
QString languageName;
int written = 0;
int overflows = 0;

void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

void Shoot(QWidget* window, const char* name)
{
    window->show();
    Settle();
    const QString file = QStringLiteral("%1/%2-%3.png").arg(outputFolder, QString::fromLatin1(name), languageName);
    overflows += Bench::ReportOverflows(window, name);
    if (window->grab().save(file))
        ++written;
    else
        std::fprintf(stderr, "%s not written\n", file.toUtf8().constData());
}

void AddPresets(Configuration::IConfiguration& configuration)
{
    Configuration::ConfigurationData preset;
    const char16_t* names[3] = {u"Rock 1", u"Waltz", u"Practice"};
    const char16_t* descriptions[3] = {u"Straight eighths at 120", u"Three four", u"Speed trainer 60 to 100"};
    for (int i = 0; i < 3; ++i) {
        Platform::Text::Copy(preset.PresetName, names[i]);
        Platform::Text::Copy(preset.Description, descriptions[i]);
        configuration.AddPreset(preset);
    }
}

void WritePracticeLog(const Configuration::PracticeLog& log)
{
    Bench::AppendRuns(log,
                      {{6, 18, 5, "Rock 1", 120, 1, 12.4, 0, 0},
                       {7, 7, 45, "Practice", 100, 0, 14.2, 60, 100},
                       {8, 17, 50, "Waltz", 96, 1, 21.7, 0, 0}});
}

void ShootDialogs(GUI::ApplicationWindow& window, Configuration::IConfiguration& configuration)
{
    GUI::SettingsDialog settings(configuration, [] {});
    const char* pages[GUI::SettingsDialog::PageCount] = {"options", "sound-settings", "audio-files", "presets",
                                                         "output"};
    for (int tab = 0; tab < GUI::SettingsDialog::PageCount; ++tab) {
        Shoot(settings.Open(nullptr, tab), pages[tab]);
        settings.Close();
    }
    {
        Configuration::ConfigurationData& live = configuration.GetCurrentSettings();
        Platform::Text::Copy(live.CustomRhythm, u"[13]3[23]3[13]3[23]3");
        live.CrSubdivision = 2;
        GUI::StepSequencerDialog sequencer(nullptr, live);
        sequencer.WorkingSettings() = live;
        sequencer.PrepareWorkingSettings();
        sequencer.Initialise();
        Shoot(&sequencer, "step-sequencer");
    }
    {
        GUI::CountInDialog countIn(Core::Metronome::Instance(), Configuration::GetExtraSettings());
        Shoot(&countIn, "count-in");
    }
    {
        const Configuration::PracticeLog log(Platform::DataFile("shots-practice.csv"));
        WritePracticeLog(log);
        GUI::PracticeLogDialog practice(log);
        Shoot(&practice, "practice-log");
    }
    {
        GUI::SetlistDialog setlists(window.SetlistStore(), configuration, &window);
        Shoot(&setlists, "setlists");
    }
    {
        GUI::SongEditorDialog::Player player;
        player.play = [](const Configuration::Song&, int) {};
        player.stop = [] {};
        player.playing = [] { return false; };
        player.heard = [](std::string&, int&, int&) { return false; };
        player.exportSound = [](const Configuration::Song&) {};
        GUI::SongEditorDialog songs(window.Songs().Library(), std::move(player), &window);
        Shoot(&songs, "song-editor");
    }
    {
        GUI::ExportDialog exporter(configuration.GetCurrentSettings(), Configuration::GetExtraSettings(), &window);
        Shoot(&exporter, "export");
    }
    {
        GUI::LanguageDialog language(configuration, [](const char16_t*) {});
        Shoot(language.Open(nullptr), "language");
        language.Close();
    }
    {
        GUI::AboutDialog about(&window);
        Shoot(&about, "about");
    }
    window.FlashWindow().resize(480, 320);
    window.FlashWindow().Open();
    Shoot(&window.FlashWindow(), "big-flash");
    window.FlashWindow().close();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <Lang folder> <en|de|fr> <output folder>\n", argv[0]);
        return 2;
    }
    languageName = QString::fromLocal8Bit(argv[2]);
    outputFolder = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(outputFolder);
    // A data folder of its own, fresh each time: the pictures depend on nothing the user keeps.
    // One per language and font resolution, so that runs side by side keep apart.
    const std::string data = "/tmp/ticova-screens-" + languageName.toStdString() + "-" +
        qEnvironmentVariable("QT_FONT_DPI", QStringLiteral("default")).toStdString() + "/";
    std::error_code ignored;
    std::filesystem::remove_all(data, ignored);
    std::filesystem::create_directories(data, ignored);
    Platform::SetDataFolderForTesting(data);
    System::SetLanguageFolderForTesting(std::string(argv[1]) + "/");

    QApplication application(argc, argv);
    Q_INIT_RESOURCE(Ticova);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    QApplication::setCursorFlashTime(0);

    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    AddPresets(configuration);
    const std::u16string code = languageName == QStringLiteral("en")
        ? std::u16string()
        : Platform::Text::Utf8ToUtf16(languageName.toStdString());
    Platform::Text::Copy(configuration.GetLanguage(), Configuration::IConfiguration::LanguageCapacity, code);

    GUI::VisualBeatIndicator indicator;
    GUI::ApplicationWindow window(Core::Metronome::Instance(), configuration, indicator);
    if (!window.Initialise()) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    Shoot(&window, "main-window");

    Configuration::Setlist friday;
    friday.name = "Friday";
    friday.presets = {"Rock 1", "Waltz", "Gone"};
    window.SetlistStore().Lists().push_back(friday);
    Configuration::Song ballad;
    ballad.name = "Ballad";
    ballad.sections.resize(2);
    window.Songs().Library().Songs().push_back(ballad);
    window.UseSetlist(0);
    Shoot(&window, "main-window-setlist");

    ShootDialogs(window, configuration);
    std::printf("%d pictures written to %s, captions cut: %d\n", written, outputFolder.toUtf8().constData(), overflows);
    return written == 0 || overflows != 0 ? 1 : 0;
}
