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
    _last = Tick{};
    _last = Place(beatInBar, quantum, _clock->HeardAt(_clock->Now()));
    return _last;
}

SessionGrid::Tick SessionGrid::Next(double beatInBar, double quantum, double step)
{
    _session->Capture();
    const double tempo = _session->Tempo();
    Moment earliest = _clock->HeardAt(_clock->Now());
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
