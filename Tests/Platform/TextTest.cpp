#include <gtest/gtest.h>

#include <string>

#include "Platform/Text.h"

namespace Text = Platform::Text;

namespace {

bool HasSurrogate(std::u16string_view text)
{
    for (char16_t unit : text)
        if (unit >= 0xD800 && unit <= 0xDFFF)
            return true;
    return false;
}

}  // namespace

TEST(Text, Utf8AndUtf16RoundTripAcrossPlanes)
{
    const std::string utf8 = "Tempo \xC3\xA9t\xC3\xA9 \xE2\x99\xA9 \xF0\x9F\xA5\x81";  // é, ♩, a drum outside the BMP
    const std::u16string utf16 = Text::Utf8ToUtf16(utf8);
    EXPECT_EQ(utf16, u"Tempo \u00E9t\u00E9 \u2669 \U0001F941");
    EXPECT_EQ(Text::Utf16ToUtf8(utf16), utf8);
    char16_t fixed[32];
    EXPECT_EQ(Text::Utf8ToUtf16(utf8, fixed), utf16.size());
    EXPECT_EQ(std::u16string(fixed), utf16);
}

TEST(Text, FixedCapacityCopiesCutBeforeTheZeroAndNeverSplitASurrogatePair)
{
    char16_t four[4];
    // Three units fit; the pair would need units 3 and 4, and the zero the 4th.
    EXPECT_EQ(Text::Copy(four, u"ab\U0001F941"), 2u);
    EXPECT_EQ(std::u16string(four), u"ab");
    EXPECT_EQ(Text::Copy(four, u"a\U0001F941"), 3u);
    EXPECT_EQ(std::u16string(four), u"a\U0001F941");
    EXPECT_EQ(Text::Copy(four, u"abcdef"), 3u);
    EXPECT_EQ(std::u16string(four), u"abc");

    EXPECT_EQ(Text::Utf8ToUtf16("ab\xF0\x9F\xA5\x81", four), 2u);
    EXPECT_EQ(std::u16string(four), u"ab");

    // The UTF-8 side cuts between characters, too: "a" and a two-byte "é" need 4 bytes with the zero.
    char bytes[3];
    EXPECT_EQ(Text::Utf16ToUtf8(u"a\u00E9", bytes, sizeof bytes), 1u);
    EXPECT_EQ(std::string(bytes), "a");

    char16_t one[1] = {u'x'};
    EXPECT_EQ(Text::Copy(one, u"abc"), 0u);
    EXPECT_EQ(one[0], 0);
}

TEST(Text, CopyStopsAtAnEmbeddedZero)
{
    char16_t buffer[8];
    EXPECT_EQ(Text::Copy(buffer, std::u16string_view(u"ab\0cd", 5)), 2u);
    EXPECT_EQ(std::u16string(buffer), u"ab");
}

TEST(Text, InvalidUtf8BecomesReplacementCharactersAndLosesNoValidText)
{
    const char* const cases[] = {
        "\x80x",              // a continuation byte with no lead
        "\xC3x",              // a lead whose continuation is missing
        "\xC0\x80x",          // an overlong zero
        "\xED\xA0\x80x",      // a surrogate encoded in UTF-8
        "\xF4\x90\x80\x80x",  // beyond U+10FFFF
        "\xFFx",              // never valid
    };
    for (const char* bad : cases) {
        const std::u16string decoded = Text::Utf8ToUtf16(bad);
        ASSERT_FALSE(decoded.empty()) << bad;
        EXPECT_EQ(decoded.front(), u'\uFFFD') << bad;
        EXPECT_EQ(decoded.back(), u'x') << bad;
        EXPECT_FALSE(HasSurrogate(decoded)) << bad;
        EXPECT_EQ(decoded.find(u'\0'), std::u16string::npos) << bad;
    }
    // A sequence cut off at the very end of the input.
    EXPECT_EQ(Text::Utf8ToUtf16("ok\xE2\x99"), u"ok\uFFFD\uFFFD");
}

TEST(Text, LoneSurrogatesBecomeReplacementCharacters)
{
    EXPECT_EQ(Text::Utf16ToUtf8(std::u16string(u"a") + char16_t(0xD83D) + u"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Text::Utf16ToUtf8(std::u16string(u"a") + char16_t(0xDD41)), "a\xEF\xBF\xBD");
    char16_t buffer[8];
    Text::Copy(buffer, std::u16string(1, char16_t(0xDC00)) + u"z");
    EXPECT_EQ(std::u16string(buffer), u"\uFFFDz");
}

TEST(Text, LengthAndCompareStayInsideTheArray)
{
    const char16_t unterminated[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(Text::Length(unterminated, 3), 3u);
    EXPECT_EQ(Text::Length(u"ab"), 2u);
    EXPECT_EQ(Text::Compare(u"abc", u"abc"), 0);
    EXPECT_LT(Text::Compare(u"ab", u"abc"), 0);
    EXPECT_GT(Text::Compare(u"b", u"abc"), 0);
}

TEST(Text, EscapedKeepsTextAndHexesControlsAndBytesThatAreNotUtf8)
{
    EXPECT_EQ(Platform::Text::Escaped("Grüße \xEF\xBF\xBD \xF0\x9F\x8E\xB5"), "Grüße \xEF\xBF\xBD \xF0\x9F\x8E\xB5");
    EXPECT_EQ(Platform::Text::Escaped(std::string("a\x1B[2J\r\n\x7F\xFF\xC3", 10) + std::string(1, '\0')),
              "a\\x1B[2J\\x0D\\x0A\\x7F\\xFF\\xC3\\x00");
}
