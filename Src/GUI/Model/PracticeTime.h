#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "Core/HeardTime.h"

namespace GUI {

// The time practised since the program started: runs as they start, pause and stop, on the
// clock the caller reads. A pause does not count.
class PracticeTime {
public:
    // A shorter run is not written to the practice log.
    static constexpr double ShortestLoggedSeconds = 1.0;

    void Start(Core::Moment now) noexcept;
    void Pause(Core::Moment now) noexcept;
    void Resume(Core::Moment now) noexcept;
    // The run ends: its minutes (0 when none was going on).
    double Stop(Core::Moment now) noexcept;
    bool Running() const noexcept { return _running; }
    // Whole seconds practised since the start of the program, the run going on included.
    std::int64_t SessionSeconds(Core::Moment now) const noexcept;
    // "12:34", or "1:02:03" from an hour on.
    static std::string Clock(std::int64_t seconds);

private:
    using Duration = std::chrono::nanoseconds;
    Duration Run(Core::Moment now) const noexcept;

    bool _running = false;
    bool _paused = false;
    Core::Moment _since;    // the run's counted time up to _since is _counted
    Duration _counted{0};   // of the run going on, up to the last pause or resume
    Duration _finished{0};  // of the runs that ended
};

}  // namespace GUI
