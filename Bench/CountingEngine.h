#pragma once

// What the timing benches share: an engine that counts what the metronome plays through it, and
// a handler that only notes a failure.

#include <atomic>
#include <cstdint>

#include "Configuration/ConfigurationData.h"
#include "Core/ISoundEngine.h"
#include "Support/QuietHandler.h"

namespace Bench {

using Tests::QuietHandler;

// Counts the clicks the metronome plays and remembers the first one's frame.
class CountingEngine final : public Core::ISoundEngine {
public:
    explicit CountingEngine(Core::ISoundEngine& engine) : _engine(engine) {}
    bool Initialise(Configuration::ConfigurationData& settings) override { return _engine.Initialise(settings); }
    bool PlaySoundAt(std::int32_t volume, std::int32_t sound, Platform::OutputFrame frame) override
    {
        if (_count.fetch_add(1, std::memory_order_relaxed) == 0)
            _firstFrame.store(frame.Frame(), std::memory_order_relaxed);
        return _engine.PlaySoundAt(volume, sound, frame);
    }
    void Close() override { _engine.Close(); }
    void FinishClosing() override { _engine.FinishClosing(); }
    bool HandedOver() override { return _engine.HandedOver(); }
    bool CanPlay(std::int32_t sound) const override { return _engine.CanPlay(sound); }
    std::uint32_t GetLastResult() override { return _engine.GetLastResult(); }
    int Count() const { return _count.load(std::memory_order_relaxed); }
    std::int64_t FirstFrame() const { return _firstFrame.load(std::memory_order_relaxed); }
    void Reset() { _count.store(0, std::memory_order_relaxed); }

private:
    Core::ISoundEngine& _engine;
    std::atomic<int> _count{0};
    std::atomic<std::int64_t> _firstFrame{0};
};

}  // namespace Bench
