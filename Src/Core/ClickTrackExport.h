#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Core/CountIn.h"

namespace Configuration {
class ConfigurationData;
struct Song;
}  // namespace Configuration

namespace Core {

// Writes the click track of a set of settings to a WAV or FLAC file, rendered offline and
// faster than real time. It is the metronome itself that plays: the same beat and timer
// strategies, the same sound engine and the same mixer, ticked by a timer whose clock is the
// count of frames rendered (FrameCountClock); every click lands on the frame the live output
// would start it on. The program's own metronome must not play meanwhile (the two share their
// strategies).
class ClickTrackExport {
public:
    static constexpr double Rate = 44100;
    // The longest track written, and the length of a speed-trainer run when none is asked.
    static constexpr double MaxMinutes = 120;
    // How long the last click of a run that ends by itself (the speed trainer's) rings on.
    static constexpr double RingSeconds = 1.0;

    enum class Unit { Bars, Minutes };
    struct Length {
        Unit unit = Unit::Bars;
        double amount = 8;
    };
    struct Result {
        bool written = false;
        bool cancelled = false;
        std::string error;           // why nothing (or not all) was written
        std::int32_t startCode = 0;  // the metronome's start code when it could not start
        std::int64_t frames = 0;     // frames written
        double seconds = 0;          // of sound
        double elapsed = 0;          // wall-clock seconds it took
        double speedRatio = 0;       // seconds of sound per second taken
    };
    // Told the share done (0..1) every few milliseconds on the calling thread; false cancels.
    using Progress = std::function<bool(double done)>;

    // Whether `length` can be exported: a number of bars or minutes above zero, at most
    // MaxMinutes long at the settings' tempo.
    static bool Acceptable(const Length& length);
    // The frames `length` covers at `bpm` for bars of `barBeats` beats.
    static std::int64_t Frames(const Length& length, double bpm, double barBeats);

    // Renders `settings` (copied: a start writes its run-time fields) for `length` into `path`
    // (".flac": FLAC, else WAV; 16-bit stereo at Rate). A speed-trainer run is written whole,
    // ending with its run (the length, when given in minutes, caps it). A file of that name is
    // replaced only by a complete track: one cut short by a cancel or a failure leaves it as it
    // was. What is not a regular file (a FIFO, a device, a folder) is refused.
    // `countIn`: played before the run, on its grid, as Start plays it (the length counts from
    // the run's first click).
    // `song`: played instead of the settings' beat (their sounds and volumes); a song that ends
    // is written whole, as a speed-trainer run.
    static Result Run(const Configuration::ConfigurationData& settings, const std::string& path, const Length& length,
                      const Progress& progress = {}, const CountIn& countIn = {},
                      const Configuration::Song* song = nullptr);
};

}  // namespace Core
