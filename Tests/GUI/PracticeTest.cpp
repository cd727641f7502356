#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <thread>
#include <vector>

#include "Configuration/ExtraSettings.h"
#include "Configuration/PracticeLog.h"
#include "Core/CountIn.h"
#include "Core/HeardTime.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/CountInDialog.h"
#include "GUI/PracticeLogDialog.h"
#include "GUI/SettingsDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/File.h"
#include "Platform/Text.h"
#include "Support/TestEnvironment.h"
#include "Support/WindowFakes.h"
#include "System/Language.h"

namespace {

class PracticeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = Tests::MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        indicator = std::make_unique<GUI::VisualBeatIndicator>();
        window = std::make_unique<GUI::ApplicationWindow>(metronome, configuration, *indicator);
        ASSERT_TRUE(window->Initialise());
        window->SetPracticeLog(log);
        window->SetPracticeClock([this] { return now; });
    }
    void TearDown() override
    {
        window.reset();
        indicator.reset();
        Core::HeardTime::SetVisualOffsetMs(0);
    }
    std::vector<Configuration::PracticeRun> Runs() const
    {
        std::vector<Configuration::PracticeRun> runs;
        int skipped = 0;
        EXPECT_TRUE(log.Load(runs, skipped));
        EXPECT_EQ(skipped, 0);
        return runs;
    }
    // Each press comes two seconds after the one before.
    void StartStop()
    {
        now += std::chrono::seconds(2);
        window->OnCommand(GUI::ApplicationWindow::StartStop);
    }

    std::string folder;
    Core::Moment now{std::chrono::hours(1)};
    Configuration::PracticeLog log{Tests::MakeTempFolder("PracticeLogs") + "log.csv"};
    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    std::unique_ptr<GUI::VisualBeatIndicator> indicator;
    std::unique_ptr<GUI::ApplicationWindow> window;
};

// One line per run, however the run ends: the Stop button, the metronome stopping by itself, or
// a click that starts again before that news has arrived (which must not end the run twice).
TEST_F(PracticeTest, EveryRunIsLoggedOnceAndTimedInTheStatusBarWhilePlaying)
{
    configuration.settings.Bpm = 96;
    configuration.settings.BeatType = 1;
    Platform::Text::Copy(configuration.settings.PresetName, u"Etude, slow");
    EXPECT_EQ(window->PracticeTimeText(), QString());
    StartStop();
    EXPECT_EQ(window->PracticeTimeText(), QStringLiteral("Practice time 0:00"));
    StartStop();
    EXPECT_EQ(window->PracticeTimeText(), QString()) << "shown while playing";
    std::vector<Configuration::PracticeRun> runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].preset, "Etude, slow");
    EXPECT_EQ(runs[0].tempo, 96);
    EXPECT_EQ(runs[0].beatType, "Beats Per Bar");
    EXPECT_EQ(runs[0].trainerTo, 0);

    // The trainer ends its run by itself, on the timer thread.
    configuration.settings.SpeedTrainer = 1;
    configuration.settings.From = 0.5f;
    configuration.settings.To = 1.0f;
    StartStop();
    now += std::chrono::seconds(2);
    std::thread([this] { metronome.StopItself(96); }).join();
    QApplication::processEvents();
    EXPECT_FALSE(window->Playing());
    runs = Runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].trainerFrom, 48);
    EXPECT_EQ(runs[1].trainerTo, 96);

    // A click after a self-stop whose report is still on its way.
    StartStop();
    now += std::chrono::seconds(2);
    std::thread([this] { metronome.StopItself(96); }).join();
    StartStop();
    EXPECT_TRUE(window->Playing());
    QApplication::processEvents();
    EXPECT_EQ(Runs().size(), 3u);
    StartStop();
    EXPECT_EQ(Runs().size(), 4u);

    // The dialog shows them, the newest first, with the day's total; a damaged line is told.
    const std::string path = log.Path();
    std::string text;
    ASSERT_TRUE(Platform::File::ReadAll(path, text));
    ASSERT_TRUE(Platform::File::ReplaceWhole(path, text + "2026-01-01,10:00,,96,Simple Beat,5,,\nbroken\n"));
    GUI::PracticeLogDialog dialog(log);
    ASSERT_EQ(dialog.RunsTable()->rowCount(), 5);
    EXPECT_EQ(dialog.RunsTable()->item(0, 0)->text(), QStringLiteral("2026-01-01"));
    EXPECT_EQ(dialog.RunsTable()->item(1, 6)->text(), QStringLiteral("48-96"));
    ASSERT_EQ(dialog.DaysTable()->rowCount(), 2);
    EXPECT_EQ(dialog.DaysTable()->item(1, 0)->text(), QStringLiteral("2026-01-01"));
    EXPECT_EQ(dialog.DaysTable()->item(1, 1)->text(), QStringLiteral("5.0"));
    EXPECT_EQ(dialog.DaysTable()->item(0, 2)->text(), QStringLiteral("4"));
    EXPECT_EQ(dialog.Problem(), QStringLiteral("1 damaged lines were skipped."));
    EXPECT_EQ(dialog.RunsTable()->item(1, 4)->text(), QStringLiteral("Beats Per Bar"));

    // The beat types, kept in English, read in the language in use.
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    window->ChangeLanguage(u"de");
    GUI::PracticeLogDialog german(log);
    EXPECT_EQ(german.RunsTable()->item(0, 4)->text(), QStringLiteral("Einfacher Schlag"));
    EXPECT_EQ(german.RunsTable()->item(1, 4)->text(), QStringLiteral("Schläge pro Takt"));
    window->ChangeLanguage(u"");
    System::SetLanguageFolderForTesting({});
}

// A run the coach heard shows how it was played; the others leave those columns empty.
TEST_F(PracticeTest, TimedRunsShowTheirTimingAndOthersNothing)
{
    Configuration::PracticeRun run;
    run.year = 2026;
    run.month = run.day = 3;
    run.tempo = 100;
    run.beatType = "Simple Beat";
    run.minutes = 5;
    ASSERT_TRUE(log.Append(run));
    run.timed = true;
    run.timing = {-3.25, 6.1, 1.5, 412, 3, 1};
    ASSERT_TRUE(log.Append(run));
    GUI::PracticeLogDialog dialog(log);
    QTableWidget& runs = *dialog.RunsTable();
    ASSERT_EQ(runs.columnCount(), 11);
    EXPECT_EQ(runs.horizontalHeaderItem(7)->text(), QStringLiteral("Mean\n(ms)"));
    QStringList timed, untimed;
    for (int column = 7; column < 11; ++column) {
        timed << runs.item(0, column)->text();
        EXPECT_EQ(runs.item(1, column), nullptr);
    }
    EXPECT_EQ(timed, (QStringList{"-3.2", "6.1", "1.5", "412 / 3 / 1"}));
}

// The log names the preset a run played, also after the settings dialog's OK (the dialog marks
// the live settings while its pages fill them); a start and a stop within a second are no run.
TEST_F(PracticeTest, RunsNameTheirPresetAfterTheSettingsDialogAndMomentaryOnesAreLeftOut)
{
    Configuration::ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"Fast 150");
    preset.Bpm = 150;
    configuration.presets[u"Fast 150"] = preset;
    ASSERT_TRUE(configuration.LoadPreset(u"Fast 150"));
    {
        GUI::SettingsDialog settings(configuration, [] {});
        settings.Open(window.get(), 0)->show();
        ASSERT_TRUE(settings.OnOk());
        settings.Close();
    }
    StartStop();
    StartStop();
    // Pressed twice in a moment.
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    now += std::chrono::milliseconds(900);
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    const std::vector<Configuration::PracticeRun> runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].preset, "Fast 150");
    EXPECT_EQ(runs[0].tempo, 150);
}

// Of a log larger than the window reads, only the newest runs are shown and counted: the window
// says so.
TEST_F(PracticeTest, ALogReadOnlyInPartSaysSo)
{
    const std::string line = "2026-01-01,10:00," + std::string(200, 'p') + ",96,Simple Beat,5,,\n";
    std::string text = std::string(Configuration::PracticeLog::Heading()) + "\n";
    while (text.size() + line.size() <= Configuration::PracticeLog::ReadLimit)
        text += line;
    ASSERT_TRUE(Platform::File::ReplaceWhole(log.Path(), text));
    GUI::PracticeLogDialog whole(log);
    EXPECT_TRUE(whole.Problem().isEmpty()) << whole.Problem().toStdString();
    ASSERT_TRUE(Platform::File::ReplaceWhole(log.Path(), text + line));
    GUI::PracticeLogDialog part(log);
    EXPECT_TRUE(part.Problem().startsWith(QStringLiteral("The practice log is larger than 4 MB")))
        << part.Problem().toStdString();
}

// The new menu items sit among the fixed ones: a language change must give each item its own
// text, the fixed ones after them included.
TEST_F(PracticeTest, MenuItemsKeepTheirOwnTextsThroughALanguageChange)
{
    QAction* countIn = window->CommandAction(GUI::ApplicationWindow::CountInSettings);
    QAction* practiceLog = window->CommandAction(GUI::ApplicationWindow::PracticeLogView);
    ASSERT_NE(countIn, nullptr);
    ASSERT_NE(practiceLog, nullptr);
    EXPECT_EQ(countIn->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
    EXPECT_EQ(practiceLog->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    window->ChangeLanguage(u"fr");
    EXPECT_EQ(countIn->text(), QStringLiteral("&Décompte et latence..."));
    EXPECT_EQ(practiceLog->text(), QStringLiteral("&Journal de pratique..."));
    EXPECT_NE(window->CommandAction(GUI::ApplicationWindow::About)->text(), QStringLiteral("&About"));
    window->ChangeLanguage(u"");
    EXPECT_EQ(countIn->text(), QStringLiteral("&Count-in and Latency..."));
    EXPECT_EQ(window->CommandAction(GUI::ApplicationWindow::About)->text(), QStringLiteral("&About"));
}

// OK keeps the count-in and the offset in the second settings file at once and hands them on;
// the dialog opens again with what was kept.
TEST_F(PracticeTest, CountInDialogKeepsAndAppliesItsSettings)
{
    Configuration::ExtraSettings extras(folder + "Ticova.extras");
    {
        GUI::CountInDialog dialog(metronome, extras);
        EXPECT_EQ(dialog.LengthList()->currentIndex(), 0);
        EXPECT_EQ(dialog.LengthList()->count(), 11);
        EXPECT_EQ(dialog.SoundList()->currentText(), QStringLiteral("Side Stick"));
        dialog.LengthList()->setCurrentIndex(4);  // 2 beats
        dialog.SoundList()->setCurrentIndex(5);
        dialog.VolumeBox()->setValue(90);
        dialog.LatencyBox()->setValue(-40);
        dialog.accept();
    }
    EXPECT_EQ(metronome.countIn.length, Core::CountIn::Length::Beats);
    EXPECT_EQ(metronome.countIn.amount, 2);
    EXPECT_EQ(metronome.countIn.instrument, 5u);
    EXPECT_EQ(metronome.countIn.volume, 90u);
    EXPECT_EQ(Core::HeardTime::VisualOffsetMs(), -40);

    Configuration::ExtraSettings saved(folder + "Ticova.extras");
    ASSERT_TRUE(saved.Load());
    GUI::CountInDialog again(metronome, saved);
    EXPECT_EQ(again.LengthList()->currentText(), QStringLiteral("2 beats"));
    EXPECT_EQ(again.SoundList()->currentIndex(), 5);
    EXPECT_EQ(again.LatencyBox()->value(), -40);
    for (int row = 0; row < again.LengthList()->count(); ++row) {
        Core::CountIn countIn;
        GUI::CountInDialog::FromRow(row, countIn);
        EXPECT_EQ(GUI::CountInDialog::Row(countIn), row);
    }
}

}  // namespace
