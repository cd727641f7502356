#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Core {

// Finds where hits begin in a mono recording, to the frame, as it streams in.
//
// Two views of the signal are watched: the signal itself, and its first difference, which stands
// for its high frequencies (every struck or plucked sound begins with a broadband edge, while a
// reverb tail, a ringing string or a hum carries little there; yet a dull sound in a hiss shows
// only in the first). In each, the energy over the last millisecond is compared with the energy
// of the 20 ms before that (which follows a decaying tail down) and with the noise floor (the
// lowest that reference has been lately, rising slowly); a rise far above both in either view,
// outside the refractory time after the last hit, is a hit. Its first frame is then placed where the energy changes
// from the level before to the level after: the split of the few milliseconds around the rise that explains them best
// as quiet, then loud (a change point of the variance). The attack's first frame is found alike for claps, drums and
// strings, so the delay is the same for every sound (about a frame) and the calibration, made with the same detector,
// cancels what there is of it.
//
// An onset is reported a few milliseconds after it began (the look-ahead the placement needs).
// Process allocates nothing and takes no lock; one thread uses an object at a time.
class OnsetDetector {
public:
    struct Settings {
        double rate = 48000;
        double refractoryMs = 45;  // no second hit sooner than this after one
        // Energy of the last millisecond over that of the 20 before, in the high band and in the
        // signal itself (whose low notes and hum swing more within a millisecond).
        double highRiseRatio = 3;
        double riseRatio = 8;
        double floorRatio = 5;      // energy of the last millisecond over the noise floor
        double lowestLevel = 1e-9;  // energy of the difference never counted as a hit (-90 dB)
        double floorRiseDbPerSecond = 6;
    };
    struct Onset {
        std::int64_t frame = 0;  // the first frame of the hit, counted from the first processed
        float level = 0;         // its peak amplitude within the look-ahead
    };
    // Called for each onset as it is found; `context` as given to Process.
    using OnsetSink = void (*)(const Onset& onset, void* context);

    explicit OnsetDetector(const Settings& settings);
    OnsetDetector() : OnsetDetector(Settings{}) {}
    ~OnsetDetector();
    OnsetDetector(const OnsetDetector&) = delete;
    OnsetDetector& operator=(const OnsetDetector&) = delete;

    // Feeds the next `count` frames.
    void Process(const float* samples, std::size_t count, OnsetSink sink, void* context) noexcept;
    // Starts again at frame 0 with nothing learnt.
    void Reset() noexcept;

    // Frames fed so far.
    std::int64_t Frames() const noexcept { return _frame; }
    // How long after its first frame an onset is reported at the latest, in frames.
    std::int64_t ReportDelay() const noexcept { return _fast + _lookAhead + 1; }
    const Settings& Config() const noexcept { return _settings; }

private:
    // The energy of one view of the signal (the signal itself, its difference) in the two
    // windows, with the noise floor under it and a ring of the last frames.
    struct Band {
        std::unique_ptr<double[]> energy;
        double fastSum = 0;
        double slowSum = 0;
        double floor = 0;
    };
    void Step(float sample, OnsetSink sink, void* context) noexcept;
    // True when the band's last millisecond rose far above the 20 before it and the floor.
    bool Rises(Band& band, double energy, std::int64_t frame, double ratio) noexcept;
    std::int64_t Place(const Band& band, std::int64_t trigger, double before) const noexcept;
    double Energy(const Band& band, std::int64_t frame) const noexcept { return band.energy[frame & _mask]; }

    Settings _settings;
    std::int64_t _fast;       // frames of the short window
    std::int64_t _slow;       // frames of the reference window before it
    std::int64_t _lookAhead;  // frames waited after a trigger before the onset is placed
    std::int64_t _search;     // frames before the trigger where the onset may lie
    std::int64_t _refractory;
    std::int64_t _size;
    std::int64_t _mask;
    Band _bands[2];                    // the signal (broadband) and its difference (high)
    std::unique_ptr<float[]> _signal;  // the signal, a ring of _size frames, for the peak

    std::int64_t _frame = 0;
    float _last = 0;
    double _floorRise = 1;
    std::int64_t _pending = -1;  // the trigger frame awaiting its look-ahead, or -1
    int _pendingBand = 0;        // the band that rose there
    double _pendingBefore = 0;   // its reference energy at that trigger
    std::int64_t _lastOnset = 0;
    bool _anyOnset = false;
};

}  // namespace Core
