#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "Configuration/FileConfiguration.h"
#include "GUI/AboutDialog.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/LanguageDialog.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/TempoInput.h"
#include "GUI/QtTranslations.h"
#include "GUI/SettingsDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/Text.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "Support/WindowFakes.h"
#include "System/ILanguage.h"
#include "System/Language.h"
#include "System/LanguageSetUp.h"

namespace {

using GUI::LanguageDialog;

const std::string Bom = "\xEF\xBB\xBF";

void WriteFile(const std::string& path, const std::string& contents)
{
    std::ofstream file(path, std::ios::binary);
    file << contents;
}

std::string Header(const std::string& english, const std::string& native)
{
    return Bom + "@lng\n[Language]\nLangEnglish = " + english + "\nLanguage = " + native + "\n";
}

std::vector<QString> Items(QComboBox* list)
{
    std::vector<QString> items;
    for (int i = 0; i < list->count(); ++i)
        items.push_back(list->itemText(i));
    return items;
}

class LanguageDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        configuration = std::make_unique<Configuration::FileConfiguration>(Tests::MakeTempFolder("language-dialog") +
                                                                           "Ticova.conf");
        folder = Tests::MakeTempFolder("language-dialog-lang");
        System::SetLanguageFolderForTesting(folder);
        dialog = std::make_unique<LanguageDialog>(
            *configuration, [this](const char16_t* name) { changes.push_back(QString::fromUtf16(name)); });
    }

    void TearDown() override
    {
        dialog.reset();
        System::SetCurrentLanguage(nullptr);
        System::SetLanguageFolderForTesting("");
    }

    void SetLanguage(const char16_t* name)
    {
        Platform::Text::Copy(configuration->GetLanguage(), Configuration::IConfiguration::LanguageCapacity, name);
    }

    void Choose(const QString& text)
    {
        QComboBox* list = dialog->List();
        list->setCurrentIndex(list->findText(text));
        ASSERT_GE(list->currentIndex(), 0) << text.toStdString();
    }

    std::unique_ptr<Configuration::FileConfiguration> configuration;
    std::string folder;
    std::unique_ptr<LanguageDialog> dialog;
    std::vector<QString> changes;
};

TEST_F(LanguageDialogTest, CodesAndNames)
{
    EXPECT_EQ(LanguageDialog::LanguageCode(u"en"), 0x656Eu);
    EXPECT_EQ(LanguageDialog::LanguageCode(u"de.lng"), 0x6465u);
    EXPECT_EQ(LanguageDialog::LanguageCode(u"deu"), 0x646575u);
    EXPECT_EQ(LanguageDialog::CodeName(0x646575u), u"deu");
    EXPECT_EQ(LanguageDialog::CodeName(0), u"");
}

TEST_F(LanguageDialogTest, ListsTheLanguageFilesSortedAfterTheirNames)
{
    WriteFile(folder + "fr.lng", Header("French", "Français"));
    WriteFile(folder + "de.lng", Header("German", "Deutsch"));
    WriteFile(folder + "deu.lng", Header("German", "Deutsch (Schweiz)"));
    WriteFile(folder + "german.lng", Header("Long", "Name"));                      // ten characters: left out
    WriteFile(folder + "xx.lng", Bom + "@lng\n[Language]\nLangEnglish = Half\n");  // no own name
    WriteFile(folder + "yy.lng", "not a language file\n");
    WriteFile(folder + "a.b.lng", Header("Dotted", "Dotted"));  // its code names another file
    WriteFile(folder + "es.txt", Header("Spanish", "Español"));
    Tests::RecordingLog log;
    System::SetLogForTesting(&log);
    dialog->Open(nullptr);
    System::SetLogForTesting(nullptr);
    EXPECT_EQ(Items(dialog->List()),
              (std::vector<QString>{QStringLiteral("English (English)"), QStringLiteral("French (Français)"),
                                    QStringLiteral("German (Deutsch (Schweiz))"), QStringLiteral("German (Deutsch)")}));
    // The language in use (the built-in one) is selected.
    EXPECT_EQ(dialog->List()->currentText(), QStringLiteral("English (English)"));
    EXPECT_EQ(dialog->List()->itemData(2).toUInt(), 0x646575u);

    // A file language in use is selected instead.
    SetLanguage(u"fr");
    dialog->Open(nullptr);
    EXPECT_EQ(dialog->List()->currentText(), QStringLiteral("French (Français)"));
}

// The user's own folder and the system's data folders are listed together; a file of the user's
// hides one of the same name further on.
TEST_F(LanguageDialogTest, ListsTheUsersAndTheSystemsFilesOnce)
{
    System::SetLanguageFolderForTesting("");
    std::filesystem::create_directories(folder + "home/Ticova/Lang");
    std::filesystem::create_directories(folder + "system/ticova/Lang");
    WriteFile(folder + "home/Ticova/Lang/eo.lng", Header("Esperanto", "Mia"));
    WriteFile(folder + "system/ticova/Lang/eo.lng", Header("Esperanto", "Sistema"));
    WriteFile(folder + "system/ticova/Lang/it.lng", Header("Italian", "Italiano"));
    const char* oldHome = std::getenv("XDG_DATA_HOME");
    const char* oldDirs = std::getenv("XDG_DATA_DIRS");
    const std::string savedHome = oldHome ? oldHome : "", savedDirs = oldDirs ? oldDirs : "";
    ::setenv("XDG_DATA_HOME", (folder + "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (folder + "system").c_str(), 1);
    dialog->Open(nullptr);
    oldHome ? ::setenv("XDG_DATA_HOME", savedHome.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    oldDirs ? ::setenv("XDG_DATA_DIRS", savedDirs.c_str(), 1) : ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(Items(dialog->List()),
              (std::vector<QString>{QStringLiteral("English (English)"), QStringLiteral("Esperanto (Mia)"),
                                    QStringLiteral("Italian (Italiano)")}));
}

TEST_F(LanguageDialogTest, WithoutTheFolderOnlyEnglish)
{
    System::SetLanguageFolderForTesting(folder + "missing/");
    Tests::RecordingLog log;
    System::SetLogForTesting(&log);
    dialog->Open(nullptr);
    System::SetLogForTesting(nullptr);
    EXPECT_EQ(Items(dialog->List()), (std::vector<QString>{QStringLiteral("English (English)")}));
    EXPECT_EQ(dialog->List()->currentIndex(), 0);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(LanguageDialogTest, AFolderThatCannotBeSearchedIsLogged)
{
    WriteFile(folder + "plain", "a file where the folder should be");
    System::SetLanguageFolderForTesting(folder + "plain/");
    Tests::RecordingLog log;
    System::SetLogForTesting(&log);
    dialog->Open(nullptr);
    System::SetLogForTesting(nullptr);
    EXPECT_EQ(Items(dialog->List()), (std::vector<QString>{QStringLiteral("English (English)")}));
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].level, 3);
    EXPECT_NE(log.entries[0].text.find("Error calling opendir"), std::string::npos) << log.entries[0].text;
    EXPECT_NE(log.entries[0].text.find("GUI::LanguageDialog::HandleFindFileError"), std::string::npos);
}

TEST_F(LanguageDialogTest, OkSendsOnlyAChange)
{
    WriteFile(folder + "de.lng", Header("German", "Deutsch"));
    SetLanguage(u"de");
    dialog->Open(nullptr);
    dialog->Apply();
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(QString::fromUtf16(configuration->GetLanguage()), QStringLiteral("de"));

    // English empties the configured name.
    Choose(QStringLiteral("English (English)"));
    for (QPushButton* button : dialog->Window()->findChildren<QPushButton*>())
        if (GUI::ControlId(button) == LanguageDialog::OkId)
            QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], QString());
    EXPECT_EQ(configuration->GetLanguage()[0], u'\0');
    EXPECT_FALSE(dialog->Window()->isVisible());

    // Cancel changes nothing.
    dialog->Open(nullptr);
    Choose(QStringLiteral("German (Deutsch)"));
    dialog->Window()->reject();
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(configuration->GetLanguage()[0], u'\0');
    // OK on German names it.
    dialog->Open(nullptr);
    Choose(QStringLiteral("German (Deutsch)"));
    dialog->Apply();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1], QStringLiteral("de"));
    EXPECT_EQ(QString::fromUtf16(configuration->GetLanguage()), QStringLiteral("de"));
}

// ---- With the main window ---------------------------------------------------------------

class SettingsWithMainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GUI::MessageBoxes::SetPresenterForTesting(
            [](QWidget*, QMessageBox::Icon, const QString&, const QString&) { return int(QMessageBox::Ok); });
        configuration = std::make_unique<Configuration::FileConfiguration>(Tests::MakeTempFolder("settings-window") +
                                                                           "Ticova.conf");
        indicator = std::make_unique<GUI::VisualBeatIndicator>();
        window = std::make_unique<GUI::ApplicationWindow>(metronome, *configuration, *indicator);
        ASSERT_TRUE(window->Initialise());
        settings = std::make_unique<GUI::SettingsDialog>(*configuration, [this] { window->ReloadSettings(); });
        language = std::make_unique<LanguageDialog>(*configuration,
                                                    [this](const char16_t* name) { window->ChangeLanguage(name); });
    }

    void TearDown() override
    {
        settings.reset();
        language.reset();
        window.reset();
        indicator.reset();
        System::SetLanguageFolderForTesting("");
        GUI::MessageBoxes::SetPresenterForTesting({});
    }

    Tests::FakeMetronome metronome;
    std::unique_ptr<Configuration::FileConfiguration> configuration;
    std::unique_ptr<GUI::VisualBeatIndicator> indicator;
    std::unique_ptr<GUI::ApplicationWindow> window;
    std::unique_ptr<GUI::SettingsDialog> settings;
    std::unique_ptr<LanguageDialog> language;
};

TEST_F(SettingsWithMainWindowTest, LoadingAPresetShowsItsTempoAndVolumeAtOnce)
{
    Configuration::ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"Slow");
    preset.Bpm = 72;
    preset.GlobalVolume = 35;
    ASSERT_TRUE(configuration->AddPreset(preset));
    ASSERT_EQ(window->ReadOut().Tempo(), 120);
    settings->Open(window.get(), 3)->show();
    settings->Presets().DoubleClick(0, false);
    // While the dialog is still open.
    EXPECT_EQ(window->ReadOut().Tempo(), 72);
    EXPECT_EQ(window->TempoSlider()->value(), GUI::TempoInput::SliderPosition(72));
    EXPECT_EQ(window->VolumeSlider()->value(), 35);
    settings->Close();
}

TEST_F(SettingsWithMainWindowTest, ChosenLanguageTranslatesTheWindowAndTheSettingsPages)
{
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    QPushButton* tap = window->TapButton();
    language->Open(window.get());
    QComboBox* list = language->List();
    list->setCurrentIndex(list->findText(QStringLiteral("German (Deutsch)")));
    language->Apply();
    language->Close();
    // The same window, in German.
    EXPECT_EQ(window->TapButton(), tap);
    EXPECT_EQ(tap->text(), QStringLiteral("Tippen"));

    QDialog* dialog = settings->Open(window.get(), 0);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(settings->Tabs()->tabText(1), QStringLiteral("Klangeinstellungen"));
    EXPECT_EQ(settings->Options().ControlAs<QRadioButton>(1021)->text(), QStringLiteral("&Einfacher Schlag"));
    EXPECT_EQ(settings->Presets().ControlAs<QPushButton>(1064)->text(), QStringLiteral("&Aktualisieren"));
    EXPECT_EQ(settings->SoundSetup().InstrumentList(0)->itemText(0),
              QString::fromUtf16(System::CurrentLanguage().GetInstrumentName(0)));
    QPushButton* close = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        if (GUI::ControlId(button) == GUI::SettingsDialog::CloseId)
            close = button;
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("Schließen"));
    settings->Close();

    // The languages are named in German, and so is the About box (the licence stays as it holds).
    language->Open(window.get());
    EXPECT_EQ(Items(language->List()),
              (std::vector<QString>{QStringLiteral("Deutsch (Deutsch)"), QStringLiteral("Englisch (English)"),
                                    QStringLiteral("Französisch (Français)")}));
    language->Close();
    {
        GUI::AboutDialog about(window.get());
        EXPECT_EQ(about.windowTitle(), QStringLiteral("Über Ticova"));
        EXPECT_TRUE(
            about.findChild<QLabel*>(QStringLiteral("AboutTitle"))->text().contains(QStringLiteral("Ein Metronom")));
        EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("AboutLicenceHeading"))->text(),
                  QStringLiteral("Lizenzvereinbarung"));
    }

    // Qt's own buttons and dialogs follow the chosen language, and go back to English with it.
    const auto qtCancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    EXPECT_EQ(qtCancel(), QStringLiteral("Abbrechen"));
    window->ChangeLanguage(u"fr");
    EXPECT_EQ(qtCancel(), QStringLiteral("Annuler"));
    window->ChangeLanguage(u"");
    EXPECT_EQ(qtCancel(), QStringLiteral("Cancel"));
}

// A language file named by its code, or by any name with its LangEnglish entry, gives Qt's locale.
TEST(QtTranslations, LocaleComesFromTheFileNameOrTheEnglishName)
{
    EXPECT_EQ(GUI::QtTranslations::LocaleOf(QStringLiteral("de"), {}).language(), QLocale::German);
    EXPECT_EQ(GUI::QtTranslations::LocaleOf(QStringLiteral("pt_BR"), {}).territory(), QLocale::Brazil);
    EXPECT_EQ(GUI::QtTranslations::LocaleOf(QStringLiteral("Mine"), QStringLiteral("french")).language(),
              QLocale::French);
    EXPECT_EQ(GUI::QtTranslations::LocaleOf(QStringLiteral("Mine"), QStringLiteral("Klingon")).language(), QLocale::C);
}

}  // namespace
