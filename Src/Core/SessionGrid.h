#pragma once

#include <cstdint>

#include "Core/HeardTime.h"
#include "Core/Timer.h"

namespace Core {

class ISessionTimeline;

// Where the clicks of a run fall while it plays with a session: on the output frames at which
// the session's beats are heard. A click at `beatInBar` of a bar of `quantum` beats sounds on
// the session beat whose phase for that quantum is `beatInBar` (the bar's first beat: phase 0),
// on the frame round(frame heard at the moment of that beat): the output's own mapping from the
// clock to its frames, its latency included, so that each click is rounded from its exact place
// and nothing drifts against the session.
//
// Each click takes the first such beat that is heard at least half a step after the last click
// (and no sooner than the output can still play): a peer's tempo change moves the grid from
// there on, and a peer's jump of the timeline never bunches two clicks together, nor plays one
// late; the bar's places stay where the session's phase puts them.
//
// The timer thread's alone, apart from Begin (before the run).
class SessionGrid {
public:
    struct Tick {
        std::int64_t frame = 0;
        double beat = 0;  // the session beat it sounds on
        Moment heardAt;   // the moment the session hears that beat
    };

    // The timeline to follow and the clock of the output frames (both outlive the run).
    void Begin(ISessionTimeline& session, Timer::IClock& clock) noexcept
    {
        _session = &session;
        _clock = &clock;
        _last = Tick{};
    }
    // A run's first click, at `beatInBar` of a bar of `quantum` beats (a start: 0, the bar
    // line), as soon as the output can play it.
    Tick First(double beatInBar, double quantum);
    // The click after the last one, at `beatInBar` of a bar of `quantum` beats, `step` beats of
    // its pattern after the last click.
    Tick Next(double beatInBar, double quantum, double step) { return Next(beatInBar, quantum, step, true); }
    // The last click placed again, from the click before it, on the timeline as it is now.
    Tick Again();
    const Tick& Last() const noexcept { return _last; }

private:
    // `reachable`: no sooner than the output can still play.
    Tick Next(double beatInBar, double quantum, double step, bool reachable);
    Tick Place(double beatInBar, double quantum, Moment earliest);

    ISessionTimeline* _session = nullptr;
    Timer::IClock* _clock = nullptr;
    Tick _last;
    Tick _before;  // the click before the last, and where the last was asked for
    double _beatInBar = 0, _quantum = 1, _step = 1;
    bool _lastIsFirst = false;
};

}  // namespace Core
