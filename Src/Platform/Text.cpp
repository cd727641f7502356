#include "Platform/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace Platform::Text {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Decodes one code point from UTF-8 at `at`, advancing it; invalid sequences give U+FFFD
// and consume one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& at) noexcept
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    int extra;
    char32_t code;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++at;
        return Replacement;
    }
    if (at + static_cast<std::size_t>(extra) >= text.size()) {
        ++at;
        return Replacement;
    }
    for (int i = 1; i <= extra; ++i) {
        unsigned char next = byte(at + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++at;
            return Replacement;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return Replacement;
    }
    at += static_cast<std::size_t>(extra) + 1;
    return code;
}

// Decodes one code point from UTF-16, advancing `at`; a lone surrogate gives U+FFFD.
char32_t DecodeUtf16(std::u16string_view text, std::size_t& at) noexcept
{
    char16_t unit = text[at++];
    if (unit >= 0xD800 && unit <= 0xDBFF && at < text.size()) {
        char16_t low = text[at];
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++at;
            return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF)
        return Replacement;
    return unit;
}

int EncodeUtf8(char32_t code, char* out) noexcept
{
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code >> 12));
        out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
}

int EncodeUtf16(char32_t code, char16_t* out) noexcept
{
    if (code < 0x10000) {
        out[0] = static_cast<char16_t>(code);
        return 1;
    }
    code -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (code >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    return 2;
}

// A wide character is one code point; one that is none gives U+FFFD.
char32_t DecodeWide(std::wstring_view text, std::size_t& at) noexcept
{
    char32_t code = static_cast<char32_t>(text[at++]);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = Replacement;
    return code;
}

int EncodeWide(char32_t code, wchar_t* out) noexcept
{
    out[0] = static_cast<wchar_t>(code);
    return 1;
}

char32_t Decode(std::string_view text, std::size_t& at) noexcept
{
    return DecodeUtf8(text, at);
}
char32_t Decode(std::u16string_view text, std::size_t& at) noexcept
{
    return DecodeUtf16(text, at);
}
char32_t Decode(std::wstring_view text, std::size_t& at) noexcept
{
    return DecodeWide(text, at);
}
int Encode(char32_t code, char* out) noexcept
{
    return EncodeUtf8(code, out);
}
int Encode(char32_t code, char16_t* out) noexcept
{
    return EncodeUtf16(code, out);
}
int Encode(char32_t code, wchar_t* out) noexcept
{
    return EncodeWide(code, out);
}

// The one conversion loop: every code point of `text` (up to a nul, when `stopAtNul`) decoded,
// encoded in `Out` units and handed to `put`, until it takes no more (returns false).
template <typename Out, typename In, typename Put>
void Transcode(std::basic_string_view<In> text, bool stopAtNul, Put&& put)
{
    for (std::size_t at = 0; at < text.size();) {
        if (stopAtNul && text[at] == 0)
            break;
        Out units[4];
        const int count = Encode(Decode(text, at), units);
        if (!put(units, static_cast<std::size_t>(count)))
            break;
    }
}

template <typename Out, typename In>
std::basic_string<Out> Transcoded(std::basic_string_view<In> text, bool stopAtNul)
{
    std::basic_string<Out> result;
    result.reserve(text.size());
    Transcode<Out>(text, stopAtNul, [&result](const Out* units, std::size_t count) {
        result.append(units, count);
        return true;
    });
    return result;
}

// Into a buffer of `capacity` units, nul included: as many whole code points as fit.
template <typename Out, typename In>
std::size_t TranscodeInto(std::basic_string_view<In> text, Out* destination, std::size_t capacity) noexcept
{
    if (capacity == 0)
        return 0;
    std::size_t n = 0;
    Transcode<Out>(text, true, [&](const Out* units, std::size_t count) {
        if (n + count > capacity - 1)
            return false;
        for (std::size_t i = 0; i < count; ++i)
            destination[n++] = units[i];
        return true;
    });
    destination[n] = 0;
    return n;
}

}  // namespace

std::size_t Length(const char16_t* text, std::size_t capacity) noexcept
{
    std::size_t n = 0;
    while (n < capacity && text[n] != 0)
        ++n;
    return n;
}

std::size_t Copy(char16_t* destination, std::size_t capacity, std::u16string_view source) noexcept
{
    return TranscodeInto(source, destination, capacity);
}

std::size_t Utf8ToUtf16(std::string_view utf8, char16_t* destination, std::size_t capacity) noexcept
{
    return TranscodeInto(utf8, destination, capacity);
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    return Transcoded<char16_t>(utf8, false);
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    return Transcoded<char>(text, true);
}

std::string Utf16ToUtf8(const char16_t* text)
{
    return Utf16ToUtf8(std::u16string_view(text, Length(text)));
}

std::size_t Utf16ToUtf8(std::u16string_view text, char* destination, std::size_t capacity) noexcept
{
    return TranscodeInto(text, destination, capacity);
}

std::string WideToUtf8(std::wstring_view text)
{
    return Transcoded<char>(text, false);
}

std::wstring Utf16ToWide(std::u16string_view text)
{
    return Transcoded<wchar_t>(text, true);
}

std::string Escaped(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const char32_t code = DecodeUtf8(text, at);
        // A real U+FFFD takes three bytes; one byte consumed means a byte that is not UTF-8.
        if ((code == Replacement && at - start == 1) || code < 0x20 || code == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(text[start]));
            result += hex;
            at = start + 1;
        } else {
            result.append(text.substr(start, at - start));
        }
    }
    return result;
}

int Compare(const char16_t* a, const char16_t* b) noexcept
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

bool ParseWhole(std::string_view text, std::int32_t& value) noexcept
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseWhole(std::string_view text, double& value) noexcept
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

}  // namespace Platform::Text
