#include "Configuration/PracticeLog.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <tuple>

#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "System/ILog.h"

namespace Configuration {

namespace {

constexpr std::string_view HeadingLine = "date,time,preset,tempo,beat type,minutes,trainer from,trainer to";
constexpr std::size_t FieldCount = 8;
constexpr std::size_t TimedFieldCount = FieldCount + 6;
constexpr double LargestOffsetMs = 10000;
constexpr int MostHits = 10'000'000;
constexpr int HighestTempo = 1000;

constexpr std::string_view BeatTypes[] = {"Simple Beat", "Beats Per Bar", "Custom Pattern", "Custom Rhythm"};

// A field as written: quoted when it holds a comma or a quote; line breaks never get that far.
void AppendField(std::string& line, std::string_view field)
{
    std::string clean;
    for (const char c : field)
        clean += c == '\n' || c == '\r' ? ' ' : c;
    if (clean.find_first_of(",\"") == std::string::npos) {
        line += clean;
        return;
    }
    line += '"';
    for (const char c : clean) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

// Splits one line into its fields; false for a quote that does not close where a field ends.
bool SplitFields(std::string_view line, std::vector<std::string>& fields)
{
    fields.clear();
    std::size_t at = 0;
    for (;;) {
        std::string field;
        if (at < line.size() && line[at] == '"') {
            ++at;
            for (;;) {
                if (at >= line.size())
                    return false;
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        field += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                field += line[at++];
            }
            if (at < line.size() && line[at] != ',')
                return false;
        } else {
            const std::size_t comma = line.find(',', at);
            const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
            field.assign(line.substr(at, end - at));
            if (field.find('"') != std::string::npos)
                return false;
            at = end;
        }
        fields.push_back(std::move(field));
        if (fields.size() > TimedFieldCount)
            return false;
        if (at >= line.size())
            return true;
        ++at;  // the comma
    }
}

bool Integer(std::string_view text, int low, int high, int& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// "YYYY-MM-DD" and "HH:MM", fixed widths.
bool Date(std::string_view text, PracticeRun& run)
{
    return text.size() == 10 && text[4] == '-' && text[7] == '-' && Integer(text.substr(0, 4), 1970, 9999, run.year) &&
        Integer(text.substr(5, 2), 1, 12, run.month) && Integer(text.substr(8, 2), 1, 31, run.day);
}

bool Time(std::string_view text, PracticeRun& run)
{
    return text.size() == 5 && text[2] == ':' && Integer(text.substr(0, 2), 0, 23, run.hour) &&
        Integer(text.substr(3, 2), 0, 59, run.minute);
}

bool Number(std::string_view text, double low, double high, double& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value) && value >= low &&
        value <= high;
}

bool Minutes(std::string_view text, double& minutes)
{
    return Number(text, 0, PracticeLog::LongestRunMinutes, minutes);
}

// The coach's six fields after the trainer's.
bool Timing(const std::vector<std::string>& fields, PracticeTiming& timing)
{
    return Number(fields[8], -LargestOffsetMs, LargestOffsetMs, timing.meanMs) &&
        Number(fields[9], 0, LargestOffsetMs, timing.deviationMs) &&
        Number(fields[10], -LargestOffsetMs, LargestOffsetMs, timing.driftMsPer30s) &&
        Integer(fields[11], 0, MostHits, timing.hits) && Integer(fields[12], 0, MostHits, timing.misses) &&
        Integer(fields[13], 0, MostHits, timing.extras);
}

// A figure as the reader takes it back: finite and within its range.
double Clamped(double ms, bool signedValue)
{
    if (!std::isfinite(ms))
        return 0;
    return std::clamp(ms, signedValue ? -LargestOffsetMs : 0.0, LargestOffsetMs);
}

bool ParseLine(std::string_view line, std::vector<std::string>& fields, PracticeRun& run)
{
    if (!SplitFields(line, fields) || (fields.size() != FieldCount && fields.size() != TimedFieldCount))
        return false;
    run = PracticeRun{};
    if (!Date(fields[0], run) || !Time(fields[1], run) || !Integer(fields[3], 1, HighestTempo, run.tempo) ||
        !Minutes(fields[5], run.minutes))
        return false;
    run.preset = fields[2];
    run.beatType = fields[4];
    run.timed = fields.size() == TimedFieldCount;
    if (run.timed && !Timing(fields, run.timing))
        return false;
    // Both ends of the trainer's range, or neither.
    if (fields[6].empty() && fields[7].empty())
        return true;
    return Integer(fields[6], 0, HighestTempo, run.trainerFrom) && Integer(fields[7], 0, HighestTempo, run.trainerTo);
}

}  // namespace

std::string PracticeLog::Path() const
{
    return _path.empty() ? Platform::DataFile("Ticova-practice.csv") : _path;
}

std::string_view PracticeLog::Heading()
{
    return HeadingLine;
}

std::string_view PracticeLog::BeatTypeName(std::uint32_t beatType)
{
    return beatType < std::size(BeatTypes) ? BeatTypes[beatType] : std::string_view("?");
}

std::string PracticeLog::Line(const PracticeRun& run)
{
    char when[32];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d,%02d:%02d,", run.year, run.month, run.day, run.hour, run.minute);
    std::string line = when;
    AppendField(line, run.preset);
    line += ',' + std::to_string(run.tempo) + ',';
    AppendField(line, run.beatType);
    char minutes[32];
    std::snprintf(minutes, sizeof minutes, ",%.2f,", run.minutes);
    line += minutes;
    if (run.trainerFrom != 0 || run.trainerTo != 0)
        line += std::to_string(run.trainerFrom) + ',' + std::to_string(run.trainerTo);
    else
        line += ',';
    if (run.timed) {
        char timing[160];
        std::snprintf(timing, sizeof timing, ",%.1f,%.1f,%.1f,%d,%d,%d", Clamped(run.timing.meanMs, true),
                      Clamped(run.timing.deviationMs, false), Clamped(run.timing.driftMsPer30s, true),
                      std::clamp(run.timing.hits, 0, MostHits), std::clamp(run.timing.misses, 0, MostHits),
                      std::clamp(run.timing.extras, 0, MostHits));
        line += timing;
    }
    line += '\n';
    return line;
}

int PracticeLog::Parse(std::string_view contents, std::vector<PracticeRun>& runs)
{
    if (contents.substr(0, 3) == "\xEF\xBB\xBF")
        contents.remove_prefix(3);
    int skipped = 0;
    std::vector<std::string> fields;
    PracticeRun run;
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        std::string_view line = contents.substr(0, end);
        contents = end == std::string_view::npos ? std::string_view{} : contents.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line == HeadingLine)
            continue;
        if (ParseLine(line, fields, run))
            runs.push_back(run);
        else
            ++skipped;
    }
    return skipped;
}

std::vector<PracticeDay> PracticeLog::TotalsPerDay(const std::vector<PracticeRun>& runs)
{
    std::map<std::tuple<int, int, int>, PracticeDay, std::greater<>> days;
    std::map<std::tuple<int, int, int>, int> hits;
    for (const PracticeRun& run : runs) {
        PracticeDay& day = days[{run.year, run.month, run.day}];
        day.year = run.year;
        day.month = run.month;
        day.day = run.day;
        day.minutes += run.minutes;
        ++day.runs;
        if (run.timed && run.timing.hits > 0) {
            ++day.timedRuns;
            day.deviationMs += run.timing.deviationMs * run.timing.hits;  // weighted; divided below
            hits[{run.year, run.month, run.day}] += run.timing.hits;
        }
    }
    std::vector<PracticeDay> totals;
    for (const auto& entry : days) {
        totals.push_back(entry.second);
        if (const int count = hits[entry.first]; count > 0)
            totals.back().deviationMs /= count;
    }
    return totals;
}

bool PracticeLog::Append(const PracticeRun& run) const
{
    const std::string path = Path();
    if (path.empty())
        return false;
    Platform::File file;
    if (!file.Open(path, Platform::File::Mode::Append)) {
        System::Log().Write(System::Error, "Practice log %s: %s failed (error %d); the run is not logged", path.c_str(),
                            file.FailedCall(), file.Error());
        return false;
    }
    std::string text;
    const std::int64_t size = file.Size();
    if (size == 0) {
        text = HeadingLine;
        text += '\n';
    } else if (size > 0) {
        // A line cut short by a crash would swallow this one: it starts on a line of its own.
        char last = '\n';
        Platform::File reader;
        if (reader.Open(path, Platform::File::Mode::Read) && reader.Seek(size - 1))
            reader.Read(&last, 1);
        if (last != '\n')
            text = "\n";
    }
    text += Line(run);
    if (!file.Write(text.data(), text.size())) {
        System::Log().Write(System::Error, "Practice log %s: %s failed (error %d); the run is not logged", path.c_str(),
                            file.FailedCall(), file.Error());
        return false;
    }
    return true;
}

bool PracticeLog::Load(std::vector<PracticeRun>& runs, int& skipped, bool* partial) const
{
    skipped = 0;
    if (partial != nullptr)
        *partial = false;
    const std::string path = Path();
    if (path.empty() || !Platform::File::Exists(path))
        return true;
    Platform::File file;
    std::string contents;
    std::int64_t size = -1;
    bool ok = file.Open(path, Platform::File::Mode::Read) && (size = file.Size()) >= 0;
    if (ok) {
        // Of a very long log, only its newest runs; the first line read may be cut.
        const auto limit = static_cast<std::int64_t>(ReadLimit);
        const std::int64_t start = size > limit ? size - limit : 0;
        if (partial != nullptr)
            *partial = start > 0;
        ok = file.Seek(start);
        contents.resize(static_cast<std::size_t>(size - start));
        std::size_t done = 0;
        while (ok && done < contents.size()) {
            const long got = file.Read(contents.data() + done, contents.size() - done);
            ok = got > 0;
            done += got > 0 ? static_cast<std::size_t>(got) : 0;
        }
        if (ok && start > 0)
            contents.erase(0, contents.find('\n') == std::string::npos ? contents.size() : contents.find('\n') + 1);
    }
    if (!ok) {
        System::Log().Write(System::Error, "Practice log %s: %s failed (error %d)", path.c_str(), file.FailedCall(),
                            file.Error());
        return false;
    }
    skipped = Parse(contents, runs);
    if (skipped > 0)
        System::Log().Write(System::Warn, "Practice log %s: %d damaged lines skipped", path.c_str(), skipped);
    return true;
}

}  // namespace Configuration
