#include "Core/TimingCoachInput.h"

#include <algorithm>
#include <cmath>

namespace Core {

bool TimingCoachInput::Open(const std::string& source, double rate)
{
    if (!_input.Start(source, rate))
        return false;
    OnsetDetector::Settings settings;
    settings.rate = _input.Rate();
    _detector = std::make_unique<OnsetDetector>(settings);
    _reported = 0;
    _originNs = 0;
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
        Learn(block);
        _detector->Process(block.samples, static_cast<std::size_t>(block.frames), &TimingCoachInput::Found, this);
    }
}

void TimingCoachInput::Learn(const Platform::PulseInput::Block& block) noexcept
{
    const double period = 1e9 / _input.Rate();
    const std::int64_t origin = block.capturedAtNs - std::llround(static_cast<double>(block.firstFrame) * period);
    const auto frame = static_cast<double>(block.firstFrame);
    if (frame < SettleSeconds * _input.Rate()) {
        _originNs = origin;  // the best there is yet
        return;
    }
    _reports[_reported++ % Reports] = origin;
    const std::size_t count = std::min(_reported, Reports);
    std::copy_n(_reports.begin(), count, _sorting.begin());
    const auto middle = _sorting.begin() + static_cast<std::ptrdiff_t>(count / 2);
    std::nth_element(_sorting.begin(), middle, _sorting.begin() + static_cast<std::ptrdiff_t>(count));
    const std::int64_t target = *middle;
    // Once settled, the origin follows only as fast as two clocks can part (a stream that
    // started again is taken at once).
    const auto slew = static_cast<std::int64_t>(std::ceil(block.frames * period * MostPartPerMillion / 1e6));
    if (count < Reports || std::llabs(target - _originNs) > 50'000'000)
        _originNs = target;
    else
        _originNs += std::clamp(target - _originNs, -slew, slew);
    _settled.store(count == Reports, std::memory_order_relaxed);
}

// An onset's frame counts from the first the detector was fed, as the blocks' frames do.
void TimingCoachInput::Found(const OnsetDetector::Onset& onset, void* self) noexcept
{
    auto& input = *static_cast<TimingCoachInput*>(self);
    input._sink(input._originNs + std::llround(static_cast<double>(onset.frame) * 1e9 / input._input.Rate()),
                input._context);
}

}  // namespace Core
