#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <csignal>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "GUI/ApplicationWindow.h"
#include "GUI/BigFlash.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/TempoInput.h"
#include "GUI/QuitSignals.h"
#include "GUI/VisualBeatIndicator.h"
#include "Support/RecordingLog.h"
#include "Support/WindowFakes.h"
#include "System/Language.h"

namespace {

std::int64_t tapNow = 0;
unsigned tapKeys = 0;

std::int64_t TapClock() noexcept
{
    return tapNow;
}

unsigned TapKeys() noexcept
{
    return tapKeys;
}

class ApplicationWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tapNow = 100'000'000'000;
        tapKeys = 0;
        GUI::MessageBoxes::SetPresenterForTesting(
            [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text) {
                boxes.push_back({icon, title, text});
                return int(QMessageBox::Ok);
            });
        indicator = std::make_unique<GUI::VisualBeatIndicator>();
        window = std::make_unique<GUI::ApplicationWindow>(metronome, configuration, *indicator, &TapClock, &TapKeys);
        ASSERT_TRUE(window->Initialise());
        window->SetSettingsDialog([this](int tab) {
            settingsTabs.push_back(tab);
            playingWhenDialogOpened = window->Playing();
        });
        window->SetLanguageDialog([this] {
            ++languageDialogs;
            playingWhenDialogOpened = window->Playing();
        });
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override
    {
        window.reset();
        indicator.reset();
        GUI::MessageBoxes::SetPresenterForTesting({});
    }

    int Bpm() const { return static_cast<int>(configuration.settings.Bpm); }
    QString StartText() const { return window->StartButton()->text(); }

    // A key press as the window gets it, with a repeat count.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int count = 1)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), false, static_cast<quint16>(count));
        QApplication::sendEvent(window.get(), &event);
    }

    void Digits(std::initializer_list<int> digits, std::vector<int>& tempos)
    {
        for (int digit : digits) {
            Key(Qt::Key_0 + digit);
            tempos.push_back(Bpm());
        }
    }

    void TapAt(std::int64_t ms)
    {
        tapNow = 100'000'000'000 + ms * 1'000'000;
        QTest::mouseClick(window->TapButton(), Qt::LeftButton);
    }

    void StartTrainer()
    {
        configuration.settings.SpeedTrainer = 1;
        window->OnCommand(GUI::ApplicationWindow::StartStop);
        ASSERT_TRUE(window->Playing());
    }

    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    std::unique_ptr<GUI::VisualBeatIndicator> indicator;
    std::unique_ptr<GUI::ApplicationWindow> window;
    std::vector<Tests::ShownBox> boxes;
    std::vector<int> settingsTabs;
    int languageDialogs = 0;
    bool playingWhenDialogOpened = true;
};

TEST_F(ApplicationWindowTest, ControlsSitWhereTheLayoutPutsThem)
{
    EXPECT_EQ(window->StartButton()->geometry(), QRect(282, 70, 100, 45));
    EXPECT_EQ(window->TapButton()->geometry(), QRect(338, 166, 48, 32));
    // The sliders start at 60, or after their labels when those need more, and end at Tap.
    for (QSlider* slider : {window->TempoSlider(), window->VolumeSlider()}) {
        EXPECT_GE(slider->x(), 60);
        EXPECT_EQ(slider->geometry().right(), 337);
    }
    EXPECT_EQ(window->TempoSlider()->geometry().top(), 170);
    EXPECT_EQ(window->VolumeSlider()->geometry().top(), 196);
    // Five buttons share the toolbar, the last the Link toggle (the Tools item itself), every
    // caption whole.
    QToolButton* link = window->Tools().ToggleButton();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->defaultAction(), window->CommandAction(GUI::ApplicationWindow::LinkSession));
    EXPECT_TRUE(link->defaultAction()->isCheckable());
    EXPECT_LE(link->geometry().right(), GUI::ApplicationWindow::ClientWidth);
    EXPECT_GT(window->Tools().Button(32773)->width(),
              window->Tools().Button(32773)->fontMetrics().horizontalAdvance("Options"));
    EXPECT_EQ(window->ReadOut().geometry(), QRect(10, 70, 200, 80));
    EXPECT_EQ(window->Indicator().geometry(), QRect(230, 76, 32, 32));
    EXPECT_EQ(StartText(), QStringLiteral("Start"));
    EXPECT_EQ(window->TapButton()->text(), QStringLiteral("Tap"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ticova"));
    // The toolbar ends above the read-out and the status bar starts below the lowest control.
    EXPECT_LE(window->Tools().Widget()->geometry().bottom(), 62);
    EXPECT_GE(window->findChild<QStatusBar*>()->geometry().top(), 220);
    EXPECT_EQ(window->TempoSlider()->value(), 7954);
    EXPECT_EQ(window->VolumeSlider()->value(), static_cast<int>(configuration.settings.GlobalVolume));
}

TEST_F(ApplicationWindowTest, StartAndStopByButtonKeysAndSpace)
{
    QTest::mouseClick(window->StartButton(), Qt::LeftButton);
    EXPECT_TRUE(window->Playing());
    EXPECT_EQ(StartText(), QStringLiteral("Stop"));
    EXPECT_EQ(metronome.starts, 1);
    QTest::keyClick(window.get(), Qt::Key_S);
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(StartText(), QStringLiteral("Start"));
    EXPECT_EQ(metronome.stops, 1);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(window->Playing());
    QTest::keyClick(window.get(), Qt::Key_Enter);
    EXPECT_FALSE(window->Playing());
    // Without the speed trainer Space starts and stops too.
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_TRUE(window->Playing());
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(metronome.starts, 3);
    EXPECT_EQ(metronome.stops, 3);
    EXPECT_EQ(metronome.pauses, 0);
    // 's' works while the Start button has the focus as well.
    window->StartButton()->setFocus();
    QTest::keyClick(window->StartButton(), Qt::Key_S);
    EXPECT_TRUE(window->Playing());
}

TEST_F(ApplicationWindowTest, SpacePausesOnlyUnderTheSpeedTrainer)
{
    StartTrainer();
    EXPECT_FALSE(window->TempoSlider()->isEnabled());
    EXPECT_EQ(configuration.settings.Bpm, 120u);
    EXPECT_EQ(window->ReadOut().Tempo(), 60);  // the trainer's first tempo
    EXPECT_TRUE(window->StatusState().isEmpty());
    // A pause is shown on the Start button and in the status bar, whatever the mouse is over.
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(StartText(), QStringLiteral("Stop (Paused)"));
    window->MouseOverControl(GUI::ApplicationWindow::VolumeSliderId);
    EXPECT_EQ(window->StatusState(), QStringLiteral("Paused: press Space to play on"));
    // The help text beside it ends where the state begins: the two are never drawn over each other.
    auto* help = window->findChild<QLabel*>(QStringLiteral("StatusMessage"));
    auto* state = window->findChild<QLabel*>(QStringLiteral("StatusState"));
    ASSERT_TRUE(help && state);
    QApplication::processEvents();
    EXPECT_EQ(help->text(), QStringLiteral("Sets the overall volume for the metronome"));
    EXPECT_TRUE(state->isVisible());
    EXPECT_LE(help->geometry().right(), state->geometry().left());
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(metronome.pauses, 2);
    EXPECT_TRUE(window->Playing());
    EXPECT_EQ(StartText(), QStringLiteral("Stop"));
    EXPECT_TRUE(window->StatusState().isEmpty());
    // Stopping while paused ends the pause with the run.
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTest::keyClick(window.get(), Qt::Key_S);
    EXPECT_TRUE(window->StatusState().isEmpty());
    EXPECT_EQ(StartText(), QStringLiteral("Start"));
    EXPECT_FALSE(window->Playing());
    EXPECT_TRUE(window->TempoSlider()->isEnabled());
    EXPECT_EQ(window->ReadOut().Tempo(), 120);
}

TEST_F(ApplicationWindowTest, SettingsAndLanguageCommandsStopFirst)
{
    const int commands[] = {GUI::ApplicationWindow::Options, GUI::ApplicationWindow::SoundSettings,
                            GUI::ApplicationWindow::AudioFiles, GUI::ApplicationWindow::Presets};
    for (int command : commands) {
        window->OnCommand(GUI::ApplicationWindow::StartStop);
        ASSERT_TRUE(window->Playing());
        window->CommandAction(command)->trigger();
        EXPECT_FALSE(playingWhenDialogOpened) << command;
        EXPECT_EQ(StartText(), QStringLiteral("Start"));
    }
    EXPECT_EQ(settingsTabs, (std::vector<int>{0, 1, 2, 3}));
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(languageDialogs, 1);
    EXPECT_FALSE(playingWhenDialogOpened);
    EXPECT_EQ(metronome.stops, 5);
    // Ctrl+O reaches the Options tab too; the toolbar's third button the Audio Files tab.
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    window->Tools().Action(32775)->trigger();
    EXPECT_EQ(settingsTabs, (std::vector<int>{0, 1, 2, 3, 0, 2}));
}

TEST_F(ApplicationWindowTest, KeyStepsWithMultipliersAndLimits)
{
    Key(Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Bpm(), 160);
    EXPECT_EQ(window->ReadOut().Tempo(), 160);

    // What is shown and stored stays what the metronome plays, 10 to 400, and the step after a
    // stop goes from there.
    window->RequestTempo(398);
    Key(Qt::Key_Up, Qt::NoModifier, 5);
    EXPECT_EQ(Bpm(), 400);
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Bpm(), 400);
    EXPECT_EQ(window->ReadOut().Tempo(), 400);
    EXPECT_EQ(metronome.tempos.back(), 400);
    EXPECT_EQ(window->TempoSlider()->value(), 9044);
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    Key(Qt::Key_Down);
    EXPECT_EQ(Bpm(), 399);

    window->RequestTempo(20);
    Key(Qt::Key_Down, Qt::NoModifier, 15);
    EXPECT_EQ(Bpm(), 10);
    EXPECT_EQ(window->ReadOut().Tempo(), 10);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Bpm(), 10);

    window->RequestTempo(100);
    Key(Qt::Key_Plus, Qt::KeypadModifier);
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Bpm(), 103);
    Key(Qt::Key_Minus, Qt::KeypadModifier | Qt::ShiftModifier);
    Key(Qt::Key_Left);
    Key(Qt::Key_Down);
    EXPECT_EQ(Bpm(), 99);
    // The minus key of the main keyboard is no tempo key.
    Key(Qt::Key_Minus);
    EXPECT_EQ(Bpm(), 99);
}

TEST_F(ApplicationWindowTest, KeysOnTheStartButtonAndSlidersReachTheWindow)
{
    window->RequestTempo(100);
    window->TempoSlider()->setFocus();
    QTest::keyClick(window->TempoSlider(), Qt::Key_Up);
    EXPECT_EQ(Bpm(), 101);
    QTest::keyClick(window->TempoSlider(), Qt::Key_PageUp);
    EXPECT_EQ(Bpm(), 111);
    // The focused volume slider moves with its own keys and leaves the tempo alone; other
    // keys (typed digits) still reach the window.
    window->VolumeSlider()->setFocus();
    window->VolumeSlider()->setValue(50);
    QTest::keyClick(window->VolumeSlider(), Qt::Key_PageUp);
    EXPECT_GT(window->VolumeSlider()->value(), 50);
    window->VolumeSlider()->setValue(50);
    QTest::keyClick(window->VolumeSlider(), Qt::Key_Up);
    QTest::keyClick(window->VolumeSlider(), Qt::Key_PageDown);
    EXPECT_EQ(Bpm(), 111);
    EXPECT_LT(window->VolumeSlider()->value(), 50);
    EXPECT_EQ(configuration.settings.GlobalVolume, static_cast<std::uint32_t>(window->VolumeSlider()->value()));
    window->StartButton()->setFocus();
    QTest::keyClick(window->StartButton(), Qt::Key_Down);
    EXPECT_EQ(Bpm(), 110);
}

TEST_F(ApplicationWindowTest, TypedDigits)
{
    std::vector<int> tempos;
    Digits({1, 2, 0}, tempos);
    EXPECT_EQ(tempos, (std::vector<int>{120, 12, 120}));
    tempos.clear();
    Digits({5, 0, 0}, tempos);
    EXPECT_EQ(tempos, (std::vector<int>{120, 50, 50}));
    // The last 0 began a new number: 0, 9 makes 9, no tempo; 5 then makes 95.
    tempos.clear();
    Digits({9, 5}, tempos);
    EXPECT_EQ(tempos, (std::vector<int>{50, 95}));
    // A digit starts the four-second expiry; a complete number stops it.
    QTimer* expiry = nullptr;
    for (QTimer* timer : window->findChildren<QTimer*>())
        if (timer->interval() == 4000)
            expiry = timer;
    ASSERT_NE(expiry, nullptr);
    EXPECT_FALSE(expiry->isActive());
    Key(Qt::Key_3);
    EXPECT_TRUE(expiry->isActive());
    // When it expires the digits are forgotten: 3 then 8 gives no 38.
    expiry->start(1);
    QTest::qWait(30);
    Key(Qt::Key_8);
    EXPECT_EQ(Bpm(), 95);
    Key(Qt::Key_5);
    EXPECT_EQ(Bpm(), 85);
    // Keypad digits are not typed tempi.
    Key(Qt::Key_7, Qt::KeypadModifier);
    Key(Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(Bpm(), 85);
}

TEST_F(ApplicationWindowTest, TypedDigitsWhilePlayingWaitForAThird)
{
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    std::vector<int> tempos;
    Digits({1, 5, 0}, tempos);
    EXPECT_EQ(tempos, (std::vector<int>{120, 120, 150}));
    EXPECT_EQ(metronome.tempos, (std::vector<std::int32_t>{150}));
    // Without a third digit the two play after a short pause: 10, the slowest tempo, as well.
    Key(Qt::Key_1);
    Key(Qt::Key_0);
    EXPECT_EQ(Bpm(), 150);
    QTest::qWait(GUI::TypedDigits::DeferMs / 2);
    EXPECT_EQ(Bpm(), 150);
    QTRY_COMPARE_WITH_TIMEOUT(Bpm(), 10, GUI::TypedDigits::DeferMs * 2);
    EXPECT_EQ(window->ReadOut().Tempo(), 10);
    EXPECT_EQ(metronome.tempos.back(), 10);
    // Stopped, two digits show at once.
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    tempos.clear();
    Digits({3, 4}, tempos);
    EXPECT_EQ(tempos, (std::vector<int>{10, 34}));
}

TEST_F(ApplicationWindowTest, TempoSliderPositions)
{
    const std::pair<int, int> positions[] = {{7109, 10}, {7954, 120}, {9044, 400}, {8000, 128}};
    for (auto [position, tempo] : positions) {
        window->TempoSlider()->setValue(position);
        EXPECT_EQ(Bpm(), tempo) << position;
        EXPECT_EQ(window->ReadOut().Tempo(), tempo) << position;
    }
    // While playing the metronome follows.
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    window->TempoSlider()->setValue(7109);
    ASSERT_FALSE(metronome.tempos.empty());
    EXPECT_EQ(metronome.tempos.back(), 10);
}

TEST_F(ApplicationWindowTest, VolumeSliderSetsTheGlobalVolume)
{
    configuration.settings.Volume[0] = 127;
    window->VolumeSlider()->setValue(50);
    EXPECT_EQ(configuration.settings.GlobalVolume, 50u);
    EXPECT_EQ(metronome.volumeChanges, 0);
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    window->VolumeSlider()->setValue(40);
    EXPECT_EQ(metronome.volumeChanges, 1);
    EXPECT_EQ(metronome.lastGlobalVolume, 40);
    EXPECT_EQ(metronome.lastVolume1, 127u);
}

TEST_F(ApplicationWindowTest, TapTempoWithTheModifierKeys)
{
    TapAt(0);
    TapAt(500);
    EXPECT_EQ(Bpm(), 120);  // nothing yet
    configuration.settings.Bpm = 90;
    TapAt(1000);
    EXPECT_EQ(Bpm(), 120);
    EXPECT_EQ(window->TempoSlider()->value(), 7954);
    tapKeys = Core::TapTempo::CtrlHeld;
    TapAt(1500);
    EXPECT_EQ(Bpm(), 240);
    tapKeys = Core::TapTempo::ShiftHeld;
    TapAt(2000);
    EXPECT_EQ(Bpm(), 60);
    // 't' taps as well, and with Ctrl or Shift as a click does; the focus goes back to the window.
    tapKeys = 0;
    tapNow += 500'000'000;
    QTest::keyClick(window.get(), Qt::Key_T);
    EXPECT_EQ(Bpm(), 120);
    EXPECT_TRUE(window->hasFocus());
    tapKeys = Core::TapTempo::CtrlHeld;
    tapNow += 500'000'000;
    QTest::keyClick(window.get(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(Bpm(), 240);
    tapKeys = Core::TapTempo::ShiftHeld;
    tapNow += 500'000'000;
    QTest::keyClick(window.get(), Qt::Key_T, Qt::ShiftModifier);
    EXPECT_EQ(Bpm(), 60);
}

TEST_F(ApplicationWindowTest, TheSpeedTrainerOwnsTheTempo)
{
    StartTrainer();
    Key(Qt::Key_PageUp);
    Key(Qt::Key_1);
    Key(Qt::Key_5);
    TapAt(0);
    TapAt(500);
    TapAt(1000);
    window->RequestTempo(200);
    EXPECT_EQ(Bpm(), 120);
    EXPECT_TRUE(metronome.tempos.empty());
    // Reloading settings (a preset) still works, and the trainer's tempo reports show.
    metronome.handler->OnTimerEvent(Core::IMetronomeEventHandler::TempoChanged, 75, Core::Moment());
    QTest::qWait(1);
    QApplication::processEvents();
    EXPECT_EQ(window->ReadOut().Tempo(), 75);
    EXPECT_EQ(Bpm(), 120);
}

TEST_F(ApplicationWindowTest, ReloadTakesTempoAndVolumeFromTheSettings)
{
    configuration.settings.Bpm = 77;
    configuration.settings.GlobalVolume = 33;
    window->ReloadSettings();
    EXPECT_EQ(window->ReadOut().Tempo(), 77);
    EXPECT_EQ(window->TempoSlider()->value(), GUI::TempoInput::SliderPosition(77));
    EXPECT_EQ(window->VolumeSlider()->value(), 33);
}

TEST_F(ApplicationWindowTest, StatusTextsFollowTheMouseMenuAndToolbar)
{
    QTest::mouseMove(window->StartButton(), QPoint(10, 10));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Starts or stops the metronome"));
    QTest::mouseMove(window->TapButton(), QPoint(5, 5));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Enables setting of the tempo via left clicking with the mouse"));
    QTest::mouseMove(&window->ReadOut(), QPoint(50, 40));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Displays the current tempo in beats per minute"));
    QTest::mouseMove(window->TempoSlider(), QPoint(50, 10));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Sets the tempo for the metronome"));
    EXPECT_TRUE(window->TempoSlider()->hasFocus());  // a slider under the mouse takes the focus
    // The background, between the sliders and the status bar, empties the line.
    QTest::mouseMove(window->Client(), QPoint(200, 224));
    EXPECT_EQ(window->StatusText(), QString());

    window->CommandAction(GUI::ApplicationWindow::Help)->hover();
    EXPECT_EQ(window->StatusText(), QStringLiteral("Displays the metronome manual"));
    window->CommandAction(GUI::ApplicationWindow::Exit)->hover();
    EXPECT_EQ(window->StatusText(), QStringLiteral("Exits the application"));

    QToolButton* presets = window->Tools().Button(32776);
    ASSERT_NE(presets, nullptr);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(presets, &enter);
    EXPECT_EQ(window->StatusText(), QStringLiteral("Creates or loads metronome presets"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(window->Tools().Widget(), &leave);
    EXPECT_EQ(window->StatusText(), QString());
}

TEST_F(ApplicationWindowTest, StatusNumbersOfEveryIdentifier)
{
    const std::pair<int, int> table[] = {{32771, 0}, {32772, 1}, {32773, 2}, {32774, 3}, {32775, 4},
                                         {32776, 5}, {32777, 7}, {32778, 8}, {1201, 9},  {1202, 10},
                                         {1001, 11}, {1203, 12}, {1204, 13}, {1003, 14}};
    for (auto [id, number] : table)
        EXPECT_EQ(GUI::ApplicationWindow::StatusInfoNumber(id), number) << id;
    EXPECT_EQ(GUI::ApplicationWindow::StatusInfoNumber(-1), -1);
    EXPECT_EQ(GUI::ApplicationWindow::StatusInfoNumber(1004), -1);
}

TEST_F(ApplicationWindowTest, FailedStartShowsTheMessageAndStaysStopped)
{
    metronome.startCode = 6;
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(StartText(), QStringLiteral("Start"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Invalid Custom Pattern"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    // Codes 2, 3 and 4 show nothing.
    metronome.startCode = 2;
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    EXPECT_EQ(boxes.size(), 1u);
    // No sound output: the box, and the window stays usable.
    metronome.startCode = 5;
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, QStringLiteral("Unable To Initialise Sound Source"));
    EXPECT_FALSE(boxes[1].text.contains(QStringLiteral("cannot be played")));
    Key(Qt::Key_Up);
    EXPECT_EQ(Bpm(), 121);
    // With audio files, the message names the file that cannot be played and its sound.
    configuration.settings.SoundEngineType = 1;
    std::copy_n(u"/no/such/click.wav", 19, configuration.settings.File[2]);
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_TRUE(boxes[2].text.endsWith(QStringLiteral("sound 3 cannot be played: /no/such/click.wav")))
        << boxes[2].text.toStdString();
    // A sound the run would play has no audio file: told at Start, naming the sound and its file.
    metronome.startCode = 12;
    metronome.soundWithoutFile = 3;
    configuration.settings.Instrument[3] = 6;
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_TRUE(boxes[3].text.startsWith(QStringLiteral("One of the sounds selected for playback didn't have")));
    EXPECT_TRUE(
        boxes[3].text.endsWith(QStringLiteral("Sound 4 plays audio file 7, which is not set on the Audio Files tab.")))
        << boxes[3].text.toStdString();
    EXPECT_FALSE(window->Playing());
}

// Above 300 bpm the subdivisions are left out: the status bar says so while such a run plays.
TEST_F(ApplicationWindowTest, SubdivisionsLeftOutAtAFastTempoAreTold)
{
    configuration.settings.Subdivision1 = 2;
    for (std::uint32_t bpm : {300u, 320u}) {
        configuration.settings.Bpm = bpm;
        window->OnCommand(GUI::ApplicationWindow::StartStop);
        EXPECT_EQ(window->StatusState().contains(QStringLiteral("left out above 300 bpm")), bpm > 300) << bpm;
        window->OnCommand(GUI::ApplicationWindow::StartStop);
        EXPECT_EQ(window->StatusState(), QString());
    }
    configuration.settings.Subdivision1 = 0;
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    EXPECT_EQ(window->StatusState(), QString()) << "nothing is left out";
}

TEST_F(ApplicationWindowTest, EventsFromTheTimerThreadAreShownOnTheWindowsThread)
{
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    std::thread timer([this] {
        metronome.handler->OnTimerEvent(Core::IMetronomeEventHandler::TempoChanged, 150, Core::Moment());
        metronome.StopItself(120);
        metronome.handler->OnError(3);
    });
    timer.join();
    // Nothing of the window is touched until the window's thread gets to it.
    EXPECT_EQ(StartText(), QStringLiteral("Stop"));
    EXPECT_TRUE(boxes.empty());
    QApplication::processEvents();
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(StartText(), QStringLiteral("Start"));
    EXPECT_EQ(window->ReadOut().Tempo(), 120);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Metronome Unable To Play"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
}

TEST_F(ApplicationWindowTest, AClickRightAfterASelfStopStartsAgainWithoutASecondStop)
{
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    std::thread timer([this] { metronome.StopItself(120); });
    timer.join();
    // The click comes before the report: the metronome is not stopped twice, it starts anew.
    QTest::mouseClick(window->StartButton(), Qt::LeftButton);
    EXPECT_EQ(metronome.stops, 0);
    EXPECT_EQ(metronome.starts, 2);
    EXPECT_TRUE(window->Playing());
    // The late report belongs to the run that is over and changes nothing.
    QApplication::processEvents();
    EXPECT_TRUE(window->Playing());
    EXPECT_EQ(StartText(), QStringLiteral("Stop"));
}

TEST_F(ApplicationWindowTest, MissingManualIsReported)
{
    window->SetManualPath(QStringLiteral("/nonexistent/Ticova.pdf"));
    bool opened = false;
    window->SetDocumentOpener([&](const QString&) { return opened = true; });
    window->OnCommand(GUI::ApplicationWindow::Help);
    EXPECT_FALSE(opened);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Help File Not Found"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);

    window->SetManualPath(QStringLiteral(TICOVA_SOURCE_DIR "/Doc/Manual.md"));
    window->SetDocumentOpener([&](const QString&) { return false; });
    window->OnCommand(GUI::ApplicationWindow::Help);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, QStringLiteral("Unable To Open Help File"));
}

TEST_F(ApplicationWindowTest, ClosingStopsAndSavesTheSettings)
{
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    window->RequestTempo(133);
    window->CommandAction(GUI::ApplicationWindow::Exit)->trigger();
    EXPECT_FALSE(metronome.running);
    EXPECT_EQ(configuration.saves, 1);
    EXPECT_EQ(configuration.savedBpm, 133u);
    // Destroying the window after closing does not save a second time.
    window.reset();
    EXPECT_EQ(configuration.saves, 1);
}

TEST_F(ApplicationWindowTest, TerminationSignalsQuitAsExitDoesFromOverADialog)
{
    std::vector<int> received;
    GUI::QuitSignals quitSignals([&](int signal) {
        received.push_back(signal);
        window->QuitAsExit();
    });
    ASSERT_TRUE(quitSignals.Installed());
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    window->RequestTempo(99);
    QDialog dialog(window.get());
    dialog.open();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);

    std::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return configuration.saves == 1; }));
    EXPECT_EQ(configuration.savedBpm, 99u);
    EXPECT_FALSE(metronome.running);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(window->isVisible());

    // Ctrl+C in a terminal and a hang-up take the same way; the program lives on to save.
    std::raise(SIGINT);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 2; }));
    std::raise(SIGHUP);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
    EXPECT_EQ(configuration.saves, 1);
}

TEST_F(ApplicationWindowTest, FailedLanguageChangeFallsBackToTheBuiltInTexts)
{
    std::u16string missing = u"zz-missing";
    std::copy(missing.begin(), missing.end(), configuration.language);
    window->ChangeLanguage(configuration.language);
    EXPECT_EQ(configuration.language[0], u'\0');
    EXPECT_EQ(StartText(), QStringLiteral("Start"));
    EXPECT_EQ(window->ReadOut().Label(), QStringLiteral("bpm"));
    EXPECT_TRUE(window->CommandAction(GUI::ApplicationWindow::Exit)->text().startsWith(QStringLiteral("E&xit")));
}

TEST_F(ApplicationWindowTest, LanguageChangeRenamesEverythingInPlace)
{
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    QPushButton* start = window->StartButton();
    QToolButton* options = window->Tools().Button(32773);
    // The mouse is over Start when the language changes: the English text must not stay.
    QTest::mouseMove(window->StartButton(), QPoint(10, 10));
    window->ChangeLanguage(u"de");
    EXPECT_EQ(window->StatusText(), QString());
    // The same widgets, with the new texts.
    EXPECT_EQ(window->StartButton(), start);
    EXPECT_EQ(window->Tools().Button(32773), options);
    EXPECT_EQ(window->TapButton()->text(), QStringLiteral("Tippen"));
    EXPECT_EQ(window->Tools().Action(32773)->text(), QStringLiteral("Optionen"));
    // Longer captions get the room they need: whole toolbar captions within the window, the
    // sliders after "Lautstärke".
    int toolbarWidth = 0;
    for (int command = 32773; command <= 32776; ++command) {
        QToolButton* button = window->Tools().Button(command);
        EXPECT_GT(button->width(), button->fontMetrics().horizontalAdvance(button->text())) << command;
        toolbarWidth += button->width();
    }
    if (QToolButton* link = window->Tools().ToggleButton())
        toolbarWidth += link->width();
    EXPECT_LE(toolbarWidth, GUI::ApplicationWindow::ClientWidth);
    auto* volumeLabel = window->Client()->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    for (QLabel* label : window->Client()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (label->text() == QStringLiteral("Lautstärke"))
            volumeLabel = label;
    ASSERT_EQ(volumeLabel->text(), QStringLiteral("Lautstärke"));
    EXPECT_GT(window->VolumeSlider()->x(),
              volumeLabel->x() + volumeLabel->fontMetrics().horizontalAdvance(volumeLabel->text()));
    EXPECT_EQ(window->menuBar()->actions().at(0)->text(), QStringLiteral("&Datei"));
    // The flash's and the setlists' menus, before Help, leave the other menus their texts.
    EXPECT_EQ(window->menuBar()->actions().at(2)->text(), QStringLiteral("&Ansicht"));
    EXPECT_EQ(window->menuBar()->actions().back()->text(), QStringLiteral("&Hilfe"));
    EXPECT_TRUE(window->CommandAction(GUI::ApplicationWindow::About)->text().startsWith(QStringLiteral("Ü&ber")));
    EXPECT_EQ(window->CommandAction(GUI::ApplicationWindow::Mute)->text(), QStringLiteral("&Stumm"));
    EXPECT_TRUE(window->CommandAction(GUI::ApplicationWindow::Language)->text().startsWith(QStringLiteral("&Sprache")));
    window->OnCommand(GUI::ApplicationWindow::StartStop);
    EXPECT_EQ(StartText(), QStringLiteral("Stopp"));
    QTest::mouseMove(window->StartButton(), QPoint(20, 12));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Startet oder stoppt das Metronom"));
    // Tool tips are read when they are shown.
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), options->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(options, &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Optionen des Metronoms bearbeiten"));
    QToolTip::hideText();
    System::SetLanguageFolderForTesting({});
}

// In every shipped language no two menus of the bar, and no two items of one menu, answer the
// same Alt key, and every shortcut is shown by the menu itself, so all in one spelling ("Strg+").
TEST_F(ApplicationWindowTest, MenusHaveDistinctMnemonicsAndOneShortcutSpellingInEveryLanguage)
{
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    for (const char16_t* language : {u"de", u"fr", u""}) {
        const std::string name = QString::fromUtf16(language).toStdString();
        window->ChangeLanguage(language);
        std::map<QKeySequence, QString> titles;
        for (QAction* title : window->menuBar()->actions()) {
            const QKeySequence key = QKeySequence::mnemonic(title->text());
            EXPECT_FALSE(key.isEmpty()) << name << ": " << title->text().toStdString();
            EXPECT_TRUE(titles.emplace(key, title->text()).second)
                << name << ": " << title->text().toStdString() << " and " << titles[key].toStdString();
            std::map<QKeySequence, QString> items;
            for (QAction* item : title->menu()->actions()) {
                if (item->isSeparator())
                    continue;
                EXPECT_FALSE(item->text().contains(u'\t')) << name << ": " << item->text().toStdString();
                const QKeySequence itemKey = QKeySequence::mnemonic(item->text());
                EXPECT_FALSE(itemKey.isEmpty()) << name << ": " << item->text().toStdString();
                EXPECT_TRUE(items.emplace(itemKey, item->text()).second)
                    << name << ": " << item->text().toStdString() << " and " << items[itemKey].toStdString();
            }
        }
    }
    EXPECT_EQ(window->CommandAction(GUI::ApplicationWindow::Exit)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    System::SetLanguageFolderForTesting({});
}

// A language file gone or broken since the last run: the window starts in English, the log says
// why, and the language is forgotten (the language dialog shows English chosen).
TEST(ApplicationWindowStartUpTest, ALanguageFileThatCannotBeLoadedFallsBackToEnglish)
{
    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    std::u16string missing = u"zz-missing";
    std::copy(missing.begin(), missing.end(), configuration.language);
    GUI::VisualBeatIndicator indicator;
    Tests::RecordingLog log;
    {
        GUI::ApplicationWindow window(metronome, configuration, indicator);
        EXPECT_TRUE(window.Initialise());
        EXPECT_EQ(window.StartButton()->text(), QStringLiteral("Start"));
        EXPECT_TRUE(System::CurrentLanguage().IsDefault());
    }
    EXPECT_EQ(configuration.language[0], u'\0');
    EXPECT_TRUE(log.Has(System::Warn, "The language 'zz-missing' could not be loaded; English is used instead"));
}

// Settings that cannot be saved at exit (a read-only folder, a full disk): the user is told
// where and why, since the changes made since start are lost.
TEST_F(ApplicationWindowTest, SettingsThatCannotBeSavedAreToldAtExit)
{
    configuration.problem = "/home/player/.config/Ticova: Read-only file system (open)";
    window->CommandAction(GUI::ApplicationWindow::Exit)->trigger();
    EXPECT_EQ(configuration.saves, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("/home/player/.config/Ticova: Read-only file system")));
}

}  // namespace

namespace {

// Tab reaches the toolbar (first), the Start button, the sliders, Tap and the window; F10 goes to
// the toolbar;
// Return on a focused toolbar button opens its page instead of starting the metronome. A screen
// reader reads the read-out as the tempo and the Start button as the state.
TEST_F(ApplicationWindowTest, KeysAloneReachTheToolbarAndEveryControlThatAScreenReaderNames)
{
    QToolButton* options = window->Tools().Button(GUI::ApplicationWindow::Options);
    QTest::keyClick(window.get(), Qt::Key_F10);
    ASSERT_EQ(QApplication::focusWidget(), options);
    // The Link toggle, where the toolbar has room for it, after the other buttons.
    QWidget* link = window->Tools().ToggleButton();
    std::vector<QWidget*> expected{window->Tools().Button(GUI::ApplicationWindow::SoundSettings),
                                   window->Tools().Button(GUI::ApplicationWindow::AudioFiles),
                                   window->Tools().Button(GUI::ApplicationWindow::Presets),
                                   window->StartButton(),
                                   window->TempoSlider(),
                                   window->VolumeSlider(),
                                   window->TapButton(),
                                   window.get(),  // its own keys set the tempo
                                   options};
    if (link != nullptr)
        expected.insert(expected.begin() + 3, link);
    std::vector<QWidget*> order;
    for (std::size_t step = 0; step < expected.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(order, expected);
    QTest::keyClick(window->Tools().Button(GUI::ApplicationWindow::AudioFiles), Qt::Key_Return);
    QTest::keyClick(window->Tools().Button(GUI::ApplicationWindow::Presets), Qt::Key_Space);
    EXPECT_EQ(settingsTabs, (std::vector<int>{2, 3}));
    EXPECT_EQ(metronome.starts, 0);
    EXPECT_EQ(metronome.pauses, 0);

    auto read = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name); };
    window->RequestTempo(137);
    EXPECT_EQ(read(&window->ReadOut()), QStringLiteral("137 bpm"));
    EXPECT_EQ(window->TempoSlider()->accessibleName(), QStringLiteral("Tempo"));
    // The tempo slider's logarithmic position is read and set as the tempo.
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(window->TempoSlider());
    ASSERT_NE(slider->valueInterface(), nullptr);
    EXPECT_EQ(slider->valueInterface()->currentValue().toInt(), 137);
    EXPECT_EQ(slider->text(QAccessible::Value), QStringLiteral("137 bpm"));
    slider->valueInterface()->setCurrentValue(90);
    EXPECT_EQ(Bpm(), 90);
    EXPECT_EQ(window->TempoSlider()->value(), GUI::TempoInput::SliderPosition(90));
    slider->valueInterface()->setCurrentValue(5000);
    EXPECT_EQ(Bpm(), 400);
    EXPECT_EQ(window->VolumeSlider()->accessibleDescription(),
              QStringLiteral("Sets the overall volume for the metronome"));
    EXPECT_EQ(read(window->StartButton()), QStringLiteral("Start"));
    StartTrainer();
    EXPECT_EQ(read(window->StartButton()), QStringLiteral("Stop"));
    window->OnCommand(GUI::ApplicationWindow::Pause);
    EXPECT_EQ(read(window->StartButton()), QStringLiteral("Stop (Paused)"));
}

TEST_F(ApplicationWindowTest, EveryCommandOfTheMenusAndTheWindowIsReachedByKeysAlone)
{
    window->SetDocumentOpener([](const QString&) { return true; });
    // A dialog a command opens is closed as soon as it shows, as Escape would close it.
    int dialogs = 0;
    QTimer dismiss;
    dismiss.callOnTimeout([&dialogs] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ++dialogs;
            modal->close();
        }
    });
    dismiss.start(10);
    QList<QAction*> actions = window->actions();
    for (QAction* title : window->menuBar()->actions()) {
        // Each menu opens with Alt and its letter.
        EXPECT_TRUE(title->text().contains(QLatin1Char('&'))) << title->text().toStdString();
        if (title->menu())
            actions += title->menu()->actions();
    }
    std::set<int> reached;
    for (QAction* action : actions) {
        const int command = action->data().toInt();
        if (command == 0 || command == GUI::ApplicationWindow::Exit)
            continue;  // separators, items of other parts; Exit would end the test
        SCOPED_TRACE(action->text().toStdString());
        if (action->shortcut().isEmpty()) {
            // Reached through its menu by its Alt letter.
            EXPECT_TRUE(action->text().contains(QLatin1Char('&')));
            reached.insert(command);
            continue;
        }
        int triggered = 0;
        const auto counted = QObject::connect(action, &QAction::triggered, [&triggered] { ++triggered; });
        QTest::keySequence(window.get(), action->shortcut());
        QObject::disconnect(counted);
        EXPECT_EQ(triggered, 1) << action->shortcut().toString().toStdString();
        if (triggered == 1)
            reached.insert(command);
        // The big flash takes the keyboard while it shows; the next key is the main window's.
        window->FlashWindow().close();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    dismiss.stop();
    EXPECT_EQ(reached.size(), 22u);  // with the Link toggle, a command of the table since it is a toolbar button too
    EXPECT_GE(dialogs, 5);           // count-in, practice log, setlists, songs, about
    EXPECT_EQ(settingsTabs, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(languageDialogs, 1);
}

}  // namespace
