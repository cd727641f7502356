#include "Core/OnsetDetector.h"

#include <algorithm>
#include <cmath>

namespace Core {

namespace {

std::int64_t FramesOf(double ms, double rate)
{
    return std::max<std::int64_t>(1, std::llround(ms * rate / 1000.0));
}

}  // namespace

OnsetDetector::OnsetDetector(const Settings& settings) : _settings(settings)
{
    if (!(_settings.rate >= 1000 && _settings.rate <= 768000))
        _settings.rate = 48000;
    const double rate = _settings.rate;
    _fast = FramesOf(1.0, rate);
    _slow = FramesOf(20.0, rate);
    _lookAhead = FramesOf(3.0, rate);
    _search = FramesOf(2.0, rate);
    _refractory = FramesOf(std::max(_settings.refractoryMs, 5.0), rate);
    std::int64_t needed = 2 * (_fast + _slow + _search + _lookAhead + 2);
    _size = 1;
    while (_size < needed)
        _size <<= 1;
    _mask = _size - 1;
    for (Band& band : _bands)
        band.energy = std::make_unique<double[]>(static_cast<std::size_t>(_size));
    _signal = std::make_unique<float[]>(static_cast<std::size_t>(_size));
    // The floor may rise this much per frame: slowly enough that it stays below the quiet
    // between hits, quickly enough to follow a noise that grows.
    _floorRise = std::pow(10.0, _settings.floorRiseDbPerSecond / 10.0 / rate);
    Reset();
}

OnsetDetector::~OnsetDetector() = default;

void OnsetDetector::Reset() noexcept
{
    for (Band& band : _bands) {
        std::fill(band.energy.get(), band.energy.get() + _size, 0.0);
        band.fastSum = band.slowSum = band.floor = 0;
    }
    std::fill(_signal.get(), _signal.get() + _size, 0.0f);
    _frame = 0;
    _last = 0;
    _pending = -1;
    _pendingBand = 0;
    _pendingBefore = 0;
    _lastOnset = 0;
    _anyOnset = false;
}

void OnsetDetector::Process(const float* samples, std::size_t count, OnsetSink sink, void* context) noexcept
{
    for (std::size_t i = 0; i < count; ++i)
        Step(samples[i], sink, context);
}

bool OnsetDetector::Rises(Band& band, double energy, std::int64_t frame, double ratio) noexcept
{
    band.energy[frame & _mask] = energy;
    band.fastSum += energy;
    if (frame >= _fast) {
        const double leaving = Energy(band, frame - _fast);
        band.fastSum -= leaving;
        band.slowSum += leaving;
        if (frame >= _fast + _slow)
            band.slowSum -= Energy(band, frame - _fast - _slow);
    }
    band.fastSum = std::max(band.fastSum, 0.0);
    band.slowSum = std::max(band.slowSum, 0.0);
    if (frame < _fast + _slow)
        return false;  // the windows are not full yet
    const double lowest = _settings.lowestLevel;
    const double fast = band.fastSum / static_cast<double>(_fast);
    const double before = std::max(band.slowSum / static_cast<double>(_slow), lowest);
    if (band.floor <= 0 || before < band.floor)
        band.floor = before;
    else
        band.floor *= _floorRise;
    return fast > ratio * before && fast > _settings.floorRatio * band.floor && fast > lowest;
}

void OnsetDetector::Step(float sample, OnsetSink sink, void* context) noexcept
{
    // A sample that is no number is a dropout: the last one held leaves no edge to hear.
    if (!std::isfinite(sample))
        sample = _last;
    // The first frame has no frame before it: it counts from itself, not from silence.
    const double difference = _frame == 0 ? 0.0 : static_cast<double>(sample) - _last;
    _last = sample;
    const std::int64_t frame = _frame++;
    _signal[frame & _mask] = sample;
    const bool rises[2] = {Rises(_bands[0], static_cast<double>(sample) * sample, frame, _settings.riseRatio),
                           Rises(_bands[1], difference * difference, frame, _settings.highRiseRatio)};

    if (_pending >= 0) {
        if (frame - _pending >= _lookAhead) {
            Onset onset;
            onset.frame = Place(_bands[_pendingBand], _pending, _pendingBefore);
            for (std::int64_t i = onset.frame; i <= frame; ++i)
                onset.level = std::max(onset.level, std::fabs(_signal[i & _mask]));
            _pending = -1;
            _lastOnset = onset.frame;
            _anyOnset = true;
            if (sink)
                sink(onset, context);
        }
        return;
    }
    if (_anyOnset && frame - _lastOnset < _refractory)
        return;
    // Where both rise, the high band places the edge: it is the sharper there.
    for (int b : {1, 0})
        if (rises[b]) {
            _pending = frame;
            _pendingBand = b;
            _pendingBefore = std::max(_bands[b].slowSum / static_cast<double>(_slow), _settings.lowestLevel);
            return;
        }
}

// The onset lies in the short window that triggered (or a little before, where a soft edge began
// below the threshold). Each frame there is taken as quiet (the energy before) or loud (the
// energy after the trigger); the split that explains the frames best, by the likelihood of two
// noise levels, is the onset. Prefix sums of each frame's vote find it in one pass; a single
// loud frame of the noise before the hit does not move it. (The difference at frame n is the
// step from n-1 to n: a sound beginning at frame n shows first there, so the split is the onset.)
std::int64_t OnsetDetector::Place(const Band& band, std::int64_t trigger, double before) const noexcept
{
    const std::int64_t last = trigger + _lookAhead;
    const std::int64_t first = std::max<std::int64_t>({trigger - _fast - _search, _lastOnset + 1, 1});
    double after = 0;
    for (std::int64_t i = trigger; i <= last; ++i)
        after += Energy(band, i);
    after = std::max(after / static_cast<double>(last - trigger + 1), before * 2);
    const double weight = 1.0 / before - 1.0 / after;
    const double cost = std::log(after / before);
    double sum = 0;
    double best = 0;
    std::int64_t onset = first;
    for (std::int64_t i = first; i < trigger; ++i) {
        sum += Energy(band, i) * weight - cost;
        if (sum < best) {
            best = sum;
            onset = i + 1;
        }
    }
    return onset;
}

}  // namespace Core
