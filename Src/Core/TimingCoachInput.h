#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "Core/OnsetDetector.h"
#include "Platform/PulseInput.h"

namespace Core {

// The coach's ear: an input of the sound server with the onset detector behind it. The capture
// runs on the input's own thread; Poll, on the analysis thread (one at a time), takes the blocks
// it queued, finds the hits in them and reports each with the clock time (Platform::Clock, the
// clock beats are heard on) it was captured at.
//
// The input's frames run on its sample clock, so frame n was captured at origin + n / rate. The
// server's report of when each block was captured jumps by milliseconds from one timing report to
// the next and is far off while a stream starts. So the origin is the median of what the blocks
// of the last seconds report (the stream's first two seconds left out), and once settled (when
// those seconds are all there) it moves
// no faster than an input's and the system's clocks part (MostPartPerMillion): a take and its
// calibration are timed alike, and the round trip the calibration measured holds.
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

    // Whether the origin has settled (some seconds after Open): a calibration waits for it.
    bool Settled() const noexcept { return _settled.load(std::memory_order_relaxed); }
    // When the input's frame 0 was captured, as the latest blocks tell it (0 until they do).
    std::int64_t OriginNs() const noexcept { return _originNs; }
    // Allocates nothing: safe to call as often as the analysis likes.
    void Poll(HitSink sink, void* context) noexcept;

private:
    static void Found(const OnsetDetector::Onset& onset, void* self) noexcept;
    void Learn(const Platform::PulseInput::Block& block) noexcept;

    static constexpr std::size_t Reports = 1024;  // blocks: five seconds at 48 kHz
    static constexpr double SettleSeconds = 2;
    static constexpr double MostPartPerMillion = 20;

    Platform::PulseInput _input;
    std::unique_ptr<OnsetDetector> _detector;      // made at the input's rate
    std::array<std::int64_t, Reports> _reports{};  // origins the blocks reported, a ring
    std::array<std::int64_t, Reports> _sorting{};
    std::size_t _reported = 0;
    std::int64_t _originNs = 0;
    std::atomic<bool> _settled{false};
    HitSink _sink = nullptr;
    void* _context = nullptr;
};

}  // namespace Core
