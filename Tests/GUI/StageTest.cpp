// The big flash and the setlists, in their windows and through the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <memory>
#include <thread>

#include "Configuration/ExtraSettings.h"
#include "Core/HeardTime.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/BigFlash.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/FlashFace.h"
#include "GUI/Model/VoicePalette.h"
#include "GUI/SetlistDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/Text.h"
#include "Support/WindowFakes.h"

namespace {

using GUI::ApplicationWindow;

void Press(QWidget* widget, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A pulse handed over from a thread of its own, as the timer thread does.
void PulseFromTimerThread(GUI::BigFlash& flash, Core::BeatPulse pulse)
{
    std::thread timer([&] { flash.Pulse(pulse); });
    timer.join();
}

std::uint32_t Colour(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

class StageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GUI::MessageBoxes::SetPresenterForTesting(
            [](QWidget*, QMessageBox::Icon, const QString&, const QString&) { return int(QMessageBox::Ok); });
        Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
        extras.RemovePrefix("setlist.");
        extras.RemovePrefix("flash.");
        AddPreset(u"Ballad", 72);
        AddPreset(u"Shuffle", 150);
        indicator = std::make_unique<GUI::VisualBeatIndicator>();
        window = std::make_unique<ApplicationWindow>(metronome, configuration, *indicator);
        ASSERT_TRUE(window->Initialise());
    }

    void TearDown() override
    {
        window.reset();
        GUI::MessageBoxes::SetPresenterForTesting({});
    }

    void AddPreset(const char16_t* name, std::uint32_t bpm)
    {
        Configuration::ConfigurationData preset;
        Platform::Text::Copy(preset.PresetName, name);
        preset.Bpm = bpm;
        configuration.presets[name] = preset;
    }

    GUI::BigFlash& Flash() { return window->FlashWindow(); }

    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    std::unique_ptr<GUI::VisualBeatIndicator> indicator;
    std::unique_ptr<ApplicationWindow> window;
};

TEST_F(StageTest, FlashShowsEachClickWhenHeardWithTheBeatNumberAndItsColour)
{
    Configuration::ConfigurationData settings;
    for (int voice = 0; voice < 12; ++voice)
        settings.Colour[voice] = static_cast<std::uint32_t>(voice);
    Flash().TakeColours(settings);
    window->OnCommand(ApplicationWindow::Flash);
    ASSERT_TRUE(Flash().isVisible());
    ASSERT_TRUE(Flash().Following());
    Flash().resize(400, 300);

    // Shown when heard, not when handed over.
    const Core::Moment heardAt = Core::HeardTime::Now() + std::chrono::milliseconds(120);
    PulseFromTimerThread(Flash(), {0, 4, 0, heardAt});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Flash().PulsesShown() == 1; }, 3000));
    EXPECT_GE(Core::HeardTime::Now(), heardAt);
    EXPECT_EQ(Flash().ShownNumber(), 1);
    EXPECT_TRUE(Flash().BeatLit());
    const std::uint32_t accent = GUI::FlashFace::Rgb(GUI::VoiceColour(0));
    EXPECT_EQ(Colour(Flash().grab().toImage(), 2, 2), accent);

    // A subdivision lights its disc behind the number, the beat's number stays; the window's
    // corner is dark again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Flash().BeatLit(); }, 2000));
    PulseFromTimerThread(Flash(), {-1, 4, 3, Core::Moment()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Flash().PulsesShown() == 2; }, 2000));
    EXPECT_TRUE(Flash().SubdivisionLit());
    EXPECT_EQ(Flash().ShownNumber(), 1);
    // A screen reader reads the beat, which a subdivision leaves as it was.
    EXPECT_EQ(Flash().LatestBeatText(), QStringLiteral("Beat 1 of 4"));
    QImage picture = Flash().grab().toImage();
    EXPECT_EQ(Colour(picture, 2, 2), GUI::FlashFace::Dark);

    // The second beat in its own voice's colour, not the accent's.
    PulseFromTimerThread(Flash(), {1, 4, 1, Core::Moment()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Flash().PulsesShown() == 3; }, 2000));
    EXPECT_EQ(Flash().ShownNumber(), 2);
    picture = Flash().grab().toImage();
    EXPECT_EQ(Colour(picture, 2, 2), GUI::FlashFace::Rgb(GUI::VoiceColour(1)));
    EXPECT_NE(Colour(picture, 2, 2), accent);

    // Stopping clears it.
    window->OnCommand(ApplicationWindow::StartStop);
    window->OnCommand(ApplicationWindow::StartStop);
    EXPECT_EQ(Flash().ShownNumber(), 0);
}

TEST_F(StageTest, FlashIsDrawnAtTheDevicePixelRatioNotScaledUp)
{
    window->OnCommand(ApplicationWindow::Flash);
    Flash().resize(300, 200);
    PulseFromTimerThread(Flash(), {2, 0, 1, Core::Moment()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Flash().PulsesShown() == 1 && !Flash().BeatLit(); }, 3000));

    // The same picture at twice the pixels: drawn there, its edges stay as sharp as at 1x
    // (few pixels between the dark and the number's colour), where an enlarged 1x picture
    // blurs them over twice the width.
    QImage sharp(Flash().size() * 2, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2.0);
    Flash().render(&sharp);
    QImage small(Flash().size(), QImage::Format_RGB32);
    Flash().render(&small);
    const QImage enlarged = small.scaled(Flash().size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto between = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const int level = qGray(image.pixel(x, y));
                count += level > 40 && level < 150 ? 1 : 0;
            }
        return count;
    };
    const int inked = [&] {
        int count = 0;
        for (int y = 0; y < sharp.height(); ++y)
            for (int x = 0; x < sharp.width(); ++x)
                count += qGray(sharp.pixel(x, y)) >= 150 ? 1 : 0;
        return count;
    }();
    ASSERT_GT(inked, 1000);  // the number "3" is there
    EXPECT_LT(between(sharp) * 10, between(enlarged) * 7);
}

TEST_F(StageTest, FlashKeysFullScreenEscapeAndMute)
{
    window->OnCommand(ApplicationWindow::Flash);
    GUI::BigFlash& flash = Flash();
    Press(&flash, Qt::Key_F11);
    EXPECT_TRUE(flash.isFullScreen());
    Press(&flash, Qt::Key_Escape);
    EXPECT_FALSE(flash.isFullScreen());
    EXPECT_TRUE(flash.isVisible());

    // M mutes from either window, and the menu item shows it; the flash keeps following.
    Press(&flash, Qt::Key_M);
    EXPECT_TRUE(window->Muted());
    EXPECT_TRUE(metronome.muted);
    EXPECT_TRUE(window->CommandAction(ApplicationWindow::Mute)->isChecked());
    EXPECT_TRUE(Configuration::GetExtraSettings().Flag("flash.mute", false));
    EXPECT_TRUE(flash.Following());
    window->CommandAction(ApplicationWindow::Mute)->trigger();
    EXPECT_FALSE(metronome.muted);

    // Escape out of a window closes it and its thread; its size is kept for the next time.
    flash.resize(510, 330);
    Press(&flash, Qt::Key_Escape);
    EXPECT_FALSE(flash.isVisible());
    EXPECT_FALSE(flash.Following());
    EXPECT_EQ(Configuration::GetExtraSettings().Number("flash.width", 0, 0, 99999), 510);
    window->OnCommand(ApplicationWindow::FullScreen);
    EXPECT_TRUE(flash.isFullScreen());
    EXPECT_TRUE(flash.Following());
    flash.close();
}

TEST_F(StageTest, SetlistMovesThroughItsPresetsSkippingMissingOnesAndAdvancesAfterItsBars)
{
    Configuration::Setlists& setlists = window->SetlistStore();
    setlists.Lists().push_back({"Friday", {"Ballad", "Deleted", "Shuffle", "Ballad"}, 8});
    EXPECT_TRUE(window->SetlistBar()->isHidden());
    const int plainHeight = window->height();

    window->UseSetlist(0);
    EXPECT_FALSE(window->SetlistBar()->isHidden());
    EXPECT_GT(window->height(), plainHeight);  // the window makes room for the bar
    EXPECT_EQ(configuration.settings.Bpm, 72u);
    EXPECT_EQ(window->SetlistPosition(), QStringLiteral("Friday: 1 of 4   Ballad"));

    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_N);
    EXPECT_EQ(configuration.settings.Bpm, 150u);
    EXPECT_EQ(window->SetlistPosition(), QStringLiteral("Friday: 3 of 4   Shuffle"));
    QTest::keyClick(window.get(), Qt::Key_B);
    EXPECT_EQ(window->SetlistPosition(), QStringLiteral("Friday: 1 of 4   Ballad"));
    window->OnCommand(ApplicationWindow::NextEntry);

    // The entry's bars played, the run that stopped itself goes on with the next entry.
    window->OnCommand(ApplicationWindow::StartStop);
    EXPECT_EQ(metronome.barLimit, 8);
    ASSERT_TRUE(window->Playing());
    std::thread timer([&] {
        metronome.handler->OnTimerEvent(Core::IMetronomeEventHandler::BarsPlayed, 0, Core::Moment());
        metronome.running = false;
        metronome.handler->OnStopped(150);
    });
    timer.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return metronome.starts == 2; }, 2000));
    EXPECT_TRUE(window->Playing());
    EXPECT_EQ(configuration.settings.Bpm, 72u);
    EXPECT_EQ(window->SetlistPosition(), QStringLiteral("Friday: 4 of 4   Ballad"));

    // Stored in the second settings file; read back, the deleted preset is still listed.
    const Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    EXPECT_EQ(extras.Text("setlist.1.2"), "Deleted");
    EXPECT_EQ(extras.Number("setlist.position", 0, 0, 99), 4);
    Configuration::Setlists back;
    back.Read(extras);
    ASSERT_EQ(back.Lists().size(), 1u);
    EXPECT_EQ(back.Lists()[0].presets.size(), 4u);

    window->OnCommand(ApplicationWindow::LeaveSetlist);
    EXPECT_TRUE(window->SetlistBar()->isHidden());
    EXPECT_EQ(window->height(), plainHeight);
}

// Playing, the next entry is handed to the metronome to take over on its grid (after the list's
// bars, or at the next bar line after N and B) and is loaded when it does: the settings shown
// are those heard, and nothing stops or starts.
TEST_F(StageTest, SetlistEntriesTakeOverFromTheRunningOneAndAreLoadedWhenHeard)
{
    using ChangeAt = Core::IMetronome::ChangeAt;
    const auto takeOver = [&](const QString& position, std::uint32_t bpm) {
        std::thread timer([&] { metronome.TakeOver(); });
        timer.join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return configuration.settings.Bpm == bpm; }, 2000));
        EXPECT_EQ(window->SetlistPosition(), position);
    };
    AddPreset(u"March", 110);
    window->SetlistStore().Lists().push_back({"Friday", {"Ballad", "Shuffle", "March"}, 4});
    window->UseSetlist(0);
    window->OnCommand(ApplicationWindow::StartStop);
    ASSERT_TRUE(window->Playing());
    ASSERT_EQ(metronome.continues.size(), 1u);
    EXPECT_EQ(metronome.waiting.bpm, 150);
    EXPECT_EQ(metronome.waiting.at, ChangeAt::BarLimit);
    EXPECT_EQ(metronome.waiting.barLimit, 4);

    takeOver(QStringLiteral("Friday: 2 of 3   Shuffle"), 150);
    EXPECT_EQ(metronome.waiting.bpm, 110) << "the one after it is queued in turn";

    // N: shown in the list at once, heard (and loaded) from the bar line; back with B, the entry
    // playing goes on to its end as if nothing had been pressed.
    window->OnCommand(ApplicationWindow::NextEntry);
    EXPECT_EQ(window->SetlistPosition(), QStringLiteral("Friday: 3 of 3   March"));
    EXPECT_EQ(metronome.waiting.at, ChangeAt::BarLine);
    EXPECT_EQ(configuration.settings.Bpm, 150u);
    window->OnCommand(ApplicationWindow::PreviousEntry);
    EXPECT_EQ(metronome.waiting.bpm, 110);
    EXPECT_EQ(metronome.waiting.at, ChangeAt::BarLimit);
    window->OnCommand(ApplicationWindow::PreviousEntry);
    EXPECT_EQ(metronome.waiting.bpm, 72);
    takeOver(QStringLiteral("Friday: 1 of 3   Ballad"), 72);
    EXPECT_EQ(metronome.starts, 1);
    EXPECT_EQ(metronome.stops, 0);

    // Stopped before the bar line, the entry N chose is the one loaded.
    window->OnCommand(ApplicationWindow::NextEntry);
    window->OnCommand(ApplicationWindow::StartStop);
    EXPECT_FALSE(window->Playing());
    EXPECT_EQ(configuration.settings.Bpm, 150u);
    EXPECT_EQ(window->SetlistPosition(), QStringLiteral("Friday: 2 of 3   Shuffle"));

    // An entry the metronome cannot go on with is started afresh, as when stopped.
    window->OnCommand(ApplicationWindow::StartStop);
    metronome.continueCode = 5;
    window->OnCommand(ApplicationWindow::NextEntry);
    EXPECT_EQ(metronome.starts, 3);
    EXPECT_EQ(configuration.settings.Bpm, 110u);
    EXPECT_TRUE(window->Playing());
}

// A song entry plays whole with the settings in use, takes over from a preset at the end of its
// bars, and the preset after it takes over at the song's end; a song that is gone is skipped.
TEST_F(StageTest, SongEntriesOfASetlistFollowPresetsAndPresetsFollowThem)
{
    using ChangeAt = Core::IMetronome::ChangeAt;
    Configuration::Song song;
    song.name = "Opener";
    song.sections = {Configuration::SongSection{}};
    song.sections[0].label = "intro";
    window->Songs().Library().Songs().push_back(song);
    Configuration::Setlist gig{"Gig", {}, 4};
    gig.Insert(0, "Ballad", false);
    gig.Insert(1, "Opener", true);
    gig.Insert(2, "Gone", true);
    gig.Insert(3, "Shuffle", false);
    window->SetlistStore().Lists().push_back(gig);
    window->UseSetlist(0);
    window->OnCommand(ApplicationWindow::StartStop);
    ASSERT_EQ(metronome.continues.size(), 1u);
    EXPECT_EQ(metronome.waiting.at, ChangeAt::BarLimit);
    EXPECT_EQ(metronome.waiting.barLimit, 0) << "a song plays to its end";
    ASSERT_TRUE(metronome.song.has_value());
    EXPECT_EQ(metronome.song->name, "Opener");
    EXPECT_EQ(metronome.waiting.bpm, 72) << "with the sounds and settings in use";

    std::thread timer([&] { metronome.TakeOver(); });
    timer.join();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window->SetlistPosition().contains(QStringLiteral("Opener (song)")); }, 2000));
    EXPECT_EQ(window->ReadOut().Caption(), QStringLiteral("intro  bar 1"));
    EXPECT_EQ(configuration.settings.Bpm, 72u) << "no preset of the song's name is loaded";
    ASSERT_EQ(metronome.continues.size(), 2u);
    EXPECT_EQ(metronome.waiting.bpm, 150) << "the song that is gone is skipped";
    EXPECT_EQ(metronome.waiting.barLimit, 4);
}

TEST_F(StageTest, SetlistDialogEditsListsAndShowsMissingPresets)
{
    Configuration::Setlists setlists;
    setlists.Lists().push_back({"Friday", {"Ballad", "Deleted"}, 0});
    GUI::SetlistDialog dialog(setlists, configuration, window.get());
    ASSERT_EQ(dialog.Entries()->count(), 2);
    EXPECT_EQ(dialog.Entries()->item(1)->text(), QStringLiteral("Deleted (missing)"));
    EXPECT_EQ(dialog.Presets()->count(), 2);

    // The same preset twice, moved, removed; a second list.
    dialog.Entries()->setCurrentRow(0);
    dialog.Presets()->setCurrentIndex(dialog.Presets()->findText(QStringLiteral("Shuffle")));
    dialog.AddEntry();
    dialog.AddEntry();
    EXPECT_EQ(setlists.Lists()[0].presets, (std::vector<std::string>{"Ballad", "Shuffle", "Shuffle", "Deleted"}));
    dialog.Entries()->setCurrentRow(3);
    dialog.MoveEntry(-1);
    dialog.RemoveEntry();
    EXPECT_EQ(setlists.Lists()[0].presets, (std::vector<std::string>{"Ballad", "Shuffle", "Shuffle"}));
    dialog.Bars()->setValue(12);
    EXPECT_EQ(setlists.Lists()[0].advanceBars, 12);
    dialog.NewList(QStringLiteral("Sunday"));
    EXPECT_EQ(dialog.Entries()->count(), 0);
    dialog.RenameList(QStringLiteral("Sunday matinee"));
    EXPECT_EQ(setlists.Lists()[1].name, "Sunday matinee");
    dialog.Play();
    EXPECT_EQ(dialog.Chosen(), 1);
}

}  // namespace
