// Screenshots of the main window, the four settings pages and the step sequencer in a chosen
// language, with a check that every caption fits its control. Run it under an X server:
//   xvfb-run -s "-screen 0 1024x768x24" build/Bench/gui_settings_pages Lang de docs
// It picks the language through the language dialog (as a user would), opens each window,
// saves "main-window-<lang>.png", "settings-<n>-<lang>.png", "step-sequencer-<lang>.png",
// "count-in-<lang>.png" and "practice-log-<lang>.png" (of a few days' sample runs)
// with ImageMagick's import into the given folder, and prints each window's size and each
// caption wider than its control or running into a neighbouring control.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QStyle>
#include <QTabWidget>
#include <QThread>
#include <cstdio>
#include <memory>

#include "CaptionCheck.h"
#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Configuration/PracticeLog.h"
#include "Core/Metronome.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/CountInDialog.h"
#include "GUI/DialogUnits.h"
#include "GUI/LanguageDialog.h"
#include "GUI/PracticeLogDialog.h"
#include "GUI/SettingsDialog.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/File.h"
#include "Platform/Text.h"
#include "PracticeRuns.h"
#include "System/Language.h"
#include "System/LanguageSetUp.h"

namespace {

using Bench::ReportOverflows;

void Wait(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool Shoot(QWidget* window, const QString& file)
{
    const int result = QProcess::execute(QStringLiteral("import"),
                                         {QStringLiteral("-window"), QString::number(window->winId()), file});
    std::printf("  %s %s\n", file.toUtf8().constData(), result == 0 ? "written" : "NOT written");
    return result == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <Lang folder> <language name> <output folder>\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(Ticova);
    const QString folder = QString::fromLocal8Bit(argv[3]);
    const QString languageName = QString::fromLocal8Bit(argv[2]);
    System::SetLanguageFolderForTesting(std::string(argv[1]) + "/");

    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    Configuration::ConfigurationData preset;
    const char16_t* names[3] = {u"Rock 1", u"Waltz", u"Practice"};
    const char16_t* descriptions[3] = {u"Straight eighths at 120", u"Three four", u"Speed trainer 60 to 100"};
    for (int i = 0; i < 3; ++i) {
        Platform::Text::Copy(preset.PresetName, names[i]);
        Platform::Text::Copy(preset.Description, descriptions[i]);
        configuration.AddPreset(preset);
    }

    // The language is chosen in the language dialog, as the user would choose it.
    std::unique_ptr<System::ILanguage> language;
    GUI::LanguageDialog languageDialog(configuration, [&language](const char16_t* name) {
        System::SetUpLanguage(language, name ? std::u16string_view(name) : std::u16string_view());
    });
    languageDialog.Open(nullptr);
    QComboBox* list = languageDialog.List();
    for (int i = 0; i < list->count(); ++i)
        if (GUI::LanguageDialog::CodeName(list->itemData(i).toUInt()) ==
            Platform::Text::Utf8ToUtf16(languageName.toStdString()))
            list->setCurrentIndex(i);
    languageDialog.Apply();
    languageDialog.Close();

    std::printf("dialog font base units: %d x %d px\n", GUI::DialogUnits::BaseX(), GUI::DialogUnits::BaseY());
    GUI::SettingsDialog settings(configuration, [] {});
    int overflows = 0;
    for (int tab = 0; tab < GUI::SettingsDialog::PageCount; ++tab) {
        QElapsedTimer opening;
        opening.start();
        QDialog* dialog = settings.Open(nullptr, tab);
        dialog->show();
        QApplication::processEvents();
        const qint64 openMs = opening.elapsed();
        Wait(400);
        const char* pageNames[GUI::SettingsDialog::PageCount] = {"Options", "Sound Settings", "Audio Files", "Presets",
                                                                 "Output"};
        std::printf("page %d (%s): dialog %d x %d px, opened and shown in %lld ms\n", tab, pageNames[tab],
                    dialog->width(), dialog->height(), static_cast<long long>(openMs));
        overflows += ReportOverflows(settings.Tabs()->widget(tab), pageNames[tab]);
        overflows += ReportOverflows(dialog, "frame");
        Shoot(dialog, QStringLiteral("%1/settings-%2-%3.png").arg(folder).arg(tab).arg(languageName));
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
        sequencer.show();
        Wait(400);
        std::printf("step sequencer: %d x %d px\n", sequencer.width(), sequencer.height());
        overflows += ReportOverflows(&sequencer, "step sequencer");
        Shoot(&sequencer, QStringLiteral("%1/step-sequencer-%2.png").arg(folder).arg(languageName));
    }
    {
        // A few days of practice, as the log keeps them.
        const std::string path = QDir::tempPath().toStdString() + "/ticova-bench-practice.csv";
        Platform::File::Remove(path);
        const Configuration::PracticeLog log(path);
        Bench::AppendRuns(log,
                          {{6, 18, 5, "Rock 1", 120, 1, 12.4, 0, 0},
                           {6, 18, 20, "Waltz", 96, 1, 8.0, 0, 0},
                           {7, 7, 45, "Practice", 100, 0, 14.2, 60, 100},
                           {7, 19, 10, "", 132, 3, 6.5, 0, 0},
                           {8, 17, 30, "Practice", 100, 0, 14.2, 60, 100},
                           {8, 17, 50, "Rock 1", 126, 1, 21.7, 0, 0}});
        GUI::PracticeLogDialog practice(log);
        practice.show();
        Wait(400);
        std::printf("practice log: %d x %d px\n", practice.width(), practice.height());
        Shoot(&practice, QStringLiteral("%1/practice-log-%2.png").arg(folder).arg(languageName));
        Platform::File::Remove(path);

        // Shown, never accepted: the user's settings stay as they are.
        GUI::CountInDialog countIn(Core::Metronome::Instance(), Configuration::GetExtraSettings());
        countIn.show();
        Wait(400);
        std::printf("count-in: %d x %d px\n", countIn.width(), countIn.height());
        Shoot(&countIn, QStringLiteral("%1/count-in-%2.png").arg(folder).arg(languageName));
    }
    {
        // The main window, in the language the dialog chose (the configuration names it); it
        // sets up a language object of its own, so it comes last.
        GUI::VisualBeatIndicator indicator;
        GUI::ApplicationWindow window(Core::Metronome::Instance(), configuration, indicator);
        if (!window.Initialise()) {
            std::printf("main window: not started\n");
            return 1;
        }
        Wait(400);
        std::printf("main window: %d x %d px\n", window.width(), window.height());
        overflows += ReportOverflows(&window, "main window");
        Shoot(&window, QStringLiteral("%1/main-window-%2.png").arg(folder).arg(languageName));
        window.hide();
    }

    std::printf("captions wider than their controls: %d\n", overflows);
    return overflows == 0 ? 0 : 1;
}
