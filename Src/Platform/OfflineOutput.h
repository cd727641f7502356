#pragma once

#include <atomic>
#include <thread>

#include "Platform/Mixer.h"

namespace Platform {

// An output with no sound card behind it: its mixer is rendered by its owner, as fast as the
// machine goes (a click track written to a file). MIDI and wave devices open on it as on the
// program's output. What is handed to the mixer (a wave device's reset) is carried out by the
// thread that renders, or, when that thread itself waits for it or nobody renders any more, by
// the device that waits.
class OfflineOutput {
public:
    explicit OfflineOutput(double rate) noexcept : _rate(rate) { _mixer.Start(rate); }
    OfflineOutput(const OfflineOutput&) = delete;
    OfflineOutput& operator=(const OfflineOutput&) = delete;

    Mixer& GetMixer() noexcept { return _mixer; }
    double SampleRate() const noexcept { return _rate; }

    // The thread that renders from now on (a default id: none).
    void SetRenderer(std::thread::id renderer) noexcept { _renderer.store(renderer, std::memory_order_release); }
    // Carries out what was handed to the mixer, keeping what sounds, when no other thread
    // renders; nothing otherwise (that thread takes it with its next block).
    void TakeEvents() noexcept
    {
        const std::thread::id renderer = _renderer.load(std::memory_order_acquire);
        if (renderer != std::thread::id() && renderer != std::this_thread::get_id())
            return;
        float none[Mixer::Channels];
        _mixer.Render(none, 0);  // no frame passes
    }

private:
    Mixer _mixer;
    double _rate;
    std::atomic<std::thread::id> _renderer{};
};

}  // namespace Platform
