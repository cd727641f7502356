#include "Core/SessionGrid.h"

#include <algorithm>
#include <cmath>

#include "Core/ISessionTimeline.h"

namespace Core {

namespace {

Moment Later(Moment moment, double seconds)
{
    return moment + std::chrono::nanoseconds(std::llround(seconds * 1e9));
}

}  // namespace

SessionGrid::Tick SessionGrid::First(double beatInBar, double quantum)
{
    _session->Capture();
    _before = _last = Tick{};
    _beatInBar = beatInBar;
    _quantum = quantum;
    _lastIsFirst = true;
    _last = Place(beatInBar, quantum, _clock->HeardAt(_clock->Now()));
    return _last;
}

SessionGrid::Tick SessionGrid::Again()
{
    // Looked at again only just before it is due: the output may be a moment past it already,
    // which the hand-over allows for; only the half step after the click before holds.
    if (_lastIsFirst) {
        // The same bar place, near where it was first put (the output's mapping settles).
        _session->Capture();
        const double tempo = _session->Tempo();
        const Moment earliest = tempo > 0 ? Later(_last.heardAt, -0.5 * 60.0 / tempo) : _last.heardAt;
        _last = Tick{};
        _last = Place(_beatInBar, _quantum, earliest);
        return _last;
    }
    _last = _before;
    return Next(_beatInBar, _quantum, _step, false);
}

SessionGrid::Tick SessionGrid::Next(double beatInBar, double quantum, double step, bool reachable)
{
    _before = _last;
    _lastIsFirst = false;
    _beatInBar = beatInBar;
    _quantum = quantum;
    _step = step;
    _session->Capture();
    const double tempo = _session->Tempo();
    Moment earliest = reachable || _last.heardAt == Moment() ? _clock->HeardAt(_clock->Now()) : Moment();
    if (tempo > 0)
        earliest = std::max(earliest, Later(_last.heardAt, 0.5 * step * 60.0 / tempo));
    const Tick tick = Place(beatInBar, quantum, earliest);
    _last = tick;
    return tick;
}

SessionGrid::Tick SessionGrid::Place(double beatInBar, double quantum, Moment earliest)
{
    if (!(quantum > 0))
        quantum = 1;
    beatInBar = std::fmod(beatInBar, quantum);
    // The first beat at this place of the bar that is not heard before `earliest`.
    const double from = _session->BeatAt(earliest, quantum);
    double beat = beatInBar + quantum * std::ceil((from - beatInBar) / quantum);
    Tick tick;
    for (int tries = 0; tries < 4; ++tries, beat += quantum) {
        tick.beat = beat;
        tick.heardAt = _session->TimeAtBeat(beat, quantum);
        tick.frame = std::llround(_clock->FrameHeardAt(tick.heardAt));
        // The session's moments are whole microseconds: a beat that rounds to before the
        // earliest moment, or onto the last click's frame, takes the bar after it.
        const bool first = _last.heardAt == Moment();
        if (tick.heardAt >= earliest - std::chrono::microseconds(1) && (first || tick.frame > _last.frame))
            break;
    }
    return tick;
}

}  // namespace Core
