#pragma once

#include <cstdint>

namespace Platform {

// Maps the system clock (Platform::Clock nanoseconds) to an audio output's frame counter.
// Each buffer of the output brings one observation: "frame F will be heard at time T". Those
// readings jitter from buffer to buffer, and the output's sample clock runs a little fast or slow
// against the system clock. A second-order delay-locked loop follows both: it keeps a smoothed
// time for the latest frame and a smoothed length of one frame, so the mapping neither jitters
// nor drifts. The loop starts wide to lock quickly and narrows as it settles.
// Used by the audio thread only; no allocation, no lock.
class ClockMapping {
public:
    // What the mapping needs to convert: a copy can be handed to other threads.
    struct State {
        std::int64_t origin = 0;  // time of the first observation; times below are relative to it
        double baseTime = 0;      // smoothed time of baseFrame, relative to origin
        std::int64_t baseFrame = 0;
        double framePeriod = 1e9 / 44100;  // ns per frame, smoothed
        double FrameAt(std::int64_t time) const noexcept
        {
            return static_cast<double>(baseFrame) + (static_cast<double>(time - origin) - baseTime) / framePeriod;
        }
        double TimeAt(double frame) const noexcept
        {
            return static_cast<double>(origin) + baseTime + (frame - static_cast<double>(baseFrame)) * framePeriod;
        }
    };

    // Forgets everything; the next observation starts the loop afresh.
    void Reset(double sampleRate) noexcept;

    // Frame `frame` will be heard at `time` (ns). Frames must not go backwards.
    void Observe(std::int64_t frame, std::int64_t time) noexcept;

    bool Started() const noexcept { return _observations > 0; }
    // The (fractional) frame heard at `time`.
    double FrameAt(std::int64_t time) const noexcept;
    // The time at which `frame` is heard.
    double TimeAt(std::int64_t frame) const noexcept;
    // The output's rate measured against the system clock, in frames per second.
    double MeasuredRate() const noexcept { return 1e9 / _state.framePeriod; }
    const State& Current() const noexcept { return _state; }
    // Number of times the loop started over after a jump it could not follow (an underrun, a
    // device restart).
    int Restarts() const noexcept { return _restarts; }

    // An error larger than this restarts the loop instead of being followed.
    static constexpr double RestartThresholdNs = 30e6;
    // The loop's bandwidth in Hz: at the start, and the least it narrows to.
    static constexpr double StartBandwidth = 1.0;
    static constexpr double MinBandwidth = 0.01;
    // How settled the loop counts itself after a restart, in seconds followed.
    static constexpr double RestartSettledSeconds = 3.0;

private:
    double Bandwidth() const noexcept;

    double _sampleRate = 44100;
    State _state;
    double _elapsed = 0;  // seconds of output followed since the loop started
    std::int64_t _observations = 0;
    int _restarts = 0;
};

}  // namespace Platform
