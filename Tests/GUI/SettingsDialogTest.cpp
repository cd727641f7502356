#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "Configuration/FileConfiguration.h"
#include "GUI/MessageBoxes.h"
#include "GUI/QtText.h"
#include "GUI/SettingsDialog.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/UpDownControl.h"
#include "Platform/Text.h"
#include "Support/TestEnvironment.h"
#include "Support/WindowFakes.h"
#include "System/DefaultLanguage.h"
#include "System/Language.h"

namespace {

using GUI::AudioFilesDialog;
using GUI::OptionsDialog;
using GUI::PresetsDialog;
using GUI::SettingsDialog;
using GUI::SoundSetupDialog;

QString English(const char16_t* text)
{
    return QString::fromUtf16(text);
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        configuration = std::make_unique<Configuration::FileConfiguration>(Tests::MakeTempFolder("settings-dialog") +
                                                                           "Ticova.conf");
        GUI::MessageBoxes::SetPresenterForTesting(
            [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text) {
                boxes.push_back({icon, title, text});
                return int(answer);
            });
        dialog = std::make_unique<SettingsDialog>(*configuration, [this] { ++replaced; });
        dialog->AudioFiles().SetFileCheckForTesting([this](const char16_t* path) {
            checked.push_back(QString::fromUtf16(path));
            auto found = checkResults.find(QString::fromUtf16(path));
            return found == checkResults.end() ? 0 : found->second;
        });
    }

    void TearDown() override
    {
        dialog.reset();
        GUI::MessageBoxes::SetPresenterForTesting({});
    }

    Configuration::ConfigurationData& Live() { return configuration->GetCurrentSettings(); }

    QDialog* Open(int tab)
    {
        QDialog* window = dialog->Open(nullptr, tab);
        window->show();
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return window;
    }

    template <class T>
    T* Options(int id)
    {
        return dialog->Options().ControlAs<T>(id);
    }
    QLineEdit* OptionsEdit(int id) { return Options<QLineEdit>(id); }
    GUI::UpDownControl* Spin(int editId) { return Options<GUI::UpDownControl>(editId + 1); }

    void Type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    bool PressOk()
    {
        for (QPushButton* button : dialog->Window()->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
            if (GUI::ControlId(button) == SettingsDialog::OkId)
                QTest::mouseClick(button, Qt::LeftButton);
        return dialog->Window()->result() == QDialog::Accepted && !dialog->Window()->isVisible();
    }

    // Ends the step sequencer as soon as it runs (Cancel), keeping the tempo it was opened with.
    void CancelStepSequencerWhenShown()
    {
        QTimer::singleShot(0, [this] {
            if (auto* sequencer = qobject_cast<GUI::StepSequencerDialog*>(QApplication::activeModalWidget())) {
                sequencerTempos.push_back(sequencer->WorkingSettings().Bpm);
                sequencerParents.push_back(sequencer->parentWidget());
                sequencer->Cancel();
            }
        });
    }

    void AddPreset(const char16_t* name, const char16_t* description, std::uint32_t bpm)
    {
        Configuration::ConfigurationData preset;
        Platform::Text::Copy(preset.PresetName, name);
        Platform::Text::Copy(preset.Description, description);
        preset.Bpm = bpm;
        ASSERT_TRUE(configuration->AddPreset(preset));
    }

    std::unique_ptr<Configuration::FileConfiguration> configuration;
    std::unique_ptr<SettingsDialog> dialog;
    std::vector<Tests::ShownBox> boxes;
    std::vector<QString> checked;
    std::map<QString, int> checkResults;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    std::vector<std::uint32_t> sequencerTempos;
    std::vector<QWidget*> sequencerParents;
    int replaced = 0;
};

// ---- Information line and hover ---------------------------------------------------------

TEST_F(SettingsDialogTest, InformationLineFollowsTheMouse)
{
    Open(0);
    System::DefaultLanguage english;
    QTest::mouseMove(Options<QRadioButton>(OptionsDialog::BeatsPerBarRadioId), QPoint(3, 3));
    EXPECT_EQ(dialog->InformationText(), English(english.GetInformation(4)));
    QTest::mouseMove(OptionsEdit(OptionsDialog::PatternEditId), QPoint(3, 3));
    EXPECT_EQ(dialog->InformationText(), English(english.GetInformation(8)));
    QTest::mouseMove(Spin(OptionsDialog::WarmdownEditId), QPoint(2, 2));
    EXPECT_EQ(dialog->InformationText(), English(english.GetInformation(32)));
    // The page's own background empties the line.
    QWidget* page = dialog->Options().Window();
    QTest::mouseMove(page, QPoint(page->width() - 3, page->height() - 3));
    EXPECT_EQ(dialog->InformationText(), QString());
    EXPECT_EQ(dialog->LastControl, 0);
    // A group box has no text of its own; neither has a right-aligned label.
    QTest::mouseMove(OptionsEdit(OptionsDialog::FromEditId), QPoint(3, 3));
    EXPECT_FALSE(dialog->InformationText().isEmpty());
    QTest::mouseMove(Options<QLabel>(1040), QPoint(2, 2));
    EXPECT_EQ(dialog->InformationText(), QString());
    // The dialog's own buttons and the tab strip.
    QTest::mouseMove(dialog->Tabs()->tabBar(), QPoint(5, 5));
    EXPECT_EQ(dialog->InformationText(), English(english.GetInformation(0)));
    // Switching tabs forgets the control, so the same control is reported again.
    dialog->ShowTab(1);
    EXPECT_EQ(dialog->LastControl, 0);
    QTest::mouseMove(dialog->SoundSetup().ControlAs<QComboBox>(1235), QPoint(3, 3));
    EXPECT_EQ(dialog->InformationText(), English(english.GetInformation(33)));
    QTest::mouseMove(dialog->SoundSetup().ControlAs<QSlider>(1270), QPoint(3, 3));
    EXPECT_EQ(dialog->InformationText(), English(english.GetInformation(36)));
}

TEST_F(SettingsDialogTest, CtrlTabTurnsThePagesWhereverTheFocusIs)
{
    QDialog* window = Open(0);
    for (QPushButton* button : window->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        if (GUI::ControlId(button) == SettingsDialog::OkId)
            button->setFocus();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 1);
    // Back past the first page to the last; once per key from a control of a page too.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), dialog->Tabs()->count() - 1);
    dialog->ShowTab(0);
    OptionsEdit(OptionsDialog::FromEditId)->setFocus();
    QTest::keyClick(OptionsEdit(OptionsDialog::FromEditId), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 1);
}

TEST_F(SettingsDialogTest, ALanguageFileOfOnlyMenusLeavesEveryControlItsText)
{
    System::Language menusOnly;
    ASSERT_TRUE(menusOnly.LoadText("\xEF\xBB\xBF@lng\n[Language]\nLangEnglish = T\nLanguage = T\n"
                                   "[Menu]\n1 = &Datei\n2 = &Extras\n3 = &Hilfe\n"));
    System::SetCurrentLanguage(&menusOnly);
    QDialog* window = Open(0);
    int withText = 0;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const int id = GUI::ControlId(widget);
        // The information line shows what the mouse is over, wherever an earlier test left it.
        if (id < System::ILanguage::FirstControlId || id > System::ILanguage::LastControlId ||
            id == SettingsDialog::InformationId)
            continue;
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            text = group->title();
        else
            continue;
        ++withText;
        EXPECT_FALSE(text.isEmpty()) << id;
    }
    EXPECT_GT(withText, 20);
    System::SetCurrentLanguage(nullptr);
}

TEST_F(SettingsDialogTest, InformationNumbersOfTheTable)
{
    EXPECT_EQ(SettingsDialog::InformationNumber(1205), 0);
    EXPECT_EQ(SettingsDialog::InformationNumber(1072), 2);
    EXPECT_EQ(SettingsDialog::InformationNumber(1241), 33);
    EXPECT_EQ(SettingsDialog::InformationNumber(1242), 34);
    EXPECT_EQ(SettingsDialog::InformationNumber(1277), 36);
    EXPECT_EQ(SettingsDialog::InformationNumber(1278), -1);  // the swatches have none
    EXPECT_EQ(SettingsDialog::InformationNumber(1317), 38);
    EXPECT_EQ(SettingsDialog::InformationNumber(1062), 42);
    EXPECT_EQ(SettingsDialog::InformationNumber(1061), -1);
    EXPECT_EQ(SettingsDialog::InformationNumber(1073), -1);
}

TEST_F(SettingsDialogTest, EveryTrackbarTakesTheFocusUnderTheMouse)
{
    Open(1);
    for (int id : {1242, 1259, 1277}) {
        auto* slider = dialog->SoundSetup().ControlAs<QSlider>(id);
        ASSERT_NE(slider, nullptr);
        QTest::mouseMove(slider, QPoint(4, 4));
        EXPECT_TRUE(slider->hasFocus()) << id;
    }
    // A list does not.
    QTest::mouseMove(dialog->SoundSetup().ControlAs<QComboBox>(1230), QPoint(4, 4));
    EXPECT_FALSE(dialog->SoundSetup().ControlAs<QComboBox>(1230)->hasFocus());
}

// ---- Filtered edits ---------------------------------------------------------------------

TEST_F(SettingsDialogTest, FilteredEditsTakeOnlyTheirCharacters)
{
    Live().SpeedTrainer = 1;
    QDialog* window = Open(0);
    QLineEdit* from = OptionsEdit(OptionsDialog::FromEditId);
    Type(from, QStringLiteral("40"));
    EXPECT_EQ(from->text(), QStringLiteral("40"));
    // Up and Down do nothing: no spin step, no text change.
    QTest::keyClick(from, Qt::Key_Up);
    QTest::keyClick(from, Qt::Key_Down);
    QTest::keyClick(from, Qt::Key_PageUp);
    EXPECT_EQ(from->text(), QStringLiteral("40"));
    EXPECT_EQ(Spin(OptionsDialog::FromEditId)->Position(), 40);
    // A rejected character never arrives and shows the balloon with the percent hint.
    const int balloons = GUI::ControlSubClasser::BalloonCount();
    QTest::keyClick(from, Qt::Key_A);
    QTest::keyClick(from, Qt::Key_Minus);
    EXPECT_EQ(from->text(), QStringLiteral("40"));
    EXPECT_EQ(GUI::ControlSubClasser::BalloonCount(), balloons + 2);
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("percent (%)"))) << QToolTip::text().toStdString();
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Unacceptable Character")));
    // Backspace, Home, Delete and the accepted characters edit as usual.
    QTest::keyClicks(from, QStringLiteral(".5%"));
    QTest::keyClick(from, Qt::Key_Backspace);
    QTest::keyClick(from, Qt::Key_Home);
    QTest::keyClick(from, Qt::Key_Delete);
    EXPECT_EQ(from->text(), QStringLiteral("0.5"));
    // Enter neither presses OK nor reaches the dialog.
    QTest::keyClick(from, Qt::Key_Return);
    QTest::keyClick(from, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->result(), 0);
    // Tab moves on.
    QTest::keyClick(from, Qt::Key_Tab);
    EXPECT_FALSE(from->hasFocus());

    // The other edits give their own hints.
    QLineEdit* duration = OptionsEdit(OptionsDialog::DurationEditId);
    duration->setFocus();
    QTest::keyClick(duration, Qt::Key_Percent);  // allowed: the six share one character set
    QTest::keyClick(duration, Qt::Key_Plus);
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("period (.)")));
    Live().BeatType = 2;
    dialog->Options().LoadFromSettings();
    QLineEdit* pattern = OptionsEdit(OptionsDialog::PatternEditId);
    Type(pattern, QStringLiteral("3+3x"));
    EXPECT_EQ(pattern->text(), QStringLiteral("3+3"));
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("plus (+)")));
}

// ---- Options page -----------------------------------------------------------------------

TEST_F(SettingsDialogTest, TrainerPercentagesAndDurations)
{
    Live().SpeedTrainer = 1;
    Open(0);
    QLineEdit* from = OptionsEdit(OptionsDialog::FromEditId);
    Type(from, QStringLiteral("55.5%"));
    EXPECT_EQ(Spin(OptionsDialog::FromEditId)->Position(), 55);
    Spin(OptionsDialog::FromEditId)->Step(1);
    EXPECT_EQ(from->text(), QStringLiteral("56.00%"));
    Type(from, QStringLiteral("55.5%"));

    // Above the top the value becomes the top at once.
    QLineEdit* to = OptionsEdit(OptionsDialog::ToEditId);
    Type(to, QStringLiteral("250"));
    EXPECT_EQ(to->text(), QStringLiteral("100.00%"));
    EXPECT_EQ(Spin(OptionsDialog::ToEditId)->Position(), 100);
    QLineEdit* duration = OptionsEdit(OptionsDialog::DurationEditId);
    Type(duration, QStringLiteral("2000"));
    EXPECT_EQ(duration->text(), QStringLiteral("1000.00"));
    // A spin click writes its whole position, dropping a typed fraction.
    QLineEdit* warmup = OptionsEdit(OptionsDialog::WarmupEditId);
    Type(warmup, QStringLiteral("2.75"));
    Spin(OptionsDialog::WarmupEditId)->Step(-1);
    EXPECT_EQ(warmup->text(), QStringLiteral("1.00"));

    ASSERT_TRUE(PressOk());
    EXPECT_FLOAT_EQ(Live().From, 0.555f);
    EXPECT_FLOAT_EQ(Live().To, 1.0f);
    EXPECT_FLOAT_EQ(Live().Duration, 1000.0f);
    EXPECT_FLOAT_EQ(Live().Warmup, 1.0f);
}

TEST_F(SettingsDialogTest, ValuesBelowTheAcceptedRangeBecomeItsLowerEnd)
{
    Live().BeatType = 1;
    Live().SpeedTrainer = 1;
    Open(0);
    QLineEdit* bar = OptionsEdit(OptionsDialog::BeatsPerBarEditId);
    Type(bar, QStringLiteral("99"));
    OptionsEdit(OptionsDialog::FromEditId)->setFocus();
    EXPECT_EQ(bar->text(), QStringLiteral("60"));
    Type(bar, QStringLiteral("1"));
    OptionsEdit(OptionsDialog::FromEditId)->setFocus();
    EXPECT_EQ(bar->text(), QStringLiteral("2"));
    // The step and the duration cannot be zero; an empty edit is zero when saved.
    QLineEdit* step = OptionsEdit(OptionsDialog::StepEditId);
    Type(step, QStringLiteral("0"));
    OptionsEdit(OptionsDialog::FromEditId)->setFocus();
    EXPECT_EQ(step->text(), QStringLiteral("0.01%"));
    Type(step, QString());
    QLineEdit* duration = OptionsEdit(OptionsDialog::DurationEditId);
    Type(duration, QString());
    QLineEdit* warmdown = OptionsEdit(OptionsDialog::WarmdownEditId);
    Type(warmdown, QString());
    Type(bar, QString());
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(Live().BeatsPerBar, 2u);
    EXPECT_FLOAT_EQ(Live().Step, 0.0001f);
    EXPECT_FLOAT_EQ(Live().Duration, 0.01f);
    EXPECT_FLOAT_EQ(Live().Warmdown, 0.0f);  // nothing below zero to correct
}

TEST_F(SettingsDialogTest, SubdivisionListsMapToTheirValues)
{
    Live().Subdivision1 = 0;
    Live().Subdivision2 = 2;
    Open(0);
    auto* first = Options<QComboBox>(OptionsDialog::Subdivision1Id);
    auto* second = Options<QComboBox>(OptionsDialog::Subdivision2Id);
    EXPECT_EQ(first->currentText(), QStringLiteral("0"));
    EXPECT_EQ(second->currentText(), QStringLiteral("2"));
    first->setCurrentIndex(first->findText(QStringLiteral("8")));
    second->setCurrentIndex(second->findText(QStringLiteral("3")));
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(Live().Subdivision1, 8u);
    EXPECT_EQ(Live().Subdivision2, 3u);
}

TEST_F(SettingsDialogTest, BeatTypeRadiosEnableTheirControls)
{
    Open(0);
    auto enabled = [this](int id) { return dialog->Options().Control(id)->isEnabled(); };
    EXPECT_FALSE(enabled(OptionsDialog::BeatsPerBarEditId));
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::BeatsPerBarRadioId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_TRUE(enabled(OptionsDialog::BeatsPerBarEditId));
    EXPECT_TRUE(enabled(OptionsDialog::BeatsPerBarEditId + 1));
    EXPECT_FALSE(enabled(OptionsDialog::PatternEditId));
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::CustomRhythmRadioId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(enabled(OptionsDialog::BeatsPerBarEditId));
    EXPECT_TRUE(enabled(OptionsDialog::StepSequencerId));
    // The trainer's controls follow its switch.
    EXPECT_FALSE(enabled(OptionsDialog::FromEditId));
    QTest::mouseClick(Options<QCheckBox>(OptionsDialog::TrainerEnableId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_TRUE(enabled(OptionsDialog::FromEditId));
    EXPECT_TRUE(enabled(OptionsDialog::WarmdownEditId + 1));
    EXPECT_TRUE(enabled(OptionsDialog::BeepId));
    // A screen reader's toggle action checks without a click: the controls follow all the same.
    Options<QCheckBox>(OptionsDialog::TrainerEnableId)->toggle();
    EXPECT_FALSE(enabled(OptionsDialog::FromEditId));
    Options<QRadioButton>(OptionsDialog::CustomPatternRadioId)->toggle();
    EXPECT_TRUE(enabled(OptionsDialog::PatternEditId));
    EXPECT_FALSE(enabled(OptionsDialog::StepSequencerId));
    // The bar's spin writes its number into the edit, reading what was typed first.
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::BeatsPerBarRadioId), Qt::LeftButton, {}, QPoint(4, 4));
    Type(OptionsEdit(OptionsDialog::BeatsPerBarEditId), QStringLiteral("7"));
    QTest::keyClick(OptionsEdit(OptionsDialog::BeatsPerBarEditId), Qt::Key_Up);
    EXPECT_EQ(OptionsEdit(OptionsDialog::BeatsPerBarEditId)->text(), QStringLiteral("8"));
}

TEST_F(SettingsDialogTest, InvalidPatternRefusesOkOnTheOptionsTab)
{
    Platform::Text::Copy(Live().CustomPattern, u"3+2+2");
    Live().BeatType = 2;
    QDialog* window = Open(0);
    QLineEdit* pattern = OptionsEdit(OptionsDialog::PatternEditId);
    Type(pattern, QStringLiteral("3++2"));
    dialog->ShowTab(3);
    EXPECT_FALSE(PressOk());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Invalid Custom Pattern"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
    EXPECT_EQ(pattern->selectedText(), QStringLiteral("3++2"));
    EXPECT_TRUE(pattern->hasFocus());
    EXPECT_EQ(GUI::QtText::FromField(Live().CustomPattern), QStringLiteral("3+2+2"));
    // An empty pattern would play nothing: refused the same way.
    pattern->clear();
    EXPECT_FALSE(PressOk());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, QStringLiteral("Invalid Custom Pattern"));
    Type(pattern, QStringLiteral("3++2"));

    // Another beat type saves the same text unchecked.
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::SimpleBeatId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(GUI::QtText::FromField(Live().CustomPattern), QStringLiteral("3++2"));
    EXPECT_EQ(Live().BeatType, 0u);
}

TEST_F(SettingsDialogTest, CloseWritesNothing)
{
    Live().SpeedTrainer = 1;
    const Configuration::ConfigurationData before = Live();
    Open(0);
    Type(OptionsEdit(OptionsDialog::FromEditId), QStringLiteral("20"));
    QTest::mouseClick(Options<QCheckBox>(OptionsDialog::CompoundTimeId), Qt::LeftButton, {}, QPoint(4, 4));
    dialog->SoundSetup().ControlAs<QSlider>(1245)->setValue(3);
    dialog->AudioFiles().Edit(0)->setText(QStringLiteral("/tmp/none.wav"));
    for (QPushButton* button : dialog->Window()->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        if (GUI::ControlId(button) == SettingsDialog::CloseId)
            QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(dialog->Window()->isVisible());
    EXPECT_EQ(dialog->Window()->result(), QDialog::Rejected);
    EXPECT_FLOAT_EQ(Live().From, before.From);
    EXPECT_EQ(Live().CompoundTime, before.CompoundTime);
    EXPECT_EQ(Live().Volume[3], before.Volume[3]);
    EXPECT_EQ(Live().File[0][0], u'\0');
    EXPECT_EQ(Live().PresetName[0], u'\0');
}

TEST_F(SettingsDialogTest, AudioSourceWithoutFilesIsRefused)
{
    Open(3);
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_FALSE(PressOk());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("No Audio Files Selected"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 0);
    EXPECT_EQ(Live().SoundEngineType, 0u);
    // One file is enough.
    dialog->AudioFiles().Edit(11)->setText(QStringLiteral("/tmp/click.wav"));
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(Live().SoundEngineType, 1u);
    EXPECT_EQ(GUI::QtText::FromField(Live().File[11]), QStringLiteral("/tmp/click.wav"));
}

TEST_F(SettingsDialogTest, StepSequencerGetsAPreviewCopyOfThePages)
{
    Live().BeatType = 3;
    Live().Bpm = 88;
    Live().VisualIndicator = 1;
    Platform::Text::Copy(Live().CustomRhythm, u"12-1");
    Open(0);
    QTest::mouseClick(Options<QCheckBox>(OptionsDialog::CompoundTimeId), Qt::LeftButton, {}, QPoint(4, 4));
    CancelStepSequencerWhenShown();
    QTest::mouseClick(Options<QPushButton>(OptionsDialog::StepSequencerId), Qt::LeftButton);
    // The sequencer ran, over the Options page, on the preview copy.
    ASSERT_EQ(sequencerTempos.size(), 1u);
    EXPECT_EQ(sequencerTempos[0], 88u);
    EXPECT_EQ(sequencerParents[0], dialog->Options().Window());
    const Configuration::ConfigurationData& preview = dialog->Options().StepSequencerSettings();
    EXPECT_EQ(preview.CompoundTime, 1u);  // from the page, not yet in the live settings
    EXPECT_EQ(Live().CompoundTime, 0u);
    EXPECT_EQ(preview.Bpm, 88u);
    EXPECT_EQ(preview.SpeedTrainer, 5u);
    EXPECT_EQ(preview.VisualIndicator, 0u);
    EXPECT_EQ(GUI::QtText::FromField(preview.CustomRhythm), QStringLiteral("12-1"));

    // A page that refuses stops it, with its message.
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    Live().Bpm = 99;
    CancelStepSequencerWhenShown();
    QTest::mouseClick(Options<QPushButton>(OptionsDialog::StepSequencerId), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(sequencerTempos.size(), 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("No Audio Files Selected"));
    EXPECT_EQ(preview.Bpm, 88u);
    // So does a preset save.
    dialog->ShowTab(3);
    dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::NameEditId)->setText(QStringLiteral("Never"));
    dialog->Presets().Save();
    EXPECT_FALSE(configuration->IsPreset(u"Never"));
    EXPECT_EQ(dialog->Presets().List()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog->Request(GUI::IParentWindow::FillSettings, 0), 1);
}

TEST_F(SettingsDialogTest, VelocitiesSavedInTheStepSequencerStayTheVolumesThroughOk)
{
    Live().BeatType = 3;
    Platform::Text::Copy(Live().CustomRhythm, u"1");
    for (std::uint32_t& volume : Live().Volume)
        volume = 100;
    Open(0);
    dialog->ShowTab(1);
    dialog->ShowTab(0);
    int row = -1;
    QTimer::singleShot(0, [&row] {
        if (auto* sequencer = qobject_cast<GUI::StepSequencerDialog*>(QApplication::activeModalWidget())) {
            row = sequencer->GridWindow().Grid().RowOfDisplayRow(0);
            QTest::keyClick(&sequencer->GridWindow(), Qt::Key_Plus);
            sequencer->Save();
        }
    });
    QTest::mouseClick(Options<QPushButton>(OptionsDialog::StepSequencerId), Qt::LeftButton);
    ASSERT_GE(row, 0);
    EXPECT_EQ(Live().Volume[row], 110u);
    // The Sound Settings page shows it, so its OK keeps it.
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(Live().Volume[row], 110u);
    EXPECT_EQ(Live().Volume[(row + 1) % 12], 100u);
}

TEST_F(SettingsDialogTest, OnceTheStepSequencerRanPresetsTakeItsRhythm)
{
    Live().BeatType = 3;
    Platform::Text::Copy(Live().CustomRhythm, u"12-1");
    Open(0);
    auto savePreset = [this](const QString& name) {
        dialog->ShowTab(3);
        dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::NameEditId)->setText(name);
        dialog->Presets().Save();
        dialog->ShowTab(0);
    };
    auto storedRhythm = [this](const char16_t* name) {
        EXPECT_TRUE(configuration->LoadPreset(name));
        return GUI::QtText::FromField(Live().CustomRhythm);
    };
    // Before it ran, a preset takes the live rhythm as it is at the save.
    Platform::Text::Copy(Live().CustomRhythm, u"1-1-");
    savePreset(QStringLiteral("Before"));
    CancelStepSequencerWhenShown();
    QTest::mouseClick(Options<QPushButton>(OptionsDialog::StepSequencerId), Qt::LeftButton);
    ASSERT_EQ(sequencerTempos.size(), 1u);
    // After it, the rhythm it handed back counts, not a later live one.
    Platform::Text::Copy(Live().CustomRhythm, u"2-2-");
    savePreset(QStringLiteral("After"));
    EXPECT_EQ(storedRhythm(u"Before"), QStringLiteral("1-1-"));
    EXPECT_EQ(storedRhythm(u"After"), QStringLiteral("1-1-"));
}

// ---- Sound Settings and Audio Files -----------------------------------------------------

TEST_F(SettingsDialogTest, InstrumentListsFollowTheSoundSource)
{
    Live().Instrument[0] = 5;
    Live().Instrument[1] = 3;
    Platform::Text::Copy(Live().File[3], u"/samples/kit/kick.wav");
    Platform::Text::Copy(Live().File[5], u"snare.wav");
    Open(1);
    QComboBox* first = dialog->SoundSetup().InstrumentList(0);
    EXPECT_EQ(first->count(), System::ILanguage::InstrumentCount);
    EXPECT_EQ(first->currentIndex(), 5);

    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(dialog->SoundSetup().Kind(), SoundSetupDialog::AudioFileNames);
    ASSERT_EQ(first->count(), 12);
    // Item k is slot k + 1: slot 4's file name, an empty slot 5, a name without a folder whole.
    QComboBox* second = dialog->SoundSetup().InstrumentList(1);
    EXPECT_EQ(second->currentText(), QStringLiteral("kick.wav"));
    EXPECT_EQ(first->itemText(4), QString());
    EXPECT_EQ(first->itemText(5), QStringLiteral("snare.wav"));
    EXPECT_EQ(first->currentIndex(), 5);

    // Back to MIDI: the live instruments are selected, not the ones just chosen.
    first->setCurrentIndex(2);
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::MidiId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(first->count(), System::ILanguage::InstrumentCount);
    EXPECT_EQ(first->currentIndex(), 5);
    EXPECT_EQ(second->currentIndex(), 3);
    EXPECT_EQ(dialog->SoundSetup().Kind(), SoundSetupDialog::MidiNames);

    // A name typed on the Audio Files page is listed when its edit loses the focus, but only
    // while the source is audio files.
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    dialog->ShowTab(2);
    QLineEdit* edit = dialog->AudioFiles().Edit(0);
    edit->setFocus();
    edit->setText(QStringLiteral("/x/hat.wav"));
    dialog->AudioFiles().Edit(1)->setFocus();
    EXPECT_EQ(first->itemText(0), QStringLiteral("hat.wav"));
}

TEST_F(SettingsDialogTest, SwitchingTheSourceAndBackKeepsEachSourcesInstruments)
{
    Live().Instrument[0] = 20;
    Live().Instrument[1] = 33;
    Platform::Text::Copy(Live().File[2], u"/samples/kick.wav");
    Open(0);
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    dialog->SoundSetup().InstrumentList(0)->setCurrentIndex(2);
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(Live().SoundEngineType, 1u);
    EXPECT_EQ(Live().Instrument[0], 2u);

    // Back to MIDI in a later opening: the MIDI choices from before, not the first item.
    dialog->Close();
    Open(0);
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::MidiId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(0)->currentIndex(), 20);
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(1)->currentIndex(), 33);
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(Live().Instrument[0], 20u);
    EXPECT_EQ(Live().Instrument[1], 33u);

    // And the audio slots chosen before come back with the audio source.
    dialog->Close();
    Open(0);
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(0)->currentIndex(), 2);
}

TEST_F(SettingsDialogTest, AnInstrumentBeyondTheListSelectsTheFirst)
{
    Live().Instrument[2] = 47;
    Live().Instrument[3] = 46;
    Open(1);
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(2)->currentIndex(), 0);
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(3)->currentIndex(), 46);
    // Twelve audio slots: slot numbers from 12 up select the first.
    Live().Instrument[4] = 12;
    Live().Instrument[5] = 11;
    QTest::mouseClick(Options<QRadioButton>(OptionsDialog::AudioFilesId), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(4)->currentIndex(), 0);
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(5)->currentIndex(), 11);
}

TEST_F(SettingsDialogTest, SwatchesFollowTheSizeAndColourSliders)
{
    Live().Size[0] = 0;
    Live().Colour[0] = 1;  // 0x0000C0: red
    Open(1);
    GUI::VisualColourControl& swatch = dialog->SoundSetup().Swatch(0);
    auto discWidth = [&swatch] {
        const QImage& image = swatch.Image();
        const QRgb background = image.pixel(1, 1);
        int width = 0;
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, 11) != background)
                ++width;
        return width;
    };
    swatch.Window()->repaint();
    const int smallest = discWidth();
    EXPECT_EQ(qRed(swatch.Image().pixel(11, 11)), 0xC0);
    auto* size = dialog->SoundSetup().ControlAs<QSlider>(1254);
    std::vector<int> widths;
    for (int value = 1; value <= 7; ++value) {
        size->setValue(value);  // as while dragging
        widths.push_back(discWidth());
    }
    EXPECT_LE(smallest, 5);
    EXPECT_GE(widths.back(), 16);
    for (std::size_t i = 1; i < widths.size(); ++i)
        EXPECT_GT(widths[i], widths[i - 1]);
    dialog->SoundSetup().ControlAs<QSlider>(1266)->setValue(9);  // 0x44D044: green
    EXPECT_EQ(qGreen(swatch.Image().pixel(11, 11)), 0xD0);
    ASSERT_TRUE(PressOk());
    EXPECT_EQ(Live().Size[0], 7u);
    EXPECT_EQ(Live().Colour[0], 9u);
}

TEST_F(SettingsDialogTest, AudioFileChecksOnSave)
{
    Live().SoundEngineType = 1;
    Open(0);
    AudioFilesDialog& files = dialog->AudioFiles();
    checkResults[QStringLiteral("/a/large1.wav")] = 6;
    checkResults[QStringLiteral("/a/large2.wav")] = 6;
    // A large file is told when it is chosen, or typed and left, and then never again.
    files.SetFileChooserForTesting([](QWidget*, const QString&) { return QStringLiteral("/a/large1.wav"); });
    dialog->ShowTab(2);
    files.ChooseAudioFile(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Large Audio File"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    files.Edit(2)->setFocus();
    files.Edit(2)->setText(QStringLiteral("/a/large2.wav"));
    files.Edit(3)->setFocus();
    files.Edit(3)->setText(QStringLiteral("/a/fine.wav"));
    files.Edit(2)->setFocus();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(boxes.size(), 2u);
    // Neither OK nor the step sequencer's copy of the pages tells a stored large file.
    boxes.clear();
    Open(0);
    Configuration::ConfigurationData preview;
    EXPECT_EQ(dialog->Request(SettingsDialog::FillSettings, reinterpret_cast<std::intptr_t>(&preview)), 0);
    EXPECT_TRUE(PressOk());
    EXPECT_TRUE(boxes.empty());

    // A missing file in slot 2 stops the save there with its text selected.
    boxes.clear();
    checked.clear();
    Open(3);
    files.Edit(1)->setText(QStringLiteral("/a/missing.wav"));
    checkResults[QStringLiteral("/a/missing.wav")] = 1;
    files.Edit(5)->setText(QStringLiteral("/a/never-checked.wav"));
    EXPECT_FALSE(PressOk());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Audio File Not Found"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].text, English(System::DefaultLanguage().GetMessage(13)));
    EXPECT_EQ(files.Edit(1)->selectedText(), QStringLiteral("/a/missing.wav"));
    EXPECT_TRUE(files.Edit(1)->hasFocus());
    EXPECT_EQ(dialog->Tabs()->currentIndex(), 3);  // the tab is not brought forward
    EXPECT_EQ(std::count(checked.begin(), checked.end(), QStringLiteral("/a/never-checked.wav")), 0);
    // The names copied before the refusal stay.
    EXPECT_EQ(GUI::QtText::FromField(Live().File[5]), QStringLiteral("/a/never-checked.wav"));

    // Each refusing code has its title.
    const std::pair<int, const char*> titles[] = {{2, "Unable To Open File"},
                                                  {3, "Unable To Get File Size"},
                                                  {4, "Unable To Read File"},
                                                  {5, "Unable To Read File"},
                                                  {7, "Invalid Audio File"}};
    for (const auto& [code, title] : titles) {
        boxes.clear();
        checkResults[QStringLiteral("/a/missing.wav")] = code;
        EXPECT_FALSE(dialog->OnOk()) << code;
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().title, QString::fromUtf8(title)) << code;
    }
}

TEST_F(SettingsDialogTest, ChooserOpensInTheEditsFolder)
{
    Live().SoundEngineType = 1;
    Open(2);
    AudioFilesDialog& files = dialog->AudioFiles();
    std::vector<QString> folders;
    QString answerPath = QStringLiteral("/chosen/new.wav");
    files.SetFileChooserForTesting([&](QWidget*, const QString& folder) {
        folders.push_back(folder);
        return answerPath;
    });
    files.Edit(4)->setText(QStringLiteral("/home/user/clicks/wood.wav"));
    files.Edit(6)->setText(QStringLiteral("wood.wav"));
    files.ChooseAudioFile(4);
    files.ChooseAudioFile(6);
    files.ChooseAudioFile(7);
    EXPECT_EQ(folders, (std::vector<QString>{QStringLiteral("/home/user/clicks/"), QString(), QString()}));
    EXPECT_EQ(files.Edit(4)->text(), answerPath);
    // The Sound Settings lists show the new name at once.
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(0)->itemText(4), QStringLiteral("new.wav"));
    // A cancelled chooser changes nothing.
    answerPath.clear();
    files.Edit(4)->setText(QStringLiteral("/keep.wav"));
    files.ChooseAudioFile(4);
    EXPECT_EQ(files.Edit(4)->text(), QStringLiteral("/keep.wav"));
}

// A file name the configuration file would not give back whole is refused where it is entered:
// from the chooser, and typed, on OK; so is a preset description cut at a '#' on reading.
TEST_F(SettingsDialogTest, TextsTheConfigurationCannotKeepAreRefused)
{
    Live().SoundEngineType = 1;
    Open(2);
    AudioFilesDialog& files = dialog->AudioFiles();
    files.SetFileChooserForTesting([](QWidget*, const QString&) { return QStringLiteral("/music/take #2.wav"); });
    files.Edit(0)->setText(QStringLiteral("/keep.wav"));
    files.ChooseAudioFile(0);
    EXPECT_EQ(files.Edit(0)->text(), QStringLiteral("/keep.wav"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("/music/take #2.wav")));

    // 258 three-byte characters: 774 bytes, beyond what the reader takes.
    const QString longName = QStringLiteral("/") + QString(257, QChar(0x4E2D)) + QStringLiteral("x");
    files.Edit(1)->setText(longName);
    EXPECT_FALSE(PressOk());
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(Live().File[1][0], u'\0');
    files.Edit(1)->setText(longName.left(257));
    EXPECT_TRUE(PressOk());

    boxes.clear();
    Open(3);
    PresetsDialog& presets = dialog->Presets();
    presets.ControlAs<QLineEdit>(PresetsDialog::NameEditId)->setText(QStringLiteral("Rock"));
    presets.ControlAs<QLineEdit>(PresetsDialog::DescriptionEditId)->setText(QStringLiteral("Take #2"));
    presets.Save();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(configuration->IsPreset(u"Rock"));
}

// ---- Presets ----------------------------------------------------------------------------

TEST_F(SettingsDialogTest, PresetNamesAreChecked)
{
    Open(3);
    PresetsDialog& presets = dialog->Presets();
    auto* name = presets.ControlAs<QLineEdit>(PresetsDialog::NameEditId);
    presets.Save();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Preset Name Required"));
    EXPECT_TRUE(name->hasFocus());

    name->setText(QStringLiteral("a#b"));
    presets.Save();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, QStringLiteral("Invalid Preset Name"));
    EXPECT_EQ(name->selectedText(), QStringLiteral("a#b"));
    EXPECT_TRUE(presets.RememberedName().isEmpty());
    EXPECT_FALSE(configuration->IsPreset(u"a#b"));
    // What the file's lines cannot give back is refused: a '#' ends the value, a leading space
    // or '=' is skipped; control characters are no name.
    for (const char* bad : {" Rock", "=Rock", "a\tb", "a\x01b"}) {
        name->setText(QString::fromUtf8(bad));
        presets.Save();
        EXPECT_EQ(boxes.back().title, QStringLiteral("Invalid Preset Name")) << bad;
    }
    boxes.resize(2);
    // Letters of any script, and punctuation: the manual's own example is Warm-up.
    for (const char16_t* good : {u"Übung Große Trommel", u"Warm-up", u"Take 2/3 (slow), \"A=B\" [live]!"}) {
        name->setText(QString::fromUtf16(good));
        presets.Save();
        EXPECT_EQ(boxes.size(), 2u) << QString::fromUtf16(good).toStdString();
        EXPECT_TRUE(configuration->IsPreset(good));
        delete presets.List()->takeTopLevelItem(0);
    }

    name->setText(QStringLiteral("Rock 1"));
    presets.ControlAs<QLineEdit>(PresetsDialog::DescriptionEditId)->setText(QStringLiteral("Loud"));
    Live().Bpm = 133;
    presets.Save();
    EXPECT_EQ(boxes.size(), 2u);
    ASSERT_TRUE(configuration->IsPreset(u"Rock 1"));
    ASSERT_EQ(presets.List()->topLevelItemCount(), 1);
    EXPECT_EQ(presets.List()->topLevelItem(0)->text(0), QStringLiteral("Rock 1"));
    EXPECT_EQ(presets.List()->topLevelItem(0)->text(1), QStringLiteral("Loud"));
    ASSERT_TRUE(configuration->LoadPreset(u"Rock 1"));
    EXPECT_EQ(Live().Bpm, 133u);
    EXPECT_EQ(GUI::QtText::FromField(Live().Description), QStringLiteral("Loud"));
}

TEST_F(SettingsDialogTest, SavingOverAnExistingPresetAsksFirst)
{
    AddPreset(u"Waltz", u"Old", 90);
    Open(3);
    PresetsDialog& presets = dialog->Presets();
    presets.ControlAs<QLineEdit>(PresetsDialog::NameEditId)->setText(QStringLiteral("Waltz"));
    presets.ControlAs<QLineEdit>(PresetsDialog::DescriptionEditId)->setText(QStringLiteral("New"));
    Live().Bpm = 150;
    answer = QMessageBox::No;
    presets.Save();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Preset Already Exists"));
    ASSERT_TRUE(configuration->LoadPreset(u"Waltz"));
    EXPECT_EQ(Live().Bpm, 90u);

    Live().Bpm = 150;
    answer = QMessageBox::Yes;
    presets.Save();
    ASSERT_TRUE(configuration->LoadPreset(u"Waltz"));
    EXPECT_EQ(Live().Bpm, 150u);
    // The row shows the description just saved.
    EXPECT_EQ(presets.List()->topLevelItem(0)->text(1), QStringLiteral("New"));
}

TEST_F(SettingsDialogTest, UpdateLoadDeleteAndClear)
{
    AddPreset(u"Alpha", u"First", 100);
    AddPreset(u"Beta", u"Second", 110);
    Open(3);
    PresetsDialog& presets = dialog->Presets();
    QTreeWidget* list = presets.List();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    auto* name = presets.ControlAs<QLineEdit>(PresetsDialog::NameEditId);
    auto* description = presets.ControlAs<QLineEdit>(PresetsDialog::DescriptionEditId);

    for (auto action : {&PresetsDialog::Update, &PresetsDialog::Load, &PresetsDialog::Delete}) {
        boxes.clear();
        (presets.*action)();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, QStringLiteral("No Preset Selected"));
    }
    EXPECT_EQ(replaced, 0);

    // Choosing a row shows what it stores.
    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_EQ(name->text(), QStringLiteral("Beta"));
    EXPECT_EQ(description->text(), QStringLiteral("Second"));
    // A name another preset has is refused, naming it; nothing changes.
    name->setText(QStringLiteral("Alpha"));
    boxes.clear();
    presets.Update();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Preset Already Exists"));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("\"Alpha\"")));
    EXPECT_TRUE(configuration->IsPreset(u"Beta"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("Beta"));

    // Update renames the selected preset with the settings of the pages.
    name->setText(QStringLiteral("Gamma"));
    description->setText(QStringLiteral("Third"));
    presets.Update();
    EXPECT_FALSE(configuration->IsPreset(u"Beta"));
    EXPECT_TRUE(configuration->IsPreset(u"Gamma"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("Gamma"));
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("Third"));

    // Load takes the preset into the live settings and tells the main window.
    list->setCurrentItem(list->topLevelItem(0));
    presets.Load();
    EXPECT_EQ(Live().Bpm, 100u);
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(name->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(description->text(), QStringLiteral("First"));

    // Delete asks first, naming the preset; No keeps it.
    boxes.clear();
    answer = QMessageBox::No;
    presets.Delete();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Delete Preset"));
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("\"Alpha\"")));
    EXPECT_TRUE(configuration->IsPreset(u"Alpha"));
    answer = QMessageBox::Yes;
    presets.Delete();
    EXPECT_FALSE(configuration->IsPreset(u"Alpha"));
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_TRUE(list->selectedItems().isEmpty());

    // Clear empties the edits; the remembered texts come back when the page is made again.
    presets.Clear();
    EXPECT_TRUE(name->text().isEmpty());
    dialog->Close();
    Open(3);
    EXPECT_EQ(dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::NameEditId)->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::DescriptionEditId)->text(),
              QStringLiteral("First"));
}

TEST_F(SettingsDialogTest, DoubleClickLoadsUnlessCtrlIsHeld)
{
    AddPreset(u"Slow", u"Ballad", 60);
    Live().Bpm = 120;
    Open(3);
    QTreeWidget* list = dialog->Presets().List();
    const QRect row = list->visualItemRect(list->topLevelItem(0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, row.center());
    EXPECT_EQ(dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::NameEditId)->text(), QStringLiteral("Slow"));
    EXPECT_EQ(dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::DescriptionEditId)->text(),
              QStringLiteral("Ballad"));
    EXPECT_EQ(Live().Bpm, 120u);
    EXPECT_EQ(replaced, 0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(Live().Bpm, 60u);
    EXPECT_EQ(replaced, 1);
    // Close does not undo a load.
    dialog->Window()->reject();
    EXPECT_EQ(Live().Bpm, 60u);
}

TEST_F(SettingsDialogTest, LoadedPresetReloadsTheOtherPages)
{
    Configuration::ConfigurationData preset;
    Platform::Text::Copy(preset.PresetName, u"Odd");
    preset.BeatType = 2;
    Platform::Text::Copy(preset.CustomPattern, u"2+2+3");
    preset.SoundEngineType = 1;
    Platform::Text::Copy(preset.File[0], u"/k/one.wav");
    preset.Volume[2] = 17;
    preset.Size[3] = 2;
    preset.SpeedTrainer = 1;
    preset.From = 0.25f;
    ASSERT_TRUE(configuration->AddPreset(preset));
    Open(3);
    dialog->Presets().DoubleClick(0, false);
    EXPECT_TRUE(Options<QRadioButton>(OptionsDialog::CustomPatternRadioId)->isChecked());
    EXPECT_EQ(OptionsEdit(OptionsDialog::PatternEditId)->text(), QStringLiteral("2+2+3"));
    EXPECT_TRUE(OptionsEdit(OptionsDialog::PatternEditId)->isEnabled());
    EXPECT_EQ(OptionsEdit(OptionsDialog::FromEditId)->text(), QStringLiteral("25.00%"));
    EXPECT_TRUE(Options<QRadioButton>(OptionsDialog::AudioFilesId)->isChecked());
    EXPECT_EQ(dialog->SoundSetup().InstrumentList(0)->itemText(0), QStringLiteral("one.wav"));
    EXPECT_EQ(dialog->SoundSetup().ControlAs<QSlider>(1244)->value(), 17);
    EXPECT_EQ(dialog->SoundSetup().Swatch(3).Size(), 2);
    EXPECT_EQ(dialog->AudioFiles().Edit(0)->text(), QStringLiteral("/k/one.wav"));
}

TEST_F(SettingsDialogTest, PresetsTakeTheRhythmOfTheLiveSettingsAndItsTempo)
{
    Platform::Text::Copy(Live().CustomRhythm, u"1-2-");
    Live().CrNumBars = 3;
    Live().Bpm = 97;
    Live().GlobalVolume = 44;
    Open(3);
    dialog->Presets().ControlAs<QLineEdit>(PresetsDialog::NameEditId)->setText(QStringLiteral("Groove"));
    dialog->Presets().Save();
    Configuration::ConfigurationData saved;
    configuration->EnumeratePresets(
        [](const Configuration::ConfigurationData& preset, void* context) {
            *static_cast<Configuration::ConfigurationData*>(context) = preset;
            return 0;
        },
        &saved);
    EXPECT_EQ(GUI::QtText::FromField(saved.CustomRhythm), QStringLiteral("1-2-"));
    EXPECT_EQ(saved.CrNumBars, 3u);
    EXPECT_EQ(saved.Bpm, 97u);
    EXPECT_EQ(saved.GlobalVolume, 44u);
    // OK marks the live settings as such while the pages fill them, and takes the mark off again:
    // the name of the preset they came from is kept whole.
    Platform::Text::Copy(Live().PresetName, u"Groove");
    EXPECT_TRUE(PressOk());
    EXPECT_EQ(GUI::QtText::FromField(Live().PresetName), QStringLiteral("Groove"));
}

}  // namespace
