#pragma once

// Sample runs of practice for the benchmarks that show the practice log.
#include <cstdint>
#include <initializer_list>

#include "Configuration/PracticeLog.h"

namespace Bench {

// One run of December 2026, as the log keeps it.
struct PracticeRun {
    int day, hour, minute;
    const char* preset;
    int tempo;
    std::uint32_t beatType;
    double minutes;
    int from, to;  // the speed trainer's tempi (0: none)
};

inline void AppendRuns(const Configuration::PracticeLog& log, std::initializer_list<PracticeRun> runs)
{
    for (const PracticeRun& run : runs) {
        Configuration::PracticeRun line;
        line.year = 2026;
        line.month = 12;
        line.day = run.day;
        line.hour = run.hour;
        line.minute = run.minute;
        line.preset = run.preset;
        line.tempo = run.tempo;
        line.beatType = Configuration::PracticeLog::BeatTypeName(run.beatType);
        line.minutes = run.minutes;
        line.trainerFrom = run.from;
        line.trainerTo = run.to;
        log.Append(line);
    }
}

}  // namespace Bench
