#pragma once

#include <cstddef>

#include "Core/HeardTime.h"

namespace Core {

// A beat timeline shared with other players on the network: its tempo, and which beat falls at
// which moment. A bar of `quantum` beats begins where the phase for that quantum is 0; every
// peer's bar lines fall there. Times are moments of the clock by which what is heard is timed.
//
// The timer thread reads the timeline in snapshots: Capture takes it as it is now, and the
// queries below answer from that snapshot until the next Capture, so that the beats of one tick
// are worked out on one timeline even while a peer changes it. The proposals may come from any
// thread.
class ISessionTimeline {
public:
    virtual ~ISessionTimeline() = default;

    // Whether the timeline is shared at all (off: nothing follows it).
    virtual bool Enabled() const = 0;
    // The players in the session besides this one.
    virtual std::size_t Peers() const = 0;

    // Timer thread: takes the timeline as it is now.
    virtual void Capture() = 0;
    // Of the snapshot: beats per minute, the beat heard at `time`, the moment `beat` is heard,
    // and the beat's place in a bar of `quantum` beats (0 <= phase < quantum).
    virtual double Tempo() const = 0;
    virtual double BeatAt(Moment time, double quantum) const = 0;
    virtual Moment TimeAtBeat(double beat, double quantum) const = 0;
    virtual double PhaseAt(Moment time, double quantum) const = 0;
    // Whether the session plays (start/stop sync), and since when.
    virtual bool IsPlaying() const = 0;

    // Any thread: a new tempo for every peer, the beat heard at `at` staying where it is.
    virtual void ProposeTempo(double bpm, Moment at) = 0;
    // Any thread: the session starts playing at `at` (a bar line), or stops at `at`.
    virtual void ProposePlaying(bool playing, Moment at) = 0;
};

}  // namespace Core
