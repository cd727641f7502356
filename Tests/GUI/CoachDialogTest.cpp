#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include "GUI/CoachCharts.h"
#include "GUI/CoachDialog.h"
#include "GUI/CoachStrip.h"
#include "System/ILanguage.h"
#include "System/Language.h"

namespace {

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

}  // namespace
