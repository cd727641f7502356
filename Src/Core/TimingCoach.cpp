#include "Core/TimingCoach.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "Configuration/ExtraSettings.h"

namespace Core {

namespace {

struct Position {
    double ns;
    int position;
    bool silent;
    int hit = -1;  // the index of the hit it took
    double distance = 0;
};

}  // namespace

TimingCoach::Result TimingCoach::Score(const std::vector<Beat>& beats, const std::vector<std::int64_t>& hits,
                                       const Options& options)
{
    Result result;
    const int subdivisions = std::max(1, options.subdivisions);
    const int positionsPerBar = std::max(1, options.beatsPerBar) * subdivisions;
    result.subdivisions = subdivisions;
    result.leanMs.assign(static_cast<std::size_t>(positionsPerBar), std::numeric_limits<double>::quiet_NaN());

    std::vector<Position> grid;
    for (std::size_t b = 0; b < beats.size(); ++b) {
        double spacing = 0;
        if (b + 1 < beats.size())
            spacing = static_cast<double>(beats[b + 1].heardNs - beats[b].heardNs);
        else if (b > 0)
            spacing = static_cast<double>(beats[b].heardNs - beats[b - 1].heardNs);
        for (int s = 0; s < subdivisions && (s == 0 || spacing > 0); ++s)
            grid.push_back({static_cast<double>(beats[b].heardNs) + spacing * s / subdivisions,
                            (beats[b].beatInBar * subdivisions + s) % positionsPerBar, beats[b].silent});
    }
    std::vector<std::int64_t> sorted = hits;
    std::sort(sorted.begin(), sorted.end());

    // Each hit to its nearest position (both sorted: one pass), if within that position's window.
    std::size_t at = 0;
    for (std::size_t h = 0; h < sorted.size(); ++h) {
        const auto t = static_cast<double>(sorted[h]);
        while (at + 1 < grid.size() && std::fabs(grid[at + 1].ns - t) <= std::fabs(grid[at].ns - t))
            ++at;
        if (grid.empty()) {
            ++result.extras;
            continue;
        }
        Position& nearest = grid[at];
        double spacing = at + 1 < grid.size() ? grid[at + 1].ns - nearest.ns
            : at > 0                          ? nearest.ns - grid[at - 1].ns
                                              : 0;
        double window = options.windowMs * 1e6;
        if (spacing > 0)
            window = std::min(window, spacing / 3);
        const double distance = std::fabs(t - nearest.ns);
        if (distance > window) {
            ++result.extras;
        } else if (nearest.hit < 0 || distance < nearest.distance) {
            if (nearest.hit >= 0)
                ++result.extras;
            nearest.hit = static_cast<int>(h);
            nearest.distance = distance;
        } else {
            ++result.extras;
        }
    }

    std::vector<double> sums(static_cast<std::size_t>(positionsPerBar), 0.0);
    std::vector<int> counts(static_cast<std::size_t>(positionsPerBar), 0);
    for (const Position& position : grid) {
        if (position.hit < 0) {
            ++result.misses;
            continue;
        }
        const std::int64_t heard = sorted[static_cast<std::size_t>(position.hit)];
        const double offset = (static_cast<double>(heard) - position.ns) / 1e6;
        result.hits.push_back({heard, std::llround(position.ns), offset, position.position, position.silent});
        sums[static_cast<std::size_t>(position.position)] += offset;
        ++counts[static_cast<std::size_t>(position.position)];
    }
    for (int p = 0; p < positionsPerBar; ++p)
        if (counts[static_cast<std::size_t>(p)] > 0)
            result.leanMs[static_cast<std::size_t>(p)] =
                sums[static_cast<std::size_t>(p)] / counts[static_cast<std::size_t>(p)];
    const auto positions = static_cast<std::size_t>(positionsPerBar);
    result.all = Summarise(result.hits, positions, false, false);
    result.played = Summarise(result.hits, positions, true, false);
    result.silent = Summarise(result.hits, positions, false, true);
    return result;
}

TimingCoach::Summary TimingCoach::Summarise(const std::vector<Hit>& hits, std::size_t positions, bool onlyPlayed,
                                            bool onlySilent)
{
    Summary summary;
    const auto counts = [&](const Hit& hit) { return !(onlyPlayed && hit.silent) && !(onlySilent && !hit.silent); };
    // Drift is what moves over the take: a beat that always comes late is lean, not drift. So
    // the slope is the one within each bar position (time and offset measured from that
    // position's own means), pooled over the positions.
    std::vector<double> times(positions, 0.0), offsets(positions, 0.0), numbers(positions, 0.0);
    double sum = 0;
    for (const Hit& hit : hits) {
        if (!counts(hit))
            continue;
        const auto p = static_cast<std::size_t>(hit.position) % positions;
        ++summary.count;
        sum += hit.offsetMs;
        times[p] += static_cast<double>(hit.gridNs) / 1e9;
        offsets[p] += hit.offsetMs;
        ++numbers[p];
    }
    if (summary.count == 0)
        return summary;
    summary.meanMs = sum / summary.count;
    double squares = 0, covariance = 0, spreadT = 0;
    for (const Hit& hit : hits) {
        if (!counts(hit))
            continue;
        const auto p = static_cast<std::size_t>(hit.position) % positions;
        const double dt = static_cast<double>(hit.gridNs) / 1e9 - times[p] / numbers[p];
        const double d = hit.offsetMs - summary.meanMs;
        squares += d * d;
        covariance += dt * (hit.offsetMs - offsets[p] / numbers[p]);
        spreadT += dt * dt;
    }
    summary.deviationMs = summary.count > 1 ? std::sqrt(squares / (summary.count - 1)) : 0;
    summary.driftMsPer30s = spreadT > 0 ? covariance / spreadT * 30 : 0;
    return summary;
}

bool CoachCalibration::Measure(const std::vector<std::int64_t>& clicksNs, const std::vector<std::int64_t>& onsetsNs,
                               std::int64_t& roundTripNs)
{
    std::vector<std::int64_t> delays;
    for (std::size_t c = 0; c < clicksNs.size(); ++c) {
        const std::int64_t until =
            c + 1 < clicksNs.size() ? std::min(clicksNs[c + 1], clicksNs[c] + 300'000'000) : clicksNs[c] + 300'000'000;
        for (std::int64_t onset : onsetsNs)
            if (onset >= clicksNs[c] && onset < until) {
                delays.push_back(onset - clicksNs[c]);
                break;
            }
    }
    if (static_cast<int>(delays.size()) < FewestClicks)
        return false;
    std::sort(delays.begin(), delays.end());
    if (static_cast<double>(delays.back() - delays.front()) > LargestSpreadMs * 1e6)
        return false;
    roundTripNs = delays[delays.size() / 2];
    return true;
}

std::string CoachCalibration::Key(std::string_view input, std::string_view output)
{
    // Device names hold any character; a key holds letters, digits, '.', '_' and '-'.
    std::string key = "coach.round-trip.";
    for (std::string_view name : {input, output}) {
        for (char c : name)
            key += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-') ? c : '_';
        key += '.';
    }
    key.pop_back();
    if (key.size() > Configuration::ExtraSettings::KeyLimit)
        key.resize(Configuration::ExtraSettings::KeyLimit);
    return key;
}

bool CoachCalibration::Load(const Configuration::ExtraSettings& extras, std::string_view input, std::string_view output,
                            std::int64_t& roundTripNs)
{
    const std::string key = Key(input, output);
    if (!extras.Has(key))
        return false;
    const std::int64_t us = extras.Number(key, -1, 0, 2'000'000);
    if (us < 0)
        return false;
    roundTripNs = us * 1000;
    return true;
}

void CoachCalibration::Store(Configuration::ExtraSettings& extras, std::string_view input, std::string_view output,
                             std::int64_t roundTripNs)
{
    extras.SetNumber(Key(input, output), roundTripNs / 1000);
}

std::int64_t CoachCalibration::ManualOffsetNs(const Configuration::ExtraSettings& extras)
{
    return extras.Number(ManualOffsetKey, 0, -500'000, 500'000) * 1000;
}

}  // namespace Core
