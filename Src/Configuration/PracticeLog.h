#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Configuration {

// How a run was played against the click, when the timing coach heard a take of it.
struct PracticeTiming {
    double meanMs = 0;  // negative: ahead of the click
    double deviationMs = 0;
    double driftMsPer30s = 0;
    int hits = 0, misses = 0, extras = 0;

    bool operator==(const PracticeTiming&) const = default;
};

// One run as the practice log keeps it.
struct PracticeRun {
    int year = 0, month = 0, day = 0;  // when it started, local time
    int hour = 0, minute = 0;
    std::string preset;    // the preset's name, UTF-8; empty when none was loaded
    int tempo = 0;         // bpm at the end of the run
    std::string beatType;  // "Simple Beat", "Beats Per Bar", "Custom Pattern", "Custom Rhythm"
    double minutes = 0;
    int trainerFrom = 0;  // the speed trainer's tempo range; 0 and 0 without the trainer
    int trainerTo = 0;
    bool timed = false;  // the coach heard a take of it
    PracticeTiming timing;

    bool operator==(const PracticeRun&) const = default;
};

// The time practised on one day, over all its runs.
struct PracticeDay {
    int year = 0, month = 0, day = 0;
    double minutes = 0;
    int runs = 0;
    int timedRuns = 0;       // of them, those the coach heard
    double deviationMs = 0;  // their consistency, weighted by their hits (0 without)

    bool operator==(const PracticeDay&) const = default;
};

// The practice log, "Ticova-practice.csv" beside the configuration: one CSV line per run,
//   date,time,preset,tempo,beat type,minutes,trainer from,trainer to
//   2026-12-08,16:40,"Etude 3, slow",96,Beats Per Bar,12.50,,
// under a heading line. A run the timing coach heard a take of has six fields more: the mean
// offset, the consistency and the drift in ms, the hits, misses and extras,
//   2026-12-09,18:05,,120,Simple Beat,4.00,,,-3.2,6.1,1.5,412,3,1
// (the heading stays as it was, so that a file reads alike wherever it came from). Only appended to, so a crash can
// cost at most the line being written. The file is outside input (edited in a spreadsheet, cut short by a crash): a
// line that does not read as a run is skipped, and the rest still count.
class PracticeLog {
public:
    // Only the newest part of a larger file is read.
    static constexpr std::size_t ReadLimit = 4u << 20;
    static constexpr double LongestRunMinutes = 100000;

    PracticeLog() = default;
    explicit PracticeLog(std::string path) : _path(std::move(path)) {}
    std::string Path() const;

    // The line of one run, its ending included; commas, quotes and line breaks in the preset's
    // name are quoted or made spaces.
    static std::string Line(const PracticeRun& run);
    static std::string_view Heading();
    // The runs of file text, in file order; the count of lines skipped as damaged (the heading
    // and blank lines are not).
    static int Parse(std::string_view contents, std::vector<PracticeRun>& runs);
    // Minutes and runs per day, the newest day first.
    static std::vector<PracticeDay> TotalsPerDay(const std::vector<PracticeRun>& runs);
    // "The beat type" word of the log for a settings BeatType (0..3).
    static std::string_view BeatTypeName(std::uint32_t beatType);

    // Adds one run at the end, the heading first when the file is new. False (logged) when
    // it cannot be written.
    bool Append(const PracticeRun& run) const;
    // The runs of the file (none when it is missing); false (logged) when it cannot be read.
    // `partial`, when given, tells whether the file was larger than ReadLimit, so that only its
    // newest runs were read.
    bool Load(std::vector<PracticeRun>& runs, int& skipped, bool* partial = nullptr) const;

private:
    std::string _path;
};

}  // namespace Configuration
