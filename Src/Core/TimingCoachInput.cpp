#include "Core/TimingCoachInput.h"

namespace Core {

bool TimingCoachInput::Open(const std::string& source, double rate)
{
    if (!_input.Start(source, rate))
        return false;
    OnsetDetector::Settings settings;
    settings.rate = _input.Rate();
    _detector = std::make_unique<OnsetDetector>(settings);
    _clock.Reset(_input.Rate());
    _settled.store(false, std::memory_order_relaxed);
    return true;
}

void TimingCoachInput::Poll(HitSink sink, void* context) noexcept
{
    if (!_detector)
        return;
    _sink = sink;
    _context = context;
    Platform::PulseInput::Block block;
    while (_input.Pop(block)) {
        _clock.Arrived(block.arrivedFrames, block.arrivedAtNs);
        _settled.store(_clock.Settled(), std::memory_order_relaxed);
        _detector->Process(block.samples, static_cast<std::size_t>(block.frames), &TimingCoachInput::Found, this);
    }
}

// An onset's frame counts from the first the detector was fed, as the blocks' frames do.
void TimingCoachInput::Found(const OnsetDetector::Onset& onset, void* self) noexcept
{
    auto& input = *static_cast<TimingCoachInput*>(self);
    input._sink(input._clock.TimeOf(static_cast<double>(onset.frame)), input._context);
}

}  // namespace Core
