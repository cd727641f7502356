// Pictures of the timing coach (its live strip, a take's charts and the consistency over days)
// in English, German and French, drawn offscreen from a made take: docs/coach-<language>.png.
//
//     QT_QPA_PLATFORM=offscreen gui_coach [folder, default docs] [language folder, default Lang]

#include <QApplication>
#include <QPixmap>
#include <cmath>
#include <random>

#include "GUI/CoachCharts.h"
#include "GUI/CoachDialog.h"
#include "GUI/CoachStrip.h"
#include "System/ILanguage.h"
#include "System/Language.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    // A take of 16 bars at 100 bpm: beat 3 late, a slow drift, the silent bars looser.
    std::vector<Core::TimingCoach::Beat> beats;
    std::vector<std::int64_t> hits;
    std::mt19937 random(4);
    std::normal_distribution<double> wobble(0, 4);
    for (int bar = 0; bar < 16; ++bar)
        for (int beat = 0; beat < 4; ++beat) {
            const std::int64_t at = (bar * 4 + beat) * 600'000'000LL;
            const bool silent = Core::TimingCoach::SilentInAlternatingPairs(bar);
            beats.push_back({at, beat, bar, silent});
            const double offset = (beat == 2 ? 12 : -3) + at / 1e9 * 0.3 + wobble(random) * (silent ? 2 : 1);
            hits.push_back(at + std::llround(offset * 1e6));
        }
    const Core::TimingCoach::Result result = Core::TimingCoach::Score(beats, hits, {});
    System::SetLanguageFolderForTesting(argc > 2 ? std::string(argv[2]) + "/" : std::string("Lang/"));
    const char* names[] = {"en", "de", "fr"};
    for (int language = 0; language < 3; ++language) {
        System::Language loaded;
        if (language > 0 && loaded.LoadLanguageFile(language == 1 ? u"de" : u"fr"))
            System::SetCurrentLanguage(&loaded);
        GUI::CoachDialog dialog;
        dialog.ShowResult(result);
        for (std::size_t i = result.hits.size() - 8; i < result.hits.size(); ++i)
            dialog.Strip().AddHit(result.hits[i].offsetMs, result.hits[i].silent);
        dialog.Charts().SetDays({{QStringLiteral("2.12."), 9.1},
                                 {QStringLiteral("3.12."), 8.4},
                                 {QStringLiteral("5.12."), 7.9},
                                 {QStringLiteral("6.12."), 6.2},
                                 {QStringLiteral("8.12."), 6.5},
                                 {QStringLiteral("9.12."), 5.3}});
        dialog.resize(760, 720);
        dialog.grab().save(folder + QStringLiteral("/coach-") + QString::fromLatin1(names[language]) + ".png");
        System::SetCurrentLanguage(nullptr);
    }
    return 0;
}
