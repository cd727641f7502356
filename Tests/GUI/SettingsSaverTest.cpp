#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Configuration/ExtraSettings.h"
#include "Configuration/FileConfiguration.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ControlId.h"
#include "GUI/FileMessages.h"
#include "GUI/MessageBoxes.h"
#include "GUI/PresetsDialog.h"
#include "GUI/SettingsDialog.h"
#include "GUI/SettingsSaver.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "Support/WindowFakes.h"

namespace {

using Change = Configuration::IConfiguration::Change;

void WriteBytes(const std::string& path, const std::string& contents)
{
    Platform::File file;
    file.Open(path, Platform::File::Mode::CreateTruncate);
    file.Write(contents.data(), contents.size());
}

std::string Contents(const std::string& path)
{
    std::string contents;
    Platform::File::ReadAll(path, contents);
    return contents;
}

class SettingsSaverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GUI::MessageBoxes::SetPresenterForTesting(
            [this](QWidget*, QMessageBox::Icon, const QString&, const QString& text) {
                boxes.push_back(text);
                return int(QMessageBox::Ok);
            });
    }
    void TearDown() override { GUI::MessageBoxes::SetPresenterForTesting({}); }

    std::string folder = Tests::MakeTempFolder("SettingsSaver");
    Configuration::FileConfiguration configuration{folder + "Ticova.conf"};
    Configuration::ExtraSettings extras{folder + "Ticova.extras"};
    std::vector<QString> boxes;
    Tests::RecordingLog log;
};

// A preset is on disk as soon as the event loop turns; a run of tempo changes is one save, a
// pause after the last of them.
TEST_F(SettingsSaverTest, PresetsAtOnceTempoAfterAPause)
{
    GUI::SettingsSaver saver(configuration, extras);
    Configuration::ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"Groove");
    ASSERT_TRUE(configuration.AddPreset(preset));
    EXPECT_TRUE(saver.Waiting());
    QCoreApplication::processEvents();
    EXPECT_FALSE(saver.Waiting());
    EXPECT_NE(Contents(folder + "Ticova.conf").find("Preset0 = Groove"), std::string::npos);

    QElapsedTimer clock;
    clock.start();
    qint64 lastChange = 0;
    for (int bpm = 100; bpm <= 140; bpm += 10) {
        configuration.GetCurrentSettings().Bpm = static_cast<std::uint32_t>(bpm);
        configuration.NoteChange(Change::TempoOrVolume);
        lastChange = clock.elapsed();
        QTest::qWait(100);
    }
    EXPECT_EQ(Contents(folder + "Ticova.conf").find("Bpm = 140"), std::string::npos);
    while (saver.Waiting() && clock.elapsed() < 5000)
        QTest::qWait(20);
    EXPECT_GE(clock.elapsed() - lastChange, GUI::SettingsSaver::PauseMs - 50);
    EXPECT_NE(Contents(folder + "Ticova.conf").find("Bpm = 140"), std::string::npos);

    // The second file, after each change of its settings.
    extras.SetFlag("flash.mute", true);
    QCoreApplication::processEvents();
    EXPECT_NE(Contents(folder + "Ticova.extras").find("flash.mute = true"), std::string::npos);
}

// A save that fails (here the temporary cannot be made, as on a full disk) is told once, with
// the folder and the reason, until a save succeeds again.
TEST_F(SettingsSaverTest, AFailedSaveIsToldOnceUntilOneSucceeds)
{
    GUI::SettingsSaver saver(configuration, extras);
    std::filesystem::create_directory(folder + "Ticova.extras.tmp");
    extras.SetFlag("flash.mute", true);
    QTest::qWait(10);
    extras.SetFlag("flash.mute", false);
    QTest::qWait(10);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains(QString::fromStdString(folder.substr(0, folder.size() - 1))));
    EXPECT_TRUE(extras.Changed());
    std::filesystem::remove(folder + "Ticova.extras.tmp");
    extras.SetFlag("flash.mute", true);
    QTest::qWait(10);
    EXPECT_FALSE(extras.Changed());
    std::filesystem::create_directory(folder + "Ticova.extras.tmp");
    extras.SetFlag("flash.mute", false);
    QTest::qWait(10);
    EXPECT_EQ(boxes.size(), 2u);
}

// A file the reader stopped in (a line too long for it) is told at start: the line, and the
// backup that holds the whole file.
TEST_F(SettingsSaverTest, ReadingThatStoppedIsToldWithTheLineAndTheBackup)
{
    const std::string path = folder + "Ticova.conf";
    const std::string original = "\xEF\xBB\xBF"
                                 "Bpm = 90\nFile1 = " +
        std::string(300 * 3, 'x') + "\nPreset0 = Hidden\n";
    WriteBytes(path, original);
    configuration.Load();
    GUI::FileMessages::TellReadProblems(nullptr, configuration.LoadReport(), extras.LoadReport());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("at line 2")));
    EXPECT_TRUE(boxes[0].contains(QString::fromStdString(path + ".bak")));
    EXPECT_EQ(Contents(path + ".bak"), original);

    // A later start, with the file the first one saved, leaves that backup whole.
    ASSERT_TRUE(configuration.Save());
    Configuration::FileConfiguration later(path);
    EXPECT_TRUE(later.Load());
    ASSERT_TRUE(later.Save());
    EXPECT_EQ(Contents(path + ".bak"), original);
    boxes.clear();
    GUI::FileMessages::TellReadProblems(nullptr, later.LoadReport(), extras.LoadReport());
    EXPECT_TRUE(boxes.empty());
}

// The child of the test below: the window, its settings dialog and the saver as the program has
// them, on a folder of its own. It saves a preset through the dialog, then changes the tempo, and
// says when it did; the parent kills it at those moments.
TEST(CrashSafeSaving, Child)
{
    const char* folder = std::getenv("TICOVA_KILLED_CHILD_FOLDER");
    if (!folder)
        GTEST_SKIP() << "run by KilledAfterAPresetIsSavedLosesNothing";
    std::filesystem::remove_all(Tests::DataFolder());  // it would stay after the kill
    Platform::SetDataFolderForTesting(folder);
    // The second run saves the preset again: "overwrite?" is answered yes.
    GUI::MessageBoxes::SetPresenterForTesting(
        [](QWidget*, QMessageBox::Icon, const QString&, const QString&) { return int(QMessageBox::Yes); });
    Configuration::FileConfiguration configuration;
    configuration.Load();
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    extras.Load();
    GUI::SettingsSaver saver(configuration, extras);
    Tests::FakeMetronome metronome;
    GUI::VisualBeatIndicator indicator;
    GUI::ApplicationWindow window(metronome, configuration, indicator);
    GUI::SettingsDialog settings(configuration, [&window] { window.ReloadSettings(); });
    ASSERT_TRUE(window.Initialise());
    window.show();
    saver.SetWindow(&window);

    QDialog* dialog = settings.Open(&window, 3);
    dialog->show();
    settings.Presets().ControlAs<QLineEdit>(GUI::PresetsDialog::NameEditId)->setText(QStringLiteral("Killed"));
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (GUI::ControlId(button) == GUI::PresetsDialog::SaveId)
            QTest::mouseClick(button, Qt::LeftButton);
    QCoreApplication::processEvents();
    std::printf("preset saved\n");
    std::fflush(stdout);
    settings.Close();
    window.RequestTempo(133);
    std::printf("tempo changed\n");
    std::fflush(stdout);
    for (;;)
        QTest::qWait(100);
}

// Runs the child until it says `line`, waits `after`, then kills it with SIGKILL.
void KillChildAfter(const std::string& folder, const char* line, std::chrono::milliseconds after)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TICOVA_KILLED_CHILD_FOLDER"), QString::fromStdString(folder));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=CrashSafeSaving.Child")});
    ASSERT_TRUE(child.waitForStarted(5000));
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    while (!output.contains(line) && clock.elapsed() < 20000 && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        output += child.readAllStandardOutput();
    }
    ASSERT_TRUE(output.contains(line)) << output.toStdString() << child.readAllStandardError().toStdString();
    std::this_thread::sleep_for(after);
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
}

// kill -9 at any moment after a preset is saved through the window loses nothing; nor does it
// lose a tempo changed a pause before.
TEST(CrashSafeSaving, KilledAfterAPresetIsSavedLosesNothing)
{
    const std::string folder = Tests::MakeTempFolder("KilledChild");
    KillChildAfter(folder, "preset saved", std::chrono::milliseconds(0));
    Configuration::FileConfiguration first(folder + "Ticova.conf");
    EXPECT_TRUE(first.Load());
    EXPECT_TRUE(first.IsPreset(u"Killed"));

    KillChildAfter(folder, "tempo changed", std::chrono::milliseconds(GUI::SettingsSaver::PauseMs + 800));
    Configuration::FileConfiguration second(folder + "Ticova.conf");
    EXPECT_TRUE(second.Load());
    EXPECT_TRUE(second.IsPreset(u"Killed"));
    EXPECT_EQ(second.GetCurrentSettings().Bpm, 133u);
}

}  // namespace
