#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "GUI/AccessibleNames.h"
#include "GUI/ControlId.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/GridTestSupport.h"
#include "GUI/StepSequencerDialog.h"
#include "Support/WindowFakes.h"

namespace {

using GUI::StepSequencerDialog;
using GUI::StepSequencerGrid;
using Tests::GridSettings;

class StepSequencerDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GUI::MessageBoxes::SetPresenterForTesting(
            [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text) {
                boxes.push_back({icon, title, text});
                return static_cast<int>(QMessageBox::Ok);
            });
    }
    void TearDown() override
    {
        dialog.reset();
        GUI::MessageBoxes::SetPresenterForTesting({});
    }

    // Opens the dialog as the Options page does: the pending settings, then the live fields.
    void Open(const Configuration::ConfigurationData& settings)
    {
        live = settings;
        live.SpeedTrainer = 0;
        dialog = std::make_unique<StepSequencerDialog>(nullptr, live, &metronome);
        dialog->WorkingSettings() = live;
        dialog->PrepareWorkingSettings();
        dialog->Initialise();
        dialog->show();
        QApplication::processEvents();
    }

    QString Rhythm(const Configuration::ConfigurationData& settings) const
    {
        return QString::fromUtf16(settings.CustomRhythm);
    }

    // The fields the dialog may write.
    void ExpectSameRhythmFields(const Configuration::ConfigurationData& before) const
    {
        EXPECT_EQ(Rhythm(live), Rhythm(before));
        EXPECT_EQ(live.CrSubdivision, before.CrSubdivision);
        EXPECT_EQ(live.CrNumBars, before.CrNumBars);
        EXPECT_EQ(live.CrBeatsPerBar, before.CrBeatsPerBar);
        EXPECT_EQ(live.CrCompoundTime, before.CrCompoundTime);
        EXPECT_EQ(live.DisplayedSubdiv, before.DisplayedSubdiv);
        EXPECT_EQ(live.DisplayDistinct, before.DisplayDistinct);
        EXPECT_EQ(live.SpeedTrainer, before.SpeedTrainer);
        EXPECT_EQ(live.VisualIndicator, before.VisualIndicator);
    }

    Tests::FakeMetronome metronome;
    Configuration::ConfigurationData live;
    std::unique_ptr<StepSequencerDialog> dialog;
    std::vector<Tests::ShownBox> boxes;
};

TEST_F(StepSequencerDialogTest, OpeningSelectsTheListsAndBoxesOfTheWorkingSettings)
{
    auto settings = GridSettings(2, 7, 3);
    settings.DisplayDistinct = 1;
    Open(settings);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Step Sequencer"));
    EXPECT_EQ(dialog->NumBarsList()->currentText(), QStringLiteral("2"));
    EXPECT_EQ(dialog->BeatsList()->currentText(), QStringLiteral("7"));
    EXPECT_EQ(dialog->SubdivisionList()->currentText(), QStringLiteral("3"));
    EXPECT_EQ(dialog->BeatsList()->count(), 15);
    EXPECT_FALSE(dialog->CompoundBox()->isChecked());
    EXPECT_TRUE(dialog->DistinctBox()->isChecked());
    EXPECT_TRUE(dialog->HasBeenOpened());
    EXPECT_EQ(dialog->WorkingSettings().SpeedTrainer, 5u);
    EXPECT_EQ(dialog->WorkingSettings().VisualIndicator, 0u);
    EXPECT_EQ(dialog->GridWindow().Grid().ColumnCount(), 2 * 7 * 3);

    settings = GridSettings(1, 4, 0, true);
    Open(settings);
    EXPECT_EQ(dialog->SubdivisionList()->currentText(), QStringLiteral("0"));
    EXPECT_TRUE(dialog->CompoundBox()->isChecked());
    EXPECT_FALSE(dialog->DistinctBox()->isChecked());
}

TEST_F(StepSequencerDialogTest, ListsAndBoxesReshapeTheGrid)
{
    Open(GridSettings(1, 4, 2));
    dialog->BeatsList()->setCurrentIndex(5);
    EXPECT_EQ(dialog->GridWindow().Grid().BeatsPerBar(), 7);
    dialog->NumBarsList()->setCurrentIndex(2);
    EXPECT_EQ(dialog->GridWindow().Grid().NumBars(), 3);
    dialog->SubdivisionList()->setCurrentIndex(0);
    EXPECT_EQ(dialog->GridWindow().Grid().CellsPerBeat(), 0);
    dialog->SubdivisionList()->setCurrentIndex(3);
    EXPECT_EQ(dialog->GridWindow().Grid().CellsPerBeat(), 4);
    dialog->CompoundBox()->click();
    EXPECT_TRUE(dialog->GridWindow().Grid().CompoundTime());
    EXPECT_EQ(dialog->GridWindow().Grid().ColumnCount(), 21);
    dialog->DistinctBox()->click();
    EXPECT_EQ(dialog->GridWindow().Grid().ShowAllRows(), 0);
}

TEST_F(StepSequencerDialogTest, PlayThenPlayStopsTheMetronomeAndTheCursor)
{
    Open(GridSettings(1, 4, 4, false, u"1 2 3"));
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog->Previewing());
    EXPECT_EQ(metronome.starts, 1);
    ASSERT_NE(metronome.handler, nullptr);
    EXPECT_TRUE(dialog->GridWindow().CursorRuns());
    EXPECT_EQ(dialog->PlayButton()->text(), QStringLiteral("Stop"));
    // The preview plays at full resolution from the working settings.
    EXPECT_EQ(Rhythm(dialog->WorkingSettings()), QStringLiteral("1 2 3           "));
    EXPECT_EQ(dialog->WorkingSettings().CrSubdivision, 4u);

    // Sub-step ticks move the cursor, other events do not.
    std::thread timer([this] {
        metronome.handler->OnTimerEvent(Core::IMetronomeEventHandler::SubStep, 0, Core::Moment());
        metronome.handler->OnTimerEvent(Core::IMetronomeEventHandler::TempoChanged, 80, Core::Moment());
    });
    timer.join();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (dialog->GridWindow().CursorFrames() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(dialog->GridWindow().CursorFrames(), 1);
    EXPECT_EQ(dialog->GridWindow().StepCounter(), 0);

    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->Previewing());
    EXPECT_EQ(metronome.stops, 1);
    EXPECT_FALSE(metronome.running);
    EXPECT_FALSE(dialog->GridWindow().CursorRuns());
    EXPECT_EQ(dialog->PlayButton()->text(), QStringLiteral("&Play"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(StepSequencerDialogTest, TooManyHitsShowTheMessageAndKeepTheDialogOpen)
{
    Open(GridSettings(4, 16, 8));
    StepSequencerGrid& grid = dialog->GridWindow().Grid();
    for (int column = 0; column < grid.ColumnCount(); ++column) {
        grid.ToggleCell(0, column);
        grid.ToggleCell(1, column);
    }
    const Configuration::ConfigurationData before = live;

    QTest::mouseClick(dialog->SaveButton(), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Sequence Has Too Many Hits"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("The number of instrument hits in your sequence")));
    EXPECT_TRUE(dialog->isVisible());
    ExpectSameRhythmFields(before);

    // Play does not start either.
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(metronome.starts, 0);
    EXPECT_FALSE(dialog->GridWindow().CursorRuns());
}

TEST_F(StepSequencerDialogTest, SaveOfBeatStartHitsWritesOneStepPerBeatAndKeepsTheDisplayedSubdivision)
{
    Open(GridSettings(1, 4, 4, false, u"1   2   1   2   "));
    dialog->DistinctBox()->click();
    QTest::mouseClick(dialog->SaveButton(), Qt::LeftButton);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_EQ(Rhythm(live), QStringLiteral("1212"));
    EXPECT_EQ(live.CrSubdivision, 0u);
    EXPECT_EQ(live.DisplayedSubdiv, 4u);
    EXPECT_EQ(live.CrNumBars, 1u);
    EXPECT_EQ(live.CrBeatsPerBar, 4u);
    EXPECT_EQ(live.DisplayDistinct, 1u);
    EXPECT_EQ(live.SpeedTrainer, 0u);
    // The Options page takes the saved rhythm from the working settings.
    EXPECT_EQ(Rhythm(dialog->WorkingSettings()), QStringLiteral("1212"));
    EXPECT_EQ(dialog->WorkingSettings().CrSubdivision, 0u);
    EXPECT_EQ(dialog->WorkingSettings().DisplayedSubdiv, 4u);
}

TEST_F(StepSequencerDialogTest, RunHandsTheSavedRhythmBackToTheCallersRecord)
{
    live = GridSettings(1, 4, 2, false, u"1 1 ");
    StepSequencerDialog runner(nullptr, live, &metronome);
    Configuration::ConfigurationData record = live;
    record.SpeedTrainer = 5;
    record.VisualIndicator = 0;
    record.Bpm = 77;
    QTimer::singleShot(0, &runner, [&runner] {
        runner.GridWindow().Grid().ToggleCell(1, 1);
        runner.SaveButton()->click();
    });
    EXPECT_EQ(runner.Run(record), 1);
    EXPECT_TRUE(runner.HasBeenOpened());
    EXPECT_EQ(Rhythm(live), QStringLiteral("121     "));
    EXPECT_EQ(Rhythm(record), QStringLiteral("121     "));
    EXPECT_EQ(record.CrSubdivision, 2u);
    // The rest of the record is the caller's own.
    EXPECT_EQ(record.SpeedTrainer, 5u);
    EXPECT_EQ(record.Bpm, 77u);
}

TEST_F(StepSequencerDialogTest, CancelAfterPlayStopsThePreviewAndLeavesTheLiveSettingsAlone)
{
    Open(GridSettings(1, 4, 2, false, u"1"));
    const Configuration::ConfigurationData before = live;
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog->Previewing());
    dialog->GridWindow().Grid().ToggleCell(3, 3);
    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_FALSE(dialog->Previewing());
    EXPECT_EQ(metronome.stops, 1);
    EXPECT_FALSE(dialog->GridWindow().CursorRuns());
    ExpectSameRhythmFields(before);

    // Escape ends a preview the same way.
    dialog->Initialise();
    dialog->show();
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(metronome.stops, 2);
    EXPECT_FALSE(dialog->GridWindow().CursorRuns());
}

TEST_F(StepSequencerDialogTest, RefusedStartShowsTheMetronomeErrorAndStopsTheCursor)
{
    Open(GridSettings(1, 4, 2, false, u"1"));
    metronome.startCode = 10;
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->Previewing());
    EXPECT_FALSE(dialog->GridWindow().CursorRuns());
    EXPECT_EQ(dialog->PlayButton()->text(), QStringLiteral("&Play"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
}

TEST_F(StepSequencerDialogTest, AFailedClickEndsThePreviewOnTheDialogsThread)
{
    Open(GridSettings(1, 4, 2, false, u"1"));
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    ASSERT_TRUE(dialog->Previewing());
    std::thread timer([this] {
        metronome.StopItself(120);
        metronome.handler->OnError(1);
    });
    timer.join();
    EXPECT_TRUE(dialog->Previewing());  // nothing of the window is touched on the timer thread
    QApplication::processEvents();
    EXPECT_FALSE(dialog->Previewing());
    EXPECT_FALSE(dialog->GridWindow().CursorRuns());
    EXPECT_EQ(dialog->PlayButton()->text(), QStringLiteral("&Play"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    // The next Play starts anew rather than stopping a metronome that has stopped.
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    EXPECT_EQ(metronome.starts, 2);
    EXPECT_EQ(metronome.stops, 0);
}

TEST_F(StepSequencerDialogTest, KeepsItsMinimumSizeAndLaysOutFromTheBottomRight)
{
    Open(GridSettings(1, 4, 2));
    dialog->resize(500, 300);
    QApplication::processEvents();
    EXPECT_EQ(dialog->width(), 730);
    EXPECT_EQ(dialog->height(), 400);

    dialog->resize(900, 520);
    QApplication::processEvents();
    EXPECT_EQ(dialog->GridWindow().geometry(), QRect(11, 42, 900 - 21, 520 - 85));
    EXPECT_EQ(dialog->ClearButton()->geometry(), QRect(900 - 319, 520 - 34, 75, 23));
    EXPECT_EQ(dialog->PlayButton()->geometry(), QRect(900 - 241, 520 - 34, 75, 23));
    EXPECT_EQ(dialog->CancelButton()->geometry(), QRect(900 - 241 + 156, 520 - 34, 75, 23));
    EXPECT_EQ(dialog->InformationLine()->geometry(), QRect(11, 520 - 34, 900 - 340, 26));
    // The grid's columns follow the new width.
    EXPECT_EQ(dialog->GridWindow().ColumnWidth(), (879 - 145) / 8);
}

TEST_F(StepSequencerDialogTest, InformationLineDescribesTheControlUnderTheMouse)
{
    Open(GridSettings(1, 4, 2));
    dialog->MouseOverControl(StepSequencerDialog::PlayId);
    EXPECT_EQ(dialog->InformationLine()->text(), QStringLiteral("Plays the custom rhythm"));
    dialog->MouseOverControl(StepSequencerDialog::NumBarsListId);
    EXPECT_EQ(dialog->InformationLine()->text(), QStringLiteral("Sets the number of bars in your custom rhythm"));
    dialog->MouseOverControl(StepSequencerDialog::CancelId);
    EXPECT_EQ(dialog->InformationLine()->text(), QStringLiteral("Closes this window"));
    dialog->MouseOverControl(-1);
    EXPECT_TRUE(dialog->InformationLine()->text().isEmpty());

    QTest::mouseMove(dialog->ClearButton());
    QApplication::processEvents();
    EXPECT_EQ(dialog->InformationLine()->text(), QStringLiteral("Clears the step sequencer and chord sequence"));
}

TEST_F(StepSequencerDialogTest, ClearEmptiesTheGridAndCanBeUndone)
{
    Open(GridSettings(1, 4, 2, false, u"1[23]"));
    QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->GridWindow().Grid().HitCount(), 0);
    QTest::keyClick(&dialog->GridWindow(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(dialog->GridWindow().Grid().HitCount(), 3);
}

}  // namespace

namespace {

// The dialog a screen reader cannot be walked to without a custom rhythm: every control of it is
// named, lists by a label, the grid by the cell under its cursor.
TEST_F(StepSequencerDialogTest, EveryControlIsNamedForAScreenReader)
{
    Open(GridSettings(1, 4, 2));
    int controls = 0;
    for (QWidget* control : dialog->findChildren<QWidget*>()) {
        if (!GUI::AccessibleNames::IsInteractive(control) || control->isHidden())
            continue;
        ++controls;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(face, nullptr);
        const auto labels = face->relations(QAccessible::Label);
        const QString name =
            labels.isEmpty() ? face->text(QAccessible::Name) : labels.first().first->text(QAccessible::Name);
        EXPECT_FALSE(name.trimmed().isEmpty()) << control->metaObject()->className() << " " << GUI::ControlId(control);
    }
    EXPECT_GE(controls, 8);
}

}  // namespace
