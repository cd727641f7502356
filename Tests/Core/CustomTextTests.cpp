#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/CustomText.h"

namespace {

using namespace Core::CustomText;

struct Parsed {
    std::int32_t code;
    std::vector<std::uint32_t> values;
    std::vector<std::uint16_t> entries;
};

Parsed Pattern(const std::u16string& text, bool compound = false, bool visual = false)
{
    StepValues values{};
    PatternEntries entries{};
    std::int32_t total = 0;
    Parsed parsed{ParseCustomPattern(text, compound, visual, values, entries, total), {}, {}};
    if (parsed.code == Ok) {
        parsed.values.assign(values.begin(), values.begin() + total);
        if (compound)
            parsed.entries.assign(entries.begin(), entries.begin() + total);
    }
    EXPECT_EQ(ValidateCustomPattern(text), parsed.code) << "validation differs for this text";
    return parsed;
}

Parsed Rhythm(const std::u16string& text, bool compound = false, bool visual = false)
{
    StepValues values{};
    PatternEntries entries{};
    std::int32_t total = 0;
    Parsed parsed{ParseCustomRhythm(text, compound, visual, values, entries, total), {}, {}};
    if (parsed.code == Ok) {
        parsed.values.assign(values.begin(), values.begin() + total);
        if (compound)
            parsed.entries.assign(entries.begin(), entries.begin() + total);
    }
    return parsed;
}

std::u16string Repeat(const std::u16string& part, int times, const std::u16string& separator)
{
    std::u16string text;
    for (int i = 0; i < times; ++i)
        text += (i ? separator : u"") + part;
    return text;
}

TEST(CustomPattern, GroupsGiveFirstBeatGroupStartsAndOtherBeats)
{
    EXPECT_EQ(Pattern(u"3+2+2").values, (std::vector<std::uint32_t>{0, 2, 2, 1, 2, 1, 2}));
    EXPECT_EQ(Pattern(u"1+1").values, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(Pattern(u"10").values.size(), 10u);
    EXPECT_EQ(Pattern(u"105").values.size(), 105u);
    EXPECT_EQ(Pattern(u"05").values.size(), 5u);
    EXPECT_EQ(Pattern(u"109").values.size(), 109u);
    const Parsed empty = Pattern(u"");
    EXPECT_EQ(empty.code, Ok);
    EXPECT_TRUE(empty.values.empty());
}

TEST(CustomPattern, MalformedTextsAreRefused)
{
    for (const std::u16string text :
         {u"0", u"3+00", u"3+", u"+3", u"3++2", u"3+a", u"3 +2", u" 3", u"3-2", u"+", u"\uFF13", u"3+2 "})
        EXPECT_EQ(Pattern(text).code, PatternMalformed) << std::string(text.begin(), text.end());
}

TEST(CustomPattern, LimitsOnGroupAndTotal)
{
    EXPECT_EQ(Pattern(u"110").code, PatternGroupTooLarge);
    EXPECT_EQ(Pattern(u"1000").code, PatternGroupTooLarge);
    EXPECT_EQ(Pattern(u"3+200").code, PatternGroupTooLarge);
    EXPECT_EQ(Pattern(u"0000000000109").code, Ok);

    const std::u16string ninetyNines = Repeat(u"99", 5, u"+");
    const Parsed most = Pattern(ninetyNines + u"+16");
    EXPECT_EQ(most.code, Ok);
    EXPECT_EQ(most.values.size(), 511u);
    EXPECT_EQ(most.values[495], 1u);  // the last group's first beat
    EXPECT_EQ(Pattern(ninetyNines + u"+17").code, PatternTooManyBeats);
    // The first error met decides: the total is exceeded before a later bad character.
    EXPECT_EQ(Pattern(ninetyNines + u"+17+x").code, PatternTooManyBeats);
}

TEST(CustomPattern, CompoundEntriesMarkGroupsOfThree)
{
    const Parsed six = Pattern(u"6", true, true);
    EXPECT_EQ(six.entries, (std::vector<std::uint16_t>{0x0011, 0x0001, 0x0001, 0x0021, 0x0001, 0x0021}));
    EXPECT_EQ(Pattern(u"6", true, false).entries, std::vector<std::uint16_t>(6, 0x0001));
    EXPECT_EQ(Pattern(u"2+4", true, true).entries,
              (std::vector<std::uint16_t>{0x0011, 0x0021, 0x0011, 0x0001, 0x0001, 0x0021}));
}

TEST(CustomRhythm, StepsHoldTheirVoices)
{
    EXPECT_EQ(Rhythm(u"1 2[34]").values, (std::vector<std::uint32_t>{1, 0, 2, 0x34}));
    EXPECT_EQ(Rhythm(u"[0 5]").values, (std::vector<std::uint32_t>{5}));
    EXPECT_EQ(Rhythm(u"09:;<ab").values, (std::vector<std::uint32_t>{0, 9, 10, 11, 12, 11, 12}));
    // The first voice of a group ends up highest; a ninth voice pushes the first out.
    EXPECT_EQ(Rhythm(u"[123456789]").values, (std::vector<std::uint32_t>{0x23456789}));
    EXPECT_EQ(Rhythm(u"[ba]").values, (std::vector<std::uint32_t>{0xCB}));
    // A '[' inside an open group starts the step again.
    EXPECT_EQ(Rhythm(u"[12[3]").values, (std::vector<std::uint32_t>{3}));
    EXPECT_TRUE(Rhythm(u"").values.empty());
}

TEST(CustomRhythm, MalformedTextsAreRefused)
{
    for (const std::u16string text : {u"[]", u"]", u"[1", u"c", u"1[ ]", u"/", u"=", u"[1c]", u"1]", u"\u0100"})
        EXPECT_EQ(Rhythm(text).code, RhythmMalformed) << std::string(text.begin(), text.end());
}

TEST(CustomRhythm, AtMost512Steps)
{
    const std::u16string full(512, u'1');
    EXPECT_EQ(Rhythm(full).values.size(), 512u);
    EXPECT_EQ(Rhythm(full + u"1").code, RhythmTooLong);
    EXPECT_EQ(Rhythm(full + u" ").code, RhythmTooLong);
    // A group as the 513th step is refused too, before anything is stored past the table.
    EXPECT_EQ(Rhythm(full + u"[12]").code, RhythmTooLong);
    EXPECT_EQ(Rhythm(std::u16string(511, u' ') + u"[12]").values.size(), 512u);
}

TEST(CustomRhythm, CompoundEntriesMarkGroupsOfThree)
{
    EXPECT_EQ(Rhythm(u"1 2[34]  ", true, true).entries,
              (std::vector<std::uint16_t>{0x0011, 0x0001, 0x0021, 0x0011, 0x0001, 0x0021}));
    EXPECT_EQ(Rhythm(u"1[23]", true, false).entries, (std::vector<std::uint16_t>{0x0001, 0x0001}));
}

TEST(CustomText, FieldTextStopsAtItsZeroOrCapacity)
{
    char16_t field[4] = {u'1', u'+', 0, u'9'};
    EXPECT_EQ(Of(field), u"1+");
    char16_t full[3] = {u'1', u'2', u'3'};
    EXPECT_EQ(Of(full), u"123");
}

}  // namespace
