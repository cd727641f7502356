#pragma once

#include <atomic>
#include <cstdint>

#include "Core/SessionGrid.h"
#include "Core/TickTime.h"
#include "Core/Timer.h"

namespace Core {

class ISessionTimeline;
class ITimerEventHandler;
class MetronomeStrategy;
class SongTimerStrategy;

// Places the metronome's ticks on the beats of a session others play in. A start asks it to
// start the timer (at the session's next bar line when one is followed); after every tick the
// timer thread asks it where the next one falls. It counts where in its bar the run playing is
// on every tick, so that a session joined while playing finds the bar's places.
class SessionFollower final {
public:
    // What plays now: the beat strategy, its bar in beats and, for a song, the song's timing.
    struct Playing {
        const MetronomeStrategy* strategy = nullptr;
        double barBeats = 1;
        const SongTimerStrategy* song = nullptr;
    };

    explicit SessionFollower(Timer& timer) noexcept : _timer(timer) {}

    // Any thread; taken from the next tick on.
    void SetSession(ISessionTimeline* session) noexcept { _session.store(session, std::memory_order_release); }
    ISessionTimeline* Session() const noexcept { return _session.load(std::memory_order_acquire); }
    // The session the timer follows on `clock` now (null: none): on, and a clock in real time.
    ISessionTimeline* Followed(Timer::IClock* clock) const noexcept;

    // A run begins at its first tick, `countInTicks` of them counting in.
    void Begin(std::int32_t countInTicks) noexcept;
    // Starts the timer ticking `ticks` on `clock` (null: its own), at the session's next bar line
    // when one is followed (at the place in its bar the run goes on from, for a resume).
    bool StartTimer(const Playing& playing, ITimerEventHandler& ticks, Interval interval, Timer::IClock* clock,
                    bool resume);
    // Timer thread, after every tick: places the next one on the session's beats.
    void AfterTick(const Playing& playing) noexcept;
    // Timer thread, shortly before a placed tick: a peer may have moved the session since.
    void BeforePlacedTick(std::int64_t& due) noexcept;

private:
    // Where the next tick falls in its bar, in beats; its bar's beats and the beats of one tick.
    // `advance`: after a tick (the count of ticks in the bar moves on); `resume`: before the
    // first tick of a resumed run.
    void UpcomingPlace(const Playing& playing, double& beatInBar, double& barBeats, double& tickBeats, bool advance,
                       bool resume = false) noexcept;

    Timer& _timer;
    std::atomic<ISessionTimeline*> _session{nullptr};
    // The timer thread's (and the starting thread's before the timer runs).
    SessionGrid _grid;
    bool _gridFollows = false;
    std::int32_t _ticksInBar = 0;
    std::int32_t _countInTicks = 0;
    std::int32_t _proposedTempo = 0;
};

}  // namespace Core
