#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "Configuration/ExtraSettings.h"
#include "GUI/CoachCharts.h"
#include "GUI/CoachControl.h"
#include "GUI/CoachDialog.h"
#include "GUI/CoachStrip.h"
#include "Support/WindowFakes.h"
#include "System/ILanguage.h"
#include "System/Language.h"

namespace {

bool HasLabel(const QWidget& window, const QString& start)
{
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text().startsWith(start))
            return true;
    return false;
}

// The strip's colour at the height of its marks, counted left and right of the beat line.
std::pair<int, int> MarksLeftAndRight(GUI::CoachStrip& strip, QRgb colour)
{
    const QImage image = strip.grab().toImage();
    int left = 0, right = 0;
    const int y = static_cast<int>(image.height() * 0.62);
    for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff))
            (x < image.width() / 2 ? left : right)++;
    return {left, right};
}

TEST(CoachDialog, TheStripMarksAnEarlyHitLeftAndALateOneRight)
{
    GUI::CoachStrip strip;
    strip.resize(640, 160);
    strip.AddHit(-20, false);
    auto [left, right] = MarksLeftAndRight(strip, qRgb(80, 160, 255));
    EXPECT_GT(left, 0);
    EXPECT_EQ(right, 0);
    strip.AddHit(+20, false);
    std::tie(left, right) = MarksLeftAndRight(strip, qRgb(255, 150, 40));
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 0);
}

TEST(CoachDialog, ATakesSummaryIsShownInTheChosenLanguageAndCanBeSaved)
{
    std::vector<Core::TimingCoach::Beat> beats;
    std::vector<std::int64_t> hits;
    for (int b = 0; b < 8; ++b) {
        beats.push_back({b * 500'000'000LL, b % 4, b / 4, false});
        hits.push_back(b * 500'000'000LL + 4'000'000);
    }
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    for (bool german : {false, true}) {
        System::Language loaded;
        if (german) {
            ASSERT_TRUE(loaded.LoadLanguageFile(u"de"));
            System::SetCurrentLanguage(&loaded);
        }
        GUI::CoachDialog dialog;
        auto* save = dialog.findChildren<QPushButton*>().back();
        EXPECT_FALSE(save->isEnabled()) << "nothing to save before a take";
        dialog.ShowResult(Core::TimingCoach::Score(beats, hits, {}));
        EXPECT_TRUE(save->isEnabled());
        bool found = false;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            found |= label->text().startsWith(!german ? QStringLiteral("Mean 4.0 ms, consistency 0.0 ms")
                                                      : QStringLiteral("Mittel 4.0 ms, Streuung 0.0 ms"));
        EXPECT_TRUE(found);
        // The charts draw a take with empty positions and no days without trouble.
        dialog.Charts().SetResult(Core::TimingCoach::Score(beats, {}, {}));
        EXPECT_FALSE(dialog.grab().isNull());
        System::SetCurrentLanguage(nullptr);
    }
}

// The option is the user's (kept, off at first), and the metronome leaves bars silent only
// while the coach's window is open with it chosen.
TEST(CoachDialog, MutedBarsOnlyWhileTheWindowIsOpenWithTheOptionChosen)
{
    Configuration::GetExtraSettings().Remove(GUI::CoachDialog::MuteKey);
    struct : Core::IBeatFlash {
        void Pulse(const Core::BeatPulse&) noexcept override {}
    } flash;
    Tests::FakeMetronome metronome;
    QWidget window;
    QMenu tools;
    GUI::CoachControl control(flash, metronome, &window);
    control.Place(&tools);
    tools.actions().front()->trigger();
    auto* dialog = window.findChild<GUI::CoachDialog*>();
    ASSERT_NE(dialog, nullptr);
    auto* option = dialog->findChild<QCheckBox*>();
    EXPECT_FALSE(option->isChecked());
    EXPECT_EQ(metronome.mutedBars, std::make_pair(0, 0));
    option->setChecked(true);
    EXPECT_EQ(metronome.mutedBars, std::make_pair(2, 2));
    EXPECT_TRUE(Configuration::GetExtraSettings().Flag(GUI::CoachDialog::MuteKey, false));
    dialog->hide();
    EXPECT_EQ(metronome.mutedBars, std::make_pair(0, 0)) << "a run without the coach plays every bar";
    tools.actions().front()->trigger();
    EXPECT_EQ(metronome.mutedBars, std::make_pair(2, 2));
    dialog->close();
    EXPECT_EQ(metronome.mutedBars, std::make_pair(0, 0));
    Configuration::GetExtraSettings().Remove(GUI::CoachDialog::MuteKey);
}

// A take is scored on the grid the run played: the beats' subdivisions, or where its beats were
// split differently (a song's sections), the grid they share; the window says which.
TEST(CoachDialog, ATakeIsScoredOnTheRunsSubdivisions)
{
    GUI::CoachDialog dialog;
    QPushButton* take = nullptr;
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("&Start take"))
            take = button;
    ASSERT_NE(take, nullptr);
    EXPECT_TRUE(HasLabel(dialog, QStringLiteral("Scored on the beats")));
    for (const int second : {2, 3}) {
        take->click();
        for (int b = 0; b < 8; ++b)
            dialog.OnBeat(b * 500'000'000LL, b % 4, 4, b / 4, b < 4 ? 2 : second, b >= 4);
        EXPECT_EQ(HasLabel(dialog, QStringLiteral("Scored on the beats and their subdivisions, %1").arg(second)), true);
        take->click();
        // No hits: every grid position of the take is missed.
        const bool halves = second == 2;
        EXPECT_TRUE(HasLabel(
            dialog,
            QStringLiteral("Mean 0.0 ms, consistency 0.0 ms, drift 0.0 ms per 30 s, %1 missed").arg(halves ? 16 : 8)));
        EXPECT_EQ(HasLabel(dialog, QStringLiteral("Scored on the beats and their subdivisions, 2")), halves);
    }
    // A saved take names each position as the charts do.
    std::vector<Core::TimingCoach::Beat> beats;
    std::vector<std::int64_t> hits;
    for (int b = 0; b < 2; ++b) {
        beats.push_back({b * 500'000'000LL, b, 0, false});
        hits.push_back(b * 500'000'000LL + 2'000'000);
        hits.push_back(b * 500'000'000LL + 250'000'000);
    }
    Core::TimingCoach::Options halves;
    halves.subdivisions = 2;
    EXPECT_EQ(GUI::CoachDialog::TakeCsv(Core::TimingCoach::Score(beats, hits, halves)),
              QStringLiteral("seconds,position,offset_ms,silent\n0.0000,1.1,2.00,0\n0.2500,1.2,0.00,0\n"
                             "0.5000,2.1,2.00,0\n0.7500,2.2,0.00,0\n"));
}

}  // namespace
