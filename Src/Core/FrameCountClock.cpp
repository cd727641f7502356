#include "Core/FrameCountClock.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "Core/ISoundEngine.h"
#include "Core/ITimerControl.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/OfflineOutput.h"

namespace Core {

namespace {
// What the clock reads once the rendering is over: every tick is due, so that the timer's
// worker, which reads the clock until a tick is due, sees that it has been stopped.
constexpr std::int64_t Finished = std::numeric_limits<std::int64_t>::max() / 4;
}  // namespace

FrameCountClock::FrameCountClock(Platform::OfflineOutput& output, ISoundEngine& engine, Sink sink)
    : _output(output), _rate(output.SampleRate()), _engine(engine), _sink(std::move(sink)),
      _spinMargin(Timer::SpinMarginCounts(_rate)), _buffer(static_cast<std::size_t>(Block) * 2)
{
}

bool FrameCountClock::Over() const noexcept
{
    const std::int64_t end = _end.load(std::memory_order_acquire);
    return (end >= 0 && _rendered >= end) || Cancelled() || SinkFailed();
}

std::int64_t FrameCountClock::Now()
{
    return Over() ? Finished : _rendered;
}

void FrameCountClock::Wait(Platform::AutoResetEvent& event, int milliseconds)
{
    // A signal (a new interval, a stop) ends the wait at once; otherwise the time waited passes.
    if (event.Wait(0))
        return;
    RenderTo(_rendered + static_cast<std::int64_t>(milliseconds * _rate / 1000.0));
}

void FrameCountClock::SleepUntil(std::int64_t deadline)
{
    // The worker sleeps until a spin margin before a tick, then reads the clock until the tick
    // is due: rendering up to the tick's frame makes it due on the first read.
    RenderTo(deadline + _spinMargin);
}

Platform::OutputFrame FrameCountClock::FrameOf(std::int64_t due)
{
    _lastTick.store(due, std::memory_order_release);
    return due;
}

void FrameCountClock::RenderTo(std::int64_t frame)
{
    std::int64_t end;
    while ((end = _end.load(std::memory_order_acquire)) < 0 && !Cancelled())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::int64_t target = std::min(frame, end);
    _output.SetRenderer(std::this_thread::get_id());
    while (_rendered < target && !Cancelled() && !SinkFailed()) {
        const auto frames = static_cast<int>(std::min<std::int64_t>(Block, target - _rendered));
        WaitForHandOver();
        const bool sounded = _output.GetMixer().RenderSounding(_buffer.data(), frames);
        if (!_sink(sounded ? _buffer.data() : nullptr, frames))
            _sinkFailed.store(true, std::memory_order_release);
        _rendered += frames;
        _published.store(_rendered, std::memory_order_release);
    }
    if (Over() && _timer != nullptr)
        _timer->Stop();
}

// Every click asked for must be in the mixer's queue before the frames it starts on. Meanwhile
// the mixer takes what is handed to it (a wave device's reset, which its player waits for before
// it writes the click), without a frame passing.
void FrameCountClock::WaitForHandOver()
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(HandOverTimeoutMs);
    while (!_engine.HandedOver() && std::chrono::steady_clock::now() < giveUp) {
        _output.TakeEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

void FrameCountClock::RenderRest(std::int64_t frame)
{
    RenderTo(frame);
}

}  // namespace Core
