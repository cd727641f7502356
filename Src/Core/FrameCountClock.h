#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "Core/Timer.h"

namespace Platform {
class OfflineOutput;
}

namespace Core {

class ISoundEngine;
class ITimerControl;

// The timer's clock for a click track rendered offline: its time is the count of frames the
// mixer has rendered, and time passes only as frames are rendered. Where the timer waits or
// sleeps, this clock renders up to the frame it waits for; so each tick is handed over when
// exactly the frames before it have been rendered, and the mixer starts its clicks on the
// tick's own frame, as it does live on the sound card's frames. Rendering runs on the timer's
// thread, as fast as the machine goes.
class FrameCountClock final : public Timer::IClock {
public:
    // Frames rendered at a time at most (a tick falling inside is rendered up to first).
    static constexpr int Block = 1024;
    // Takes every rendered block (interleaved stereo; null: `frames` of silence, nothing sounded in
    // them); false stops the rendering (a failed write).
    using Sink = std::function<bool(const float* samples, int frames)>;

    // Renders `output` into `sink`, waiting before every block for `engine` to hand its clicks
    // over. Nothing is rendered before SetEnd.
    FrameCountClock(Platform::OfflineOutput& output, ISoundEngine& engine, Sink sink);
    // How long a block waits for a click to be handed over at most: a sound engine that cannot
    // hand one over (an audio file longer than its player's buffers, still streaming) must not
    // stop the rendering; the click is then placed late, as live.
    static constexpr int HandOverTimeoutMs = 200;

    // Any thread: the frame the rendering ends on. Until it is set, time stands still at frame 0
    // (the run's first tick can be handed over, the length of its bar be learnt).
    void SetEnd(std::int64_t endFrame) noexcept { _end.store(endFrame, std::memory_order_release); }

    // The timer this clock drives: stopped when the end is reached, the sink fails or the
    // rendering is cancelled.
    void SetTimer(ITimerControl* timer) noexcept { _timer = timer; }
    // Any thread: ends the rendering at the next block.
    void Cancel() noexcept { _cancelled.store(true, std::memory_order_release); }
    bool Cancelled() const noexcept { return _cancelled.load(std::memory_order_acquire); }
    bool SinkFailed() const noexcept { return _sinkFailed.load(std::memory_order_acquire); }
    // Any thread: the frames rendered so far.
    std::int64_t FramesRendered() const noexcept { return _published.load(std::memory_order_acquire); }
    // The frame of the last tick handed over (-1: none).
    std::int64_t LastTickFrame() const noexcept { return _lastTick.load(std::memory_order_acquire); }
    // Once the timer has ended: renders on up to `frame` (the last click's ring), at most to the end.
    void RenderRest(std::int64_t frame);

    std::int64_t Now() override;
    double Frequency() override { return _rate; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override;
    void SleepUntil(std::int64_t deadline) override;
    Platform::OutputFrame FrameOf(std::int64_t due) override;
    Moment HeardAt(std::int64_t) override { return Moment(); }  // nobody watches
    bool RealTime() override { return false; }

private:
    void RenderTo(std::int64_t frame);
    void WaitForHandOver();
    bool Over() const noexcept;

    Platform::OfflineOutput& _output;
    double _rate;
    ISoundEngine& _engine;
    Sink _sink;
    std::atomic<std::int64_t> _end{-1};
    std::int64_t _spinMargin;
    ITimerControl* _timer = nullptr;
    std::vector<float> _buffer;
    std::int64_t _rendered = 0;  // the rendering thread's own
    std::atomic<std::int64_t> _published{0};
    std::atomic<std::int64_t> _lastTick{-1};
    std::atomic<bool> _cancelled{false};
    std::atomic<bool> _sinkFailed{false};
};

}  // namespace Core
