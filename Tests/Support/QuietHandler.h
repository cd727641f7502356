#pragma once

// A metronome event handler for runs that only play: it notes a failure and nothing else. The
// tests and the benches share it.

#include <atomic>
#include <cstdint>

#include "Core/IMetronomeEventHandler.h"

namespace Tests {

class QuietHandler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t, bool) override {}
    void OnTimerEvent(std::int32_t, std::int32_t, Core::Moment) override {}
    void OnStopped(std::int32_t) override {}
    void OnError(std::int32_t) override { failed.store(true); }
    std::atomic<bool> failed{false};
};

}  // namespace Tests
