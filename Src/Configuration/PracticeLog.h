#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Configuration {

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

    bool operator==(const PracticeRun&) const = default;
};

// The time practised on one day, over all its runs.
struct PracticeDay {
    int year = 0, month = 0, day = 0;
    double minutes = 0;
    int runs = 0;

    bool operator==(const PracticeDay&) const = default;
};

// The practice log, "Ticova-practice.csv" beside the configuration: one CSV line per run,
//   date,time,preset,tempo,beat type,minutes,trainer from,trainer to
//   2026-12-08,16:40,"Etude 3, slow",96,Beats Per Bar,12.50,,
// under a heading line. Only appended to, so a crash can cost at most the line being written.
// The file is outside input (edited in a spreadsheet, cut short by a crash): a line that does
// not read as a run is skipped, and the rest still count.
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
