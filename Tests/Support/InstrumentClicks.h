#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/PercussionTable.h"
#include "Core/SettingsChoices.h"
#include "Core/SoundEngines.h"
#include "Platform/SoundFontSynth.h"

namespace Tests {

// The percussion-table row that plays `note`.
inline std::uint32_t RowOf(int note)
{
    for (std::uint32_t row = 0; row < Core::PercussionTable::Count; ++row)
        if (Core::PercussionTable::Note(row) == note)
            return row;
    return Core::PercussionTable::DefaultRow;
}

// A run of bars of four at `bpm` whose every click is `note` (General MIDI), the beat indicator off.
inline Configuration::ConfigurationData OneNoteRun(int note, int bpm)
{
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = Core::SoundEngines::Midi;
    settings.VisualIndicator = 0;
    settings.BeatType = static_cast<std::uint32_t>(Core::BeatType::BeatsPerBar);
    settings.BeatsPerBar = 4;
    settings.Bpm = static_cast<std::uint32_t>(bpm);
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        settings.Instrument[voice] = RowOf(note);
    return settings;
}

// One channel of a note as the synthesizer renders it, the way it reaches the sound server.
inline std::vector<float> Template(int note, int velocity, double rate)
{
    std::vector<float> click;
    if (const Platform::Sound* sound = Platform::SoundFontSynth::Instance().Prepare(note, velocity, rate))
        for (std::int64_t i = 0; i < sound->frames; ++i)
            click.push_back(sound->samples[2 * i]);
    return click;
}

struct Hit {
    long onset;
    int sound;        // index of the template that matches it
    double leftOver;  // energy left after taking the best match away, against the runner-up's
};

// Finds every click in `signal` and tells which of the `sounds` it is: at each rise above a
// threshold, the template and shift that leave the least energy when taken away win; taking it
// away uncovers the next click.
inline std::vector<Hit> FindHits(std::vector<float> signal, const std::vector<std::vector<float>>& sounds)
{
    std::vector<Hit> hits;
    float threshold = 1e9f;
    for (const auto& sound : sounds) {
        float peak = 0;
        for (float s : sound)
            peak = std::max(peak, std::fabs(s));
        threshold = std::min(threshold, 0.25f * peak);
    }
    // Where each sound first rises above the common threshold: a click is looked for that far
    // before the point where the signal does (a louder sound rises above it sooner).
    std::vector<long> leads;
    for (const auto& sound : sounds) {
        long lead = 0;
        while (lead < static_cast<long>(sound.size()) && std::fabs(sound[lead]) < threshold)
            ++lead;
        leads.push_back(lead);
    }
    const long size = static_cast<long>(signal.size());
    for (long n = 0; n < size; ++n) {
        if (std::fabs(signal[n]) < threshold)
            continue;
        Hit best{n, -1, 1e300};
        double runnerUp = 1e300;
        for (std::size_t k = 0; k < sounds.size(); ++k) {
            const auto& sound = sounds[k];
            const long window = std::min<long>(static_cast<long>(sound.size()), 1024);
            double bestOfThis = 1e300;
            long shiftOfThis = 0;
            for (long shift = n - leads[k] - 6; shift <= n - leads[k] + 6; ++shift) {
                double energy = 0;
                for (long i = 0; i < window; ++i) {
                    const long at = shift + i;
                    const double rest = (at >= 0 && at < size ? signal[at] : 0.0) - sound[i];
                    energy += rest * rest;
                }
                if (energy < bestOfThis) {
                    bestOfThis = energy;
                    shiftOfThis = shift;
                }
            }
            if (bestOfThis < best.leftOver) {
                runnerUp = best.leftOver;
                best = {shiftOfThis, static_cast<int>(k), bestOfThis};
            } else {
                runnerUp = std::min(runnerUp, bestOfThis);
            }
        }
        const auto& sound = sounds[best.sound];
        for (long i = 0; i < static_cast<long>(sound.size()); ++i)
            if (best.onset + i >= 0 && best.onset + i < size)
                signal[best.onset + i] -= sound[i];
        best.leftOver = runnerUp > 0 ? best.leftOver / runnerUp : 0;
        hits.push_back(best);
        n = std::max(n, best.onset);
    }
    return hits;
}

}  // namespace Tests
