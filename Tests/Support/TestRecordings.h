#pragma once

// Recordings made in code, with the first frame of every hit known: claps and snares of noise
// bursts, hi-hats of high-passed noise, plucked strings (Karplus-Strong), each in a room
// (an exponential reverb tail) above a noise floor with a hum. Header-only: shared by the onset
// tests and the onset benchmark.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace Tests {

enum class SoundKind { Clap, Snare, HiHat, Pluck };
inline constexpr std::array<SoundKind, 4> AllSoundKinds = {SoundKind::Clap, SoundKind::Snare, SoundKind::HiHat,
                                                           SoundKind::Pluck};

inline const char* NameOf(SoundKind kind)
{
    switch (kind) {
    case SoundKind::Clap: return "clap";
    case SoundKind::Snare: return "snare";
    case SoundKind::HiHat: return "hi-hat";
    case SoundKind::Pluck: return "pluck";
    }
    return "?";
}

struct RecordingPlan {
    SoundKind kind = SoundKind::Clap;
    double reverbSeconds = 0.4;  // the room's decay time (to -60 dB)
    double floorDb = -60;        // the noise floor's level (RMS, dB of full scale)
    int hits = 40;
    unsigned seed = 1;
    double rate = 48000;
    double shortestGapMs = 180;  // time from one hit to the next, chosen evenly between these
    double longestGapMs = 650;
    double softestDb = -16;  // each hit's peak, chosen evenly between these
    double loudestDb = -6;
};

struct Recording {
    double rate = 48000;
    std::vector<float> samples;
    std::vector<std::int64_t> onsets;  // the first frame of each hit
};

namespace RecordingParts {

// A first-order high-pass and low-pass, run over a buffer in place.
inline void HighPass(std::vector<double>& signal, double cutoff, double rate)
{
    const double a = std::exp(-2 * M_PI * cutoff / rate);
    double previousIn = 0, previousOut = 0;
    for (double& value : signal) {
        const double out = a * (previousOut + value - previousIn);
        previousIn = value;
        previousOut = out;
        value = out;
    }
}

inline void LowPass(std::vector<double>& signal, double cutoff, double rate)
{
    const double a = std::exp(-2 * M_PI * cutoff / rate);
    double state = 0;
    for (double& value : signal)
        value = state = (1 - a) * value + a * state;
}

inline void Normalise(std::vector<double>& signal)
{
    double peak = 0;
    for (double value : signal)
        peak = std::max(peak, std::fabs(value));
    if (peak > 0)
        for (double& value : signal)
            value /= peak;
}

// One hit, its peak at 1, beginning at its first sample.
inline std::vector<double> Hit(SoundKind kind, double rate, std::mt19937& random)
{
    std::normal_distribution<double> noise(0, 1);
    std::uniform_real_distribution<double> even(0, 1);
    std::vector<double> sound;
    switch (kind) {
    case SoundKind::Clap: {
        // Three or four hands' bursts a few milliseconds apart, the last one ringing longer.
        sound.assign(static_cast<std::size_t>(0.25 * rate), 0.0);
        const int bursts = 3 + static_cast<int>(even(random) * 2);
        double start = 0;
        for (int b = 0; b < bursts; ++b) {
            const double decay = b + 1 == bursts ? 0.03 : 0.003;
            const double gain = 0.7 + 0.3 * even(random);
            for (std::size_t i = static_cast<std::size_t>(start * rate); i < sound.size(); ++i)
                sound[i] += gain * noise(random) * std::exp(-(static_cast<double>(i) / rate - start) / decay);
            start += 0.006 + 0.006 * even(random);
        }
        HighPass(sound, 600, rate);
        LowPass(sound, 6000, rate);
        break;
    }
    case SoundKind::Snare: {
        // The wires' noise and the head's tone, decaying.
        sound.assign(static_cast<std::size_t>(0.35 * rate), 0.0);
        const double tone = 170 + 40 * even(random);
        for (std::size_t i = 0; i < sound.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            sound[i] = 0.8 * noise(random) * std::exp(-t / 0.06) + std::sin(2 * M_PI * tone * t) * std::exp(-t / 0.025);
        }
        LowPass(sound, 9000, rate);
        break;
    }
    case SoundKind::HiHat: {
        // High-passed noise; closed or open.
        const double decay = even(random) < 0.5 ? 0.02 : 0.12;
        sound.assign(static_cast<std::size_t>(decay * 7 * rate), 0.0);
        for (std::size_t i = 0; i < sound.size(); ++i)
            sound[i] = noise(random) * std::exp(-static_cast<double>(i) / rate / decay);
        HighPass(sound, 6000, rate);
        HighPass(sound, 6000, rate);
        break;
    }
    case SoundKind::Pluck: {
        // Karplus-Strong: a period of noise, averaged with itself round after round.
        static constexpr double Notes[] = {110.0, 146.8, 196.0, 246.9, 329.6};
        const double frequency = Notes[static_cast<int>(even(random) * 5) % 5];
        const auto period = static_cast<std::size_t>(rate / frequency);
        sound.assign(static_cast<std::size_t>(1.2 * rate), 0.0);
        std::uniform_real_distribution<double> pluck(-1, 1);
        for (std::size_t i = 0; i <= period; ++i)
            sound[i] = pluck(random);
        for (std::size_t i = period + 1; i < sound.size(); ++i)
            sound[i] = 0.996 * 0.5 * (sound[i - period] + sound[i - period - 1]);
        // The player damps the string at the end: no edge where the buffer stops.
        const auto damping = static_cast<std::size_t>(0.15 * rate);
        for (std::size_t i = 0; i < damping; ++i)
            sound[sound.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(damping);
        break;
    }
    }
    Normalise(sound);
    return sound;
}

}  // namespace RecordingParts

inline Recording MakeRecording(const RecordingPlan& plan)
{
    using namespace RecordingParts;
    const double rate = plan.rate;
    std::mt19937 random(plan.seed);
    std::uniform_real_distribution<double> even(0, 1);
    std::normal_distribution<double> noise(0, 1);

    Recording recording;
    recording.rate = rate;
    double at = 0.3;
    for (int h = 0; h < plan.hits; ++h) {
        recording.onsets.push_back(std::llround(at * rate));
        at += (plan.shortestGapMs + (plan.longestGapMs - plan.shortestGapMs) * even(random)) / 1000.0;
    }
    const auto length = static_cast<std::size_t>((at + 1.5) * rate);
    std::vector<double> dry(length, 0.0);
    for (std::size_t h = 0; h < recording.onsets.size(); ++h) {
        std::vector<double> hit = Hit(plan.kind, rate, random);
        const auto onset = static_cast<std::size_t>(recording.onsets[h]);
        // A hi-hat is one instrument: an open one is closed by the next stroke (in 3 ms), as a
        // drummer's foot does. Drums, hands and strings ring on under the next hit.
        if (plan.kind == SoundKind::HiHat && h + 1 < recording.onsets.size()) {
            const auto until = static_cast<std::size_t>(recording.onsets[h + 1]) - onset;
            const auto fade = static_cast<std::size_t>(0.003 * rate);
            for (std::size_t i = until; i < hit.size(); ++i)
                hit[i] *= i < until + fade ? 1.0 - static_cast<double>(i - until) / static_cast<double>(fade) : 0.0;
        }
        const double gain = std::pow(10.0, (plan.softestDb + (plan.loudestDb - plan.softestDb) * even(random)) / 20);
        for (std::size_t i = 0; i < hit.size() && onset + i < length; ++i)
            dry[onset + i] += gain * hit[i];
    }

    // The room: its energy follows the direct sound's through a leaky integrator that decays
    // 60 dB in the reverb time (an exponential impulse response of noise, in energy), a quarter
    // of the direct energy in all; the tail itself is darker noise of that energy.
    std::vector<double> wet(length, 0.0);
    if (plan.reverbSeconds > 0) {
        const double energyDecay = plan.reverbSeconds / std::log(1e6);
        const double a = std::exp(-1 / (energyDecay * rate));
        double energy = 0;
        for (std::size_t i = 0; i < length; ++i) {
            energy = a * energy + (1 - a) * dry[i] * dry[i];
            wet[i] = std::sqrt(0.25 * energy) * noise(random);
        }
        LowPass(wet, 5000, rate);
        for (double& value : wet)
            value *= 1.6;  // the low-pass took about this much of the noise's level
    }

    // The floor: white noise and a little mains hum.
    const double floor = std::pow(10.0, plan.floorDb / 20);
    recording.samples.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double hum = floor * std::sin(2 * M_PI * 50 * static_cast<double>(i) / rate);
        recording.samples[i] = static_cast<float>(dry[i] + wet[i] + floor * noise(random) + hum);
    }
    return recording;
}

}  // namespace Tests
