#pragma once

// Runs the onset detector over a made recording and compares what it found with the known
// onsets. Shared by the onset tests and the onset benchmark.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Core/OnsetDetector.h"
#include "Support/TestRecordings.h"

namespace Tests {

// The onsets the detector reports, fed `chunk` frames at a time as a capture would.
inline std::vector<std::int64_t> DetectOnsets(const Recording& recording, std::size_t chunk = 256)
{
    Core::OnsetDetector::Settings settings;
    settings.rate = recording.rate;
    Core::OnsetDetector detector(settings);
    std::vector<std::int64_t> found;
    found.reserve(recording.onsets.size() + 16);
    auto sink = [](const Core::OnsetDetector::Onset& onset, void* context) {
        static_cast<std::vector<std::int64_t>*>(context)->push_back(onset.frame);
    };
    for (std::size_t at = 0; at < recording.samples.size(); at += chunk)
        detector.Process(recording.samples.data() + at, std::min(chunk, recording.samples.size() - at), sink, &found);
    return found;
}

struct DetectionScore {
    int hits = 0;
    int misses = 0;                // known onsets with nothing found within the tolerance
    int falseHits = 0;             // onsets found that belong to no known one
    std::vector<double> errorsMs;  // found minus known, of each hit found
    double MeanMs() const
    {
        double sum = 0;
        for (double e : errorsMs)
            sum += e;
        return errorsMs.empty() ? 0 : sum / static_cast<double>(errorsMs.size());
    }
    // The standard deviation of the errors.
    double SpreadMs() const
    {
        const double mean = MeanMs();
        double sum = 0;
        for (double e : errorsMs)
            sum += (e - mean) * (e - mean);
        return errorsMs.size() < 2 ? 0 : std::sqrt(sum / static_cast<double>(errorsMs.size() - 1));
    }
    // The farthest any error lies from their mean.
    double WorstMs() const
    {
        const double mean = MeanMs();
        double worst = 0;
        for (double e : errorsMs)
            worst = std::max(worst, std::fabs(e - mean));
        return worst;
    }
    void Add(const DetectionScore& other)
    {
        hits += other.hits;
        misses += other.misses;
        falseHits += other.falseHits;
        errorsMs.insert(errorsMs.end(), other.errorsMs.begin(), other.errorsMs.end());
    }
};

// Each known onset takes the nearest found one within `toleranceMs`; the found ones left over
// are false hits.
inline DetectionScore Score(const std::vector<std::int64_t>& known, const std::vector<std::int64_t>& found, double rate,
                            double toleranceMs = 10)
{
    DetectionScore score;
    score.hits = static_cast<int>(known.size());
    std::vector<bool> used(found.size(), false);
    const double tolerance = toleranceMs * rate / 1000;
    for (std::int64_t onset : known) {
        std::size_t best = found.size();
        for (std::size_t i = 0; i < found.size(); ++i)
            if (!used[i] && std::fabs(static_cast<double>(found[i] - onset)) <= tolerance &&
                (best == found.size() || std::llabs(found[i] - onset) < std::llabs(found[best] - onset)))
                best = i;
        if (best == found.size()) {
            ++score.misses;
            continue;
        }
        used[best] = true;
        score.errorsMs.push_back(static_cast<double>(found[best] - onset) * 1000 / rate);
    }
    score.falseHits = static_cast<int>(std::count(used.begin(), used.end(), false));
    return score;
}

// The rooms and floors every sound is tried in: 0.1 to 0.8 s of reverb, floors across 30 dB.
inline constexpr double Reverbs[] = {0.1, 0.3, 0.5, 0.8};
inline constexpr double Floors[] = {-70, -55, -40};

// Every recording of one sound kind over those rooms and floors, at `rate`.
inline DetectionScore ScoreKind(SoundKind kind, double rate = 48000, int hitsEach = 40, unsigned seed = 1)
{
    DetectionScore total;
    for (double reverb : Reverbs)
        for (double floor : Floors) {
            RecordingPlan plan;
            plan.kind = kind;
            plan.reverbSeconds = reverb;
            plan.floorDb = floor;
            plan.hits = hitsEach;
            plan.rate = rate;
            plan.seed = seed++;
            const Recording recording = MakeRecording(plan);
            total.Add(Score(recording.onsets, DetectOnsets(recording), rate));
        }
    return total;
}

}  // namespace Tests
