#include "Core/SessionFollower.h"

#include <cmath>

#include "Core/ISessionTimeline.h"
#include "Core/ITimerStrategy.h"
#include "Core/MetronomeStrategy.h"
#include "Core/SongTimerStrategy.h"

namespace Core {

ISessionTimeline* SessionFollower::Followed(Timer::IClock* clock) const noexcept
{
    ISessionTimeline* session = Session();
    // A click track rendered offline has no moment to meet the session at.
    return session != nullptr && session->Enabled() && clock->RealTime() ? session : nullptr;
}

void SessionFollower::Begin(std::int32_t countInTicks) noexcept
{
    _ticksInBar = 0;
    _countInTicks = countInTicks;
    _proposedTempo = 0;
}

bool SessionFollower::StartTimer(const Playing& playing, ITimerEventHandler& ticks, Interval interval,
                                 Timer::IClock* clock, bool resume)
{
    Timer::IClock& runsOn = clock != nullptr ? *clock : _timer.OwnClock();
    ISessionTimeline* session = Followed(&runsOn);
    _gridFollows = session != nullptr;
    if (session == nullptr)
        return _timer.Start(&ticks, interval, clock);
    _grid.Begin(*session, runsOn);
    double beatInBar = 0;
    double barBeats = 1;
    double tickBeats = 1;
    UpcomingPlace(playing, beatInBar, barBeats, tickBeats, false, resume);
    if (!resume)
        beatInBar = 0;
    const SessionGrid::Tick first = _grid.First(beatInBar, barBeats);
    // Start and stop sync: the other players start on the same bar line.
    if (!resume)
        session->ProposePlaying(true, first.heardAt);
    return _timer.StartAt(&ticks, interval, clock, first.frame);
}

void SessionFollower::UpcomingPlace(const Playing& playing, double& beatInBar, double& barBeats, double& tickBeats,
                                    bool advance, bool resume) noexcept
{
    const MetronomeStrategy* strategy = playing.strategy;
    ITimerStrategy* timing = strategy->GetTimerStrategy();
    const std::int32_t ticksPerBeat = timing->TimerTicksPerBeat();
    tickBeats = 1.0 / (ticksPerBeat > 0 ? ticksPerBeat : 1);
    barBeats = playing.barBeats > 0 ? playing.barBeats : 1;
    const SongTimerStrategy* song = playing.song;
    if (const std::int32_t left = strategy->CountInTicksLeft(); left > 0) {
        // The count-in counts bars of the run's first meter from its first tick.
        if (song != nullptr)
            song->BarPlace(SongTimerStrategy::Place{}, beatInBar, barBeats, tickBeats);
        const auto perBar = static_cast<std::int32_t>(std::llround(barBeats / tickBeats));
        beatInBar = ((_countInTicks - left) % (perBar > 0 ? perBar : 1)) * tickBeats;
        return;
    }
    if (song != nullptr) {
        song->BarPlace(advance || resume ? song->Upcoming() : song->Playing(), beatInBar, barBeats, tickBeats);
        return;
    }
    if (advance) {
        std::int32_t beats = 0;
        const bool barLine = (strategy->PatternEntry(strategy->Position()) & MetronomeStrategy::BeatEntry) != 0 &&
            strategy->NextBarPlace(beats) == 0;
        _ticksInBar = barLine ? 0 : _ticksInBar + 1;
    }
    beatInBar = _ticksInBar * tickBeats;
}

void SessionFollower::AfterTick(const Playing& playing) noexcept
{
    double beatInBar = 0;
    double barBeats = 1;
    double tickBeats = 1;
    // Counted on every tick, so that a session joined while playing finds the bar's places.
    UpcomingPlace(playing, beatInBar, barBeats, tickBeats, true);
    Timer::IClock& clock = _timer.CurrentClock();
    ISessionTimeline* session = Followed(&clock);
    if (session == nullptr || !_timer.IsRunning()) {
        _gridFollows = false;
        return;
    }
    if (!_gridFollows) {
        _grid.Begin(*session, clock);
        _gridFollows = true;
    }
    // A tempo the run sets itself is the session's from this tick on.
    if (ITimerStrategy* timing = playing.strategy->GetTimerStrategy(); timing->ControlsTempo()) {
        if (const std::int32_t tempo = timing->GetTempo(); tempo != _proposedTempo && tempo > 0) {
            _proposedTempo = tempo;
            const Moment at = _grid.Last().heardAt != Moment() ? _grid.Last().heardAt : _timer.CurrentTick().heardAt;
            session->ProposeTempo(tempo, at);
        }
    }
    _timer.PlaceNextTickAt(_grid.Next(beatInBar, barBeats, tickBeats).frame);
}

void SessionFollower::BeforePlacedTick(std::int64_t& due) noexcept
{
    // A peer may have moved the session since the tick was placed, a beat ago.
    if (_gridFollows && Followed(&_timer.CurrentClock()) != nullptr)
        due = _grid.Again().frame;
}

}  // namespace Core
