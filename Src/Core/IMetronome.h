#pragma once

#include <cstdint>

#include "Core/SongTimerStrategy.h"

namespace Configuration {
class ConfigurationData;
struct Song;
}  // namespace Configuration

namespace Core {

class IMetronomeEventHandler;
struct CountIn;

// The metronome as the user interface drives it. Every operation is called on the
// user-interface thread; events come back through the handler given to Start.
class IMetronome {
public:
    static constexpr int NumVoices = 12;

    virtual ~IMetronome() = default;
    // Starts playing `settings`, reporting to `handler`. Returns 0 when playing, otherwise a
    // start code (2 timer thread not started, 3 bad beat type, 4 no timer strategy, 5 sound
    // engine failed, 6/8/9 custom pattern errors, 10/11 custom rhythm errors, 12 a sound the run
    // plays has no audio file). Writes the run-time fields of `settings` (TicksPerBeat,
    // TrainerCurve, TrainerBeatsPerBar).
    virtual std::int32_t Start(IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings) = 0;
    // Stops playing (or a pause) and reports OnStopped with the user's tempo.
    virtual void Stop() = 0;
    // Pauses a playing metronome without closing its output, or resumes a paused one where it
    // stopped.
    virtual void TogglePause() = 0;
    // A new tempo while playing; ignored while the speed trainer owns the tempo.
    virtual void SetTempo(std::int32_t bpm) = 0;
    // New voice volumes (0..127) and global volume (percent) while playing; from the next click.
    virtual void SetVolumes(const std::uint32_t (&volumes)[NumVoices], std::uint32_t globalVolume) = 0;
    // Whether a run is on: from a Start that succeeded until Stop, or until the metronome stopped
    // itself (the speed trainer's end, a failed click). A paused run is on.
    virtual bool IsPlaying() const = 0;
    // Whether the run is paused by TogglePause.
    virtual bool IsPaused() const = 0;
    // The count-in played before every later start (a setlist's next entry as well as the
    // Start button's); CountIn's Length::Off for none.
    virtual void SetCountIn(const CountIn& countIn) = 0;
    // Silences the clicks (everything else goes on: the beats are still shown), now and at every
    // start until it is called again.
    virtual void SetMuted(bool muted) = 0;
    // After `played` bars, `silent` bars that are only shown, again and again, from each run's
    // first bar (0 of either: every bar plays): now, from the next bar line, and at every start
    // until it is called again.
    virtual void SetMutedBars(std::int32_t played, std::int32_t silent) = 0;
    // Ends the next run after `bars` whole bars (0: no end), reporting BarsPlayed before the
    // stop (unless a continuation takes over there). Taken by the next Start or Continue only
    // (other windows' runs, such as the step sequencer's, play on).
    virtual void SetBarLimit(std::int32_t bars) = 0;

    // When a run given to Continue takes over from the one playing.
    enum class ChangeAt {
        BarLine,   // at the next bar line
        BarLimit,  // when the bars the playing run was limited to are played, instead of its end
    };
    // Goes on with `settings` while playing, without a gap and on the running grid: at the bar
    // line `at` names, the new run's first click (its count-in's, when one is set) falls on the
    // tick where the next bar's first beat would have, and the handler hears OnContinued with
    // `tag` first. The bar limit set before is the new run's. Replaces a continuation that has
    // not begun. Returns 0, or a start code as Start does (the run playing goes on alone; code
    // 2 when nothing plays). Writes the run-time fields of `settings` as Start does.
    virtual std::int32_t Continue(IMetronomeEventHandler& handler, Configuration::ConfigurationData& settings,
                                  ChangeAt at, std::int32_t tag) = 0;
    // Drops a continuation that has not begun (none: nothing happens).
    virtual void CancelContinuation() = 0;
    // Plays `song` (copied; null: none) at the next Start or Continue instead of the settings'
    // beat and speed trainer; the settings give its sounds and volumes.
    virtual void SetSong(const Configuration::Song* /*song*/) {}
    // Whether the run playing is a song, and where in it the listener is (any thread).
    virtual bool PlaysSong() const noexcept { return false; }
    virtual SongTimerStrategy::Heard SongHeard() const noexcept { return {}; }
    // After a start refused with code 12: the sound (voice 0..11) that has no audio file.
    virtual std::int32_t SoundWithoutFile() const { return -1; }
};

}  // namespace Core
