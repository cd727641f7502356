#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Configuration {
class ExtraSettings;
}

namespace Core {

// Scores a take: the player's hits against the grid the timeline played. Both come as heard
// times in nanoseconds on one clock: each beat as the output heard it (played or silent), each
// hit as the input caught it, already moved back by the measured round trip.
//
// Every beat is split into `subdivisions` equal grid positions (to the next beat; the last beat
// keeps the spacing before it). A hit counts for its nearest position when it lies within the
// window (a third of the spacing, at most 80 ms); a position takes one hit, the nearest: others
// near it, and hits outside every window, are extras; positions without a hit are misses.
class TimingCoach {
public:
    struct Beat {
        std::int64_t heardNs = 0;
        int beatInBar = 0;    // 0 .. beats per bar - 1
        int bar = 0;          // counted from the take's first bar
        bool silent = false;  // a muted bar: the player keeps time alone
    };
    struct Options {
        int beatsPerBar = 4;
        int subdivisions = 1;
        double windowMs = 80;
    };
    struct Hit {
        std::int64_t heardNs = 0;
        std::int64_t gridNs = 0;  // the position it was scored against
        double offsetMs = 0;      // negative: early (ahead), positive: late (behind)
        int position = 0;         // beatInBar * subdivisions + subdivision
        bool silent = false;
    };
    struct Summary {
        int count = 0;
        double meanMs = 0;
        double deviationMs = 0;    // consistency: the standard deviation
        double driftMsPer30s = 0;  // the slope of offset over the take, each position's lean taken out
    };
    struct Result {
        std::vector<Hit> hits;  // matched, in time order
        int misses = 0;
        int extras = 0;
        Summary all, played, silent;
        std::vector<double> leanMs;  // the mean offset at each bar position (NaN: none)
        int subdivisions = 1;        // the grid positions a beat was split into
    };

    static Result Score(const std::vector<Beat>& beats, const std::vector<std::int64_t>& hits, const Options& options);
    // Over the hits of `positions` bar positions: all, only those in played bars, or only
    // those in silent ones.
    static Summary Summarise(const std::vector<Hit>& hits, std::size_t positions, bool onlyPlayed, bool onlySilent);
};

// The round trip from a click's heard time to its onset in the input, measured with the player
// silent: clicks played, found by the same onset detector that takes use, so its delay cancels.
class CoachCalibration {
public:
    static constexpr double LargestSpreadMs = 1.0;
    static constexpr int FewestClicks = 3;
    // The median of (onset - click) for the onsets within 300 ms after a click; false when fewer
    // than FewestClicks were found, or when they disagree by more than LargestSpreadMs.
    static bool Measure(const std::vector<std::int64_t>& clicksNs, const std::vector<std::int64_t>& onsetsNs,
                        std::int64_t& roundTripNs);

    // Kept per input and output pair in the extras file (never the main settings file), and a
    // manual offset (headphones, where the input cannot hear the click), in microseconds.
    static std::string Key(std::string_view input, std::string_view output);
    static bool Load(const Configuration::ExtraSettings& extras, std::string_view input, std::string_view output,
                     std::int64_t& roundTripNs);
    static void Store(Configuration::ExtraSettings& extras, std::string_view input, std::string_view output,
                      std::int64_t roundTripNs);
    static constexpr const char* ManualOffsetKey = "coach.manual-offset-us";
    static std::int64_t ManualOffsetNs(const Configuration::ExtraSettings& extras);
};

}  // namespace Core
