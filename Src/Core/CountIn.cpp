#include "Core/CountIn.h"

#include "Configuration/ExtraSettings.h"
#include "Core/PercussionTable.h"

namespace Core {

namespace {

constexpr std::int32_t BarOfNoBeats = 4;

std::int32_t BarBeats(std::int32_t beatsPerBar) noexcept
{
    return beatsPerBar > 0 ? beatsPerBar : BarOfNoBeats;
}

}  // namespace

std::int32_t CountIn::Beats(std::int32_t beatsPerBar) const noexcept
{
    switch (length) {
    case Length::Bars: return (amount < 1 ? 1 : (amount > MaxBars ? MaxBars : amount)) * BarBeats(beatsPerBar);
    case Length::Beats: return amount < 1 ? 1 : (amount > MaxBeats ? MaxBeats : amount);
    default: return 0;
    }
}

std::int32_t CountIn::Count(std::int32_t beat, std::int32_t beatsPerBar) noexcept
{
    return (beat < 0 ? 0 : beat) % BarBeats(beatsPerBar) + 1;
}

CountIn CountIn::Read(const Configuration::ExtraSettings& extras)
{
    CountIn countIn;
    countIn.length = static_cast<Length>(extras.Number("countin.length", 0, 0, 2));
    const std::int32_t most = countIn.length == Length::Bars ? MaxBars : MaxBeats;
    countIn.amount = static_cast<std::int32_t>(extras.Number("countin.amount", 1, 1, most));
    countIn.instrument =
        static_cast<std::uint32_t>(extras.Number("countin.instrument", SideStickRow, 0, PercussionTable::Count - 1));
    countIn.volume = static_cast<std::uint32_t>(extras.Number("countin.volume", DefaultVolume, 0, 127));
    return countIn;
}

void CountIn::Write(Configuration::ExtraSettings& extras) const
{
    extras.SetNumber("countin.length", static_cast<std::int32_t>(length));
    extras.SetNumber("countin.amount", amount);
    extras.SetNumber("countin.instrument", instrument);
    extras.SetNumber("countin.volume", volume);
}

}  // namespace Core
