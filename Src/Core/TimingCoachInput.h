#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Core/CaptureClock.h"
#include "Core/OnsetDetector.h"
#include "Platform/PulseInput.h"

namespace Core {

// The coach's ear: an input of the sound server with the onset detector behind it. The capture
// runs on the input's own thread; Poll, on the analysis thread (one at a time), takes the blocks
// it queued, finds the hits in them and reports each with the clock time (Platform::Clock, the
// clock beats are heard on) it was captured at.
//
// Each frame is timed by the input's own rate, as CaptureClock measures it from when the blocks
// arrived: a device runs off its nominal rate by up to hundreds of parts per million, and the
// metronome's heard times follow its output's real pace, so a take timed at the nominal rate
// would drift against them by milliseconds a minute. A take and its calibration are timed
// alike, and the round trip the calibration measured holds.
class TimingCoachInput {
public:
    using HitSink = void (*)(std::int64_t capturedNs, void* context);

    // Listens to `source` (empty: the default); false when it cannot be opened.
    bool Open(const std::string& source, double rate = 48000);
    void Close() noexcept { _input.Stop(); }
    bool Running() const noexcept { return _input.Running(); }
    double Rate() const noexcept { return _input.Rate(); }
    float Level() const noexcept { return _input.Level(); }
    std::int64_t Dropped() const noexcept { return _input.Dropped(); }

    // Whether the input's rate is known (some seconds after Open): a calibration waits for it.
    bool Settled() const noexcept { return _settled.load(std::memory_order_relaxed); }
    // Allocates nothing: safe to call as often as the analysis likes.
    void Poll(HitSink sink, void* context) noexcept;

private:
    static void Found(const OnsetDetector::Onset& onset, void* self) noexcept;

    Platform::PulseInput _input;
    std::unique_ptr<OnsetDetector> _detector;  // made at the input's rate
    CaptureClock _clock;                       // the analysis thread's
    std::atomic<bool> _settled{false};
    HitSink _sink = nullptr;
    void* _context = nullptr;
};

}  // namespace Core
