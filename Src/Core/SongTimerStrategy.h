#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Configuration/Song.h"
#include "Core/ITimerStrategy.h"

namespace Core {

// Plays a song as one run: section after section, each tick placed at its exact position from
// the song's first tick, so that rounding to the output's frames never adds up and a ramp's
// clicks lie on its tempo curve. Each section's first click falls one beat of the previous
// section's tempo (its curve's last beat, for a ramp) after that section's last beat.
//
// A ramp's tempo is linear in beats: across a section of N beats from T0 to T1 (beats per minute),
// beat x (0 <= x <= N, fractions included) has the tempo T(x) = T0 + (T1 - T0) x / N, and is
// heard at
//     t(x) = integral from 0 to x of 60 / T(u) du = 60 N / (T1 - T0) * ln(T(x) / T0)  seconds,
// (60 x / T0 for a steady tempo). The section lasts t(N); the next one starts there.
class SongTimerStrategy final : public ITimerStrategy {
public:
    // Where a tick falls: section, bar in the section, beat in the bar, tick in the beat.
    struct Place {
        std::int32_t section = 0;
        std::int32_t bar = 0;
        std::int32_t beat = 0;
        std::int32_t tick = 0;
        bool operator==(const Place&) const = default;
    };
    // The section the listener hears, for the read-out: index, bar (0-based), tempo.
    struct Heard {
        std::int32_t section = 0;
        std::int32_t bar = 0;
        double tempo = 0;
    };

    // The ticks a beat of `section` takes: the subdivisions' common grid, or two when the
    // indicator goes dark half-way through a beat, else one.
    static std::int32_t TicksPerBeat(const Configuration::SongSection& section,
                                     const Configuration::ConfigurationData& settings, bool visual,
                                     std::int32_t* primary = nullptr, std::int32_t* secondary = nullptr) noexcept;
    // Milliseconds from the start of `section` to its beat `beats` (meter beats, fractions
    // included), and the tempo there, in beats of the meter per minute.
    static double OffsetMs(const Configuration::SongSection& section, double beats) noexcept;
    static double TempoAt(const Configuration::SongSection& section, double beats) noexcept;

    // The song the next Initialise prepares (user-interface thread, before a start); copied.
    void SetSong(const Configuration::Song& song);
    const Configuration::Song& GetSong() const noexcept { return _song; }

    void Initialise(Configuration::ConfigurationData& settings) override;
    Interval GetInterval() override;
    std::int32_t GetTempo() override;
    void SetTempo(std::int32_t) override {}
    bool ControlsTempo() override { return true; }
    std::int32_t OnTick(std::uint16_t entry) override;
    std::int32_t TimerTicksPerBeat() override;
    bool PlaceTick(Interval& current, Interval& next) override;
    bool EndsOnBarLine() override { return true; }

    // On the timer thread: the place of the tick being delivered, and of the one after it.
    const Place& Playing() const noexcept { return _playing; }
    const Place& Upcoming() const noexcept { return _next; }
    bool Ended() const noexcept { return _ended; }
    // Where `place` falls in its bar, in beats of its meter, the beats of that bar and the beats
    // one tick takes there (a place past the end: the last section's).
    void BarPlace(const Place& place, double& beatInBar, double& barBeats, double& tickBeats) const noexcept;
    // Any thread: what is heard now.
    Heard Now() const noexcept;
    // The exact position of a place from the song's first tick (places past the end give the
    // end of the song).
    double PositionMs(const Place& place) const noexcept;
    // The whole song's length up to its end (the start of an endless section's first bar for an
    // endless song).
    double LengthMs() const noexcept;

private:
    struct Part {
        double startMs = 0;
        std::int32_t beats = 4;         // in a bar
        std::int32_t ticksPerBeat = 1;  // pattern entries a beat
    };
    void Step(Place& place) const noexcept;

    Configuration::Song _song;
    std::vector<Part> _parts;  // one per section, made at Initialise
    Place _playing;
    Place _next;
    bool _ended = false;
    double _playingMs = 0;
    double _nextMs = 0;
    // The read-out, read by the user-interface thread.
    std::atomic<std::int32_t> _heardPlace{0};  // section * 65536 + bar
    std::atomic<double> _heardTempo{120};
};

}  // namespace Core
