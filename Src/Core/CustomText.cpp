#include "Core/CustomText.h"

namespace Core::CustomText {

namespace {

// The bits of a pattern entry that matter here (the beat strategies define them all).
constexpr std::uint16_t Beat = 0x0001;
constexpr std::uint16_t BeatShown = 0x0011;
constexpr std::uint16_t BeatThenDark = 0x0021;

// One walk for parsing and validating: outputs are written only when `values` is given.
std::int32_t ReadPattern(std::u16string_view text, bool compound, bool visual, StepValues* values,
                         PatternEntries* entries, std::int32_t& total) noexcept
{
    total = 0;
    if (text.empty())
        return Ok;

    std::size_t at = 0;
    std::int32_t step = 0;
    for (;;) {
        std::int32_t value = 0;
        for (;;) {
            const char16_t c = text[at];
            if (c < u'0' || c > u'9')
                return PatternMalformed;
            if (value != 0) {
                value *= 10;
                if (value > 100)
                    return PatternGroupTooLarge;
            }
            value += c - u'0';
            ++at;
            if (at == text.size() || text[at] == u'+')
                break;
        }
        if (value == 0)
            return PatternMalformed;
        if (at < text.size()) {
            ++at;  // past the plus sign
            if (at == text.size())
                return PatternMalformed;
        }

        // The group's first beat: step < 512 here, since the total before it is below 512.
        const std::int32_t first = step;
        if (values != nullptr) {
            (*values)[first] = first == 0 ? 0 : 1;
            if (compound)
                (*entries)[first] = visual ? BeatShown : Beat;
        }
        total += value;
        if (total >= MaxSteps)
            return PatternTooManyBeats;
        if (values != nullptr) {
            for (std::int32_t j = 1; j < value; ++j) {
                (*values)[first + j] = 2;
                if (compound)
                    (*entries)[first + j] = visual && (j == value - 1 || j % 3 == 0) ? BeatThenDark : Beat;
            }
        }
        step = first + value;
        if (at == text.size())
            return Ok;
    }
}

std::uint16_t CompoundRhythmEntry(std::int32_t step, bool visual) noexcept
{
    if (!visual)
        return Beat;
    if (step % 3 == 0)
        return BeatShown;
    if ((step + 1) % 3 == 0)
        return BeatThenDark;
    return Beat;
}

// A space is a rest; otherwise '0'..'9', ':', ';', '<' count from '0', and 'a', 'b' count on
// from 11. Anything outside 0..12 is refused.
std::int32_t StepCharacterValue(char16_t c) noexcept
{
    if (c == u' ')
        return 0;
    const std::int32_t code = c;
    return code < u'a' ? code - 48 : code - 86;
}

}  // namespace

std::int32_t ParseCustomPattern(std::u16string_view text, bool compound, bool visual, StepValues& values,
                                PatternEntries& entries, std::int32_t& total) noexcept
{
    return ReadPattern(text, compound, visual, &values, &entries, total);
}

std::int32_t ValidateCustomPattern(std::u16string_view text) noexcept
{
    std::int32_t total = 0;
    return ReadPattern(text, false, false, nullptr, nullptr, total);
}

std::int32_t ValidatePlayablePattern(std::u16string_view text) noexcept
{
    return text.empty() ? PatternMalformed : ValidateCustomPattern(text);
}

std::int32_t ParseCustomRhythm(std::u16string_view text, bool compound, bool visual, StepValues& values,
                               PatternEntries& entries, std::int32_t& total) noexcept
{
    total = 0;
    bool inGroup = false;
    bool groupHasVoice = false;
    for (const char16_t c : text) {
        if (c == u'[') {
            // A '[' inside an open group starts the step again.
            inGroup = true;
            groupHasVoice = false;
            continue;
        }
        if (c == u']') {
            if (!groupHasVoice)
                return RhythmMalformed;
            if (compound)
                entries[total] = CompoundRhythmEntry(total, visual);
            ++total;
            inGroup = false;
            groupHasVoice = false;
            continue;
        }
        const std::int32_t value = StepCharacterValue(c);
        if (value < 0 || value > 12)
            return RhythmMalformed;
        if (inGroup) {
            if (value == 0)
                continue;
            // The group would be step 513: never stored.
            if (total == MaxSteps)
                return RhythmTooLong;
            if (groupHasVoice) {
                values[total] = values[total] * 16 + static_cast<std::uint32_t>(value);
            } else {
                values[total] = static_cast<std::uint32_t>(value);
                groupHasVoice = true;
            }
        } else {
            if (total == MaxSteps)
                return RhythmTooLong;
            if (compound)
                entries[total] = CompoundRhythmEntry(total, visual);
            values[total] = static_cast<std::uint32_t>(value);
            ++total;
        }
    }
    if (inGroup)
        return RhythmMalformed;
    return Ok;
}

}  // namespace Core::CustomText
