#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "Configuration/PracticeLog.h"
#include "ConfigurationTestSupport.h"
#include "Support/TestEnvironment.h"

namespace {

using Configuration::PracticeDay;
using Configuration::PracticeLog;
using Configuration::PracticeRun;

PracticeRun ARun(int day, int hour, double minutes, std::string preset = "", int from = 0, int to = 0)
{
    PracticeRun run;
    run.year = 2026;
    run.month = 12;
    run.day = day;
    run.hour = hour;
    run.minute = 5;
    run.preset = std::move(preset);
    run.tempo = 96;
    run.beatType = "Beats Per Bar";
    run.minutes = minutes;
    run.trainerFrom = from;
    run.trainerTo = to;
    return run;
}

TEST(PracticeLog, LinesReadBackAsTheRunsWithNamesQuotedAndTheTrainersRange)
{
    EXPECT_EQ(PracticeLog::Line(ARun(8, 16, 12.5)), "2026-12-08,16:05,,96,Beats Per Bar,12.50,,\n");
    EXPECT_EQ(PracticeLog::Line(ARun(8, 9, 3, "Etude \"3\", slow", 60, 120)),
              "2026-12-08,09:05,\"Etude \"\"3\"\", slow\",96,Beats Per Bar,3.00,60,120\n");
    // A line break in a name would split the line: it becomes a space.
    const std::vector<PracticeRun> written = {ARun(8, 16, 12.5), ARun(8, 9, 3, "Etude \"3\", slow", 60, 120),
                                              ARun(9, 23, 0.25, "line\nbreak")};
    std::string file = std::string(PracticeLog::Heading()) + "\r\n";
    for (const PracticeRun& run : written)
        file += PracticeLog::Line(run);
    std::vector<PracticeRun> read;
    EXPECT_EQ(PracticeLog::Parse(file, read), 0);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0], written[0]);
    EXPECT_EQ(read[1], written[1]);
    EXPECT_EQ(read[2].preset, "line break");
}

TEST(PracticeLog, DamagedLinesAreSkippedAndTheRestStillCount)
{
    const std::string good = PracticeLog::Line(ARun(8, 16, 10));
    const std::vector<std::string> damaged = {
        "2026-12-08,16:05,,96,Beats Per Bar,12.5",           // cut short by a crash
        "2026-12-08,16:05,,96,Beats Per Bar,12.5,,,extra",   // a field too many
        "2026-13-08,16:05,,96,Simple Beat,1,,",              // no such month
        "2026-12-08,24:00,,96,Simple Beat,1,,",              // no such hour
        "26-12-08,16:05,,96,Simple Beat,1,,",                // not the date's form
        "2026-12-08,16:05,,0,Simple Beat,1,,",               // no tempo
        "2026-12-08,16:05,,96,Simple Beat,-1,,",             // time runs forward
        "2026-12-08,16:05,,96,Simple Beat,nan,,",            // not a number
        "2026-12-08,16:05,,96,Simple Beat,1e300,,",          // no run is that long
        "2026-12-08,16:05,,96,Simple Beat,1,60,",            // half a range
        "2026-12-08,16:05,\"open quote,96,Simple Beat,1,,",  // quote never closed
        "2026-12-08,16:05,a\"b,96,Simple Beat,1,,",          // stray quote
        "2026-12-08,16:05,\"x\"y,96,Simple Beat,1,,",        // text after a closing quote
    };
    std::string file = good;
    for (const std::string& line : damaged)
        file += line + "\n" + good;
    std::vector<PracticeRun> runs;
    EXPECT_EQ(PracticeLog::Parse(file, runs), static_cast<int>(damaged.size()));
    EXPECT_EQ(runs.size(), damaged.size() + 1);
}

TEST(PracticeLog, TotalsPerDayAddTheRunsNewestDayFirst)
{
    const std::vector<PracticeRun> runs = {ARun(8, 9, 10), ARun(9, 10, 5), ARun(8, 22, 2.5), ARun(31, 1, 1)};
    EXPECT_EQ(PracticeLog::TotalsPerDay(runs),
              (std::vector<PracticeDay>{{2026, 12, 31, 1, 1}, {2026, 12, 9, 5, 1}, {2026, 12, 8, 12.5, 2}}));
    EXPECT_TRUE(PracticeLog::TotalsPerDay({}).empty());
}

// The file: a heading once, a run per line, and a line cut short by a crash does not swallow
// the next run.
// A run the coach heard carries its take's timing after the trainer's fields; lines without it
// (older files) still read, and a day's consistency weighs its runs by their hits.
TEST(PracticeLog, TimedRunsReadBackBesideOlderLinesAndGiveTheDaysConsistency)
{
    PracticeRun timed = ARun(9, 18, 4, "", 60, 120);
    timed.timed = true;
    timed.timing = {-3.2, 6.0, 1.5, 300, 3, 1};
    const std::string line = PracticeLog::Line(timed);
    EXPECT_EQ(line, "2026-12-09,18:05,,96,Beats Per Bar,4.00,60,120,-3.2,6.0,1.5,300,3,1\n");
    PracticeRun other = ARun(9, 19, 2);
    other.timed = true;
    other.timing = {1.0, 12.0, 0.5, 100, 0, 0};
    std::vector<PracticeRun> runs;
    const std::string older = "2026-12-09,08:05,,96,Beats Per Bar,1.00,,\n";
    EXPECT_EQ(PracticeLog::Parse(std::string(PracticeLog::Heading()) + "\n" + older + line + PracticeLog::Line(other) +
                                     "2026-12-09,20:05,,96,Beats Per Bar,1.00,,,-3.2,nan,1.5,300,3,1\n" +
                                     "2026-12-09,20:05,,96,Beats Per Bar,1.00,,,-3.2,6.0,1.5,300,3\n",
                                 runs),
              2);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_FALSE(runs[0].timed);
    EXPECT_EQ(runs[1], timed);
    const std::vector<PracticeDay> days = PracticeLog::TotalsPerDay(runs);
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].runs, 3);
    EXPECT_EQ(days[0].timedRuns, 2);
    EXPECT_DOUBLE_EQ(days[0].deviationMs, (6.0 * 300 + 12.0 * 100) / 400);
}

TEST(PracticeLog, AppendWritesTheHeadingOnceAndStartsAfterACutLine)
{
    const std::string path = Tests::MakeTempFolder("PracticeLogAppend") + "Ticova-practice.csv";
    PracticeLog log(path);
    std::vector<PracticeRun> runs;
    int skipped = -1;
    EXPECT_TRUE(log.Load(runs, skipped));
    EXPECT_TRUE(runs.empty());
    ASSERT_TRUE(log.Append(ARun(8, 9, 10)));
    Tests::WriteBytes(path, Tests::ReadBytes(path) + "2026-12-08,10:00,,9");
    ASSERT_TRUE(log.Append(ARun(8, 11, 5)));
    ASSERT_TRUE(log.Load(runs, skipped));
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(runs, (std::vector<PracticeRun>{ARun(8, 9, 10), ARun(8, 11, 5)}));
    const std::string text = Tests::ReadBytes(path);
    EXPECT_EQ(text.find(PracticeLog::Heading()), 0u);
    EXPECT_EQ(text.rfind(PracticeLog::Heading()), 0u);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);  // the user's alone, as the settings are

    EXPECT_FALSE(PracticeLog("/nonexistent/folder/log.csv").Append(ARun(8, 9, 1)));
}

}  // namespace
