// The onset detector on made recordings: for each sound kind (clap, snare, hi-hat, pluck), in
// rooms of 0.1 to 0.8 s reverb above noise floors from -70 to -40 dB, the hits missed, the false
// hits, the detector's delay (found minus known) and its spread.
//
//     onset_detection [rate [hits-per-recording [seed]]]

#include <cstdio>
#include <cstdlib>

#include "Support/OnsetScore.h"

int main(int argc, char** argv)
{
    const double rate = argc > 1 ? std::atof(argv[1]) : 48000;
    const int hits = argc > 2 ? std::atoi(argv[2]) : 60;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1;
    std::printf("rate %.0f Hz, %d hits in each of 12 rooms and floors per kind\n", rate, hits);
    std::printf("%-8s %6s %7s %6s %10s %10s %10s\n", "kind", "hits", "misses", "false", "delay ms", "spread ms",
                "worst ms");
    double lowest = 1e9, highest = -1e9, widest = 0;
    int misses = 0, falseHits = 0;
    for (Tests::SoundKind kind : Tests::AllSoundKinds) {
        const Tests::DetectionScore score = Tests::ScoreKind(kind, rate, hits, seed * 1000);
        std::printf("%-8s %6d %7d %6d %10.3f %10.3f %10.3f\n", Tests::NameOf(kind), score.hits, score.misses,
                    score.falseHits, score.MeanMs(), score.SpreadMs(), score.WorstMs());
        lowest = std::min(lowest, score.MeanMs());
        highest = std::max(highest, score.MeanMs());
        widest = std::max(widest, score.SpreadMs());
        misses += score.misses;
        falseHits += score.falseHits;
    }
    std::printf("misses %d, false hits %d, largest spread (standard deviation) %.3f ms, delay across kinds "
                "%.3f..%.3f ms (range %.3f ms)\n",
                misses, falseHits, widest, lowest, highest, highest - lowest);
    return misses == 0 && falseHits == 0 ? 0 : 1;
}
