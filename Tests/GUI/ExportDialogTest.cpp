#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <unistd.h>

#include <memory>

#include "Configuration/ExtraSettings.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/ExportDialog.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/SoundFontSynth.h"
#include "Support/TestEnvironment.h"
#include "Support/WindowFakes.h"
#include "System/ILanguage.h"

namespace {

// The two commands beyond the language files' menu list take their own texts, and the items
// after them keep theirs when a language is applied.
TEST(ExportDialogTest, NewMenuItemsDoNotShiftTheLanguagesMenuTexts)
{
    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    GUI::VisualBeatIndicator indicator;
    GUI::ApplicationWindow window(metronome, configuration, indicator);
    ASSERT_TRUE(window.Initialise());
    GUI::LanguageTexts::ApplyMenuTexts(window.menuBar(), System::CurrentLanguage());
    QAction* exportAction = window.CommandAction(GUI::ApplicationWindow::ExportClickTrack);
    QAction* soundFont = window.CommandAction(GUI::ApplicationWindow::ChooseSoundFont);
    ASSERT_TRUE(exportAction && soundFont);
    EXPECT_EQ(exportAction->text(), QStringLiteral("Export &Click Track..."));
    EXPECT_EQ(soundFont->text(), QStringLiteral("Sound&Font..."));
    EXPECT_TRUE(window.CommandAction(GUI::ApplicationWindow::Exit)->text().startsWith(QStringLiteral("E&xit")));
    EXPECT_TRUE(window.CommandAction(GUI::ApplicationWindow::AudioFiles)->text().startsWith(QStringLiteral("&Audio")));
}

TEST(ExportDialogTest, WritesTheTrackKeepsTheChoicesAndSaysHowFast)
{
    if (access(Platform::SoundFontSynth::Instance().SoundFontFile().c_str(), R_OK) != 0)
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    std::vector<QString> texts;
    GUI::MessageBoxes::SetPresenterForTesting(
        [&texts](QWidget*, QMessageBox::Icon, const QString&, const QString& text) {
            texts.push_back(text);
            return int(QMessageBox::Ok);
        });
    std::string folder = Tests::MakeTempFolder("export-dialog");
    folder.pop_back();  // its trailing '/'
    Configuration::ExtraSettings extras(folder + "/Ticova.extras");
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = 0;
    GUI::ExportDialog dialog(settings, extras);
    dialog.FileEdit()->setText(QString::fromStdString(folder + "/two-bars.flac"));
    dialog.AmountBox()->setValue(2);
    dialog.UnitBox()->setCurrentIndex(0);
    EXPECT_TRUE(dialog.Export());
    EXPECT_EQ(access((folder + "/two-bars.flac").c_str(), R_OK), 0);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("times real time"))) << texts[0].toStdString();
    EXPECT_EQ(extras.Text("export.folder"), folder);
    EXPECT_EQ(extras.Number("export.amount", 0, 0, 1'000'000), 200);

    // A file that cannot be written is said so, and the dialog's choices stay.
    dialog.FileEdit()->setText(QString::fromStdString(folder + "/no/such/folder.wav"));
    EXPECT_FALSE(dialog.Export());
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[1].contains(QStringLiteral("could not be written")));
    GUI::MessageBoxes::SetPresenterForTesting({});
}

}  // namespace
