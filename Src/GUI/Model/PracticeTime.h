#pragma once

#include <cstdint>
#include <string>

namespace GUI {

// The time practised since the program started: runs as they start, pause and stop, on a
// clock in nanoseconds that the caller reads. A pause does not count.
class PracticeTime {
public:
    void Start(std::int64_t now) noexcept;
    void Pause(std::int64_t now) noexcept;
    void Resume(std::int64_t now) noexcept;
    // The run ends: its minutes (0 when none was going on).
    double Stop(std::int64_t now) noexcept;
    bool Running() const noexcept { return _running; }
    // Whole seconds practised since the start of the program, the run going on included.
    std::int64_t SessionSeconds(std::int64_t now) const noexcept;
    // "12:34", or "1:02:03" from an hour on.
    static std::string Clock(std::int64_t seconds);

private:
    std::int64_t RunNs(std::int64_t now) const noexcept;

    bool _running = false;
    bool _paused = false;
    std::int64_t _since = 0;    // the run's counted time up to _since is _counted
    std::int64_t _counted = 0;  // ns of the run going on, up to the last pause or resume
    std::int64_t _finished = 0; // ns of the runs that ended
};

}  // namespace GUI
