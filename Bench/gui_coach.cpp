// Pictures of the timing coach (its live strip, a take's charts and the consistency over days)
// and of the practice log with the runs' timing, in English, German and French, drawn offscreen
// from a made take in eighths with every other two bars silent and a practice log of runs over
// two weeks, most of them timed: docs/coach-<language>.png and docs/coach-log-<language>.png.
//
//     QT_QPA_PLATFORM=offscreen gui_coach [folder, default docs] [language folder, default Lang]

#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <cmath>
#include <random>

#include "Configuration/PracticeLog.h"
#include "GUI/CoachCharts.h"
#include "GUI/CoachDialog.h"
#include "GUI/CoachStrip.h"
#include "GUI/PracticeLogDialog.h"
#include "System/ILanguage.h"
#include "System/Language.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    // A take of 16 bars of eighths at 100 bpm, bars 3 and 4 of every four silent: beat 3 late,
    // the "ands" rushed, a slow drift, the silent bars looser.
    std::vector<Core::TimingCoach::Beat> beats;
    std::vector<std::int64_t> hits;
    std::mt19937 random(4);
    std::normal_distribution<double> wobble(0, 4);
    for (int bar = 0; bar < 16; ++bar)
        for (int beat = 0; beat < 4; ++beat) {
            const std::int64_t at = (bar * 4 + beat) * 600'000'000LL;
            const bool silent = bar % 4 >= 2;
            beats.push_back({at, beat, bar, silent});
            for (int half = 0; half < 2; ++half) {
                const double lean = half == 1 ? -6 : beat == 2 ? 12 : -2;
                const double offset = lean + at / 1e9 * 0.3 + wobble(random) * (silent ? 2 : 1);
                hits.push_back(at + half * 300'000'000LL + std::llround(offset * 1e6));
            }
        }
    Core::TimingCoach::Options eighths;
    eighths.subdivisions = 2;
    const Core::TimingCoach::Result result = Core::TimingCoach::Score(beats, hits, eighths);
    // Two weeks of practice, most days with a take or two, steadier as they go.
    QTemporaryDir logFolder;
    const Configuration::PracticeLog log(logFolder.filePath(QStringLiteral("practice.csv")).toStdString());
    for (int day = 26; day <= 40; ++day) {
        if (day % 5 == 3)
            continue;  // a day off
        Configuration::PracticeRun run;
        run.year = 2026;
        run.month = day > 30 ? 12 : 11;
        run.day = day > 30 ? day - 30 : day;
        run.hour = 18;
        run.preset = day % 3 == 0 ? "Groove in eighths" : "Etude 3";
        run.tempo = 100;
        run.beatType = "Beats Per Bar";
        run.minutes = 10;
        run.timed = day % 4 != 1;
        run.timing = {-2.5 + wobble(random) * 0.3,
                      10.5 - 0.35 * (day - 26) + wobble(random) * 0.3,
                      1.8 - 0.08 * (day - 26),
                      230 + day,
                      3 - day % 3,
                      day % 2};
        log.Append(run);
    }
    System::SetLanguageFolderForTesting(argc > 2 ? std::string(argv[2]) + "/" : std::string("Lang/"));
    const char* names[] = {"en", "de", "fr"};
    for (int language = 0; language < 3; ++language) {
        System::Language loaded;
        if (language > 0 && loaded.LoadLanguageFile(language == 1 ? u"de" : u"fr"))
            System::SetCurrentLanguage(&loaded);
        GUI::CoachDialog dialog;
        if (auto* option = dialog.findChild<QCheckBox*>()) {
            // Shown chosen, without storing the choice.
            const QSignalBlocker quiet(option);
            option->setChecked(true);
        }
        dialog.ShowResult(result);
        for (std::size_t i = result.hits.size() - 8; i < result.hits.size(); ++i)
            dialog.Strip().AddHit(result.hits[i].offsetMs, result.hits[i].silent);
        dialog.SetPracticeLog(log);
        dialog.resize(760, 720);
        dialog.grab().save(folder + QStringLiteral("/coach-") + QString::fromLatin1(names[language]) + ".png");
        GUI::PracticeLogDialog practice(log);
        practice.resize(1360, 400);  // as on a desktop: the offscreen screen is smaller
        practice.grab().save(folder + QStringLiteral("/coach-log-") + QString::fromLatin1(names[language]) + ".png");
        System::SetCurrentLanguage(nullptr);
    }
    return 0;
}
