#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Platform::Text {

// Text inside the program is UTF-16 in fixed-capacity arrays whose capacity counts the
// terminating zero. These helpers convert at the edges (files, the log, the toolkit).

// Units before the terminating zero, never more than capacity.
std::size_t Length(const char16_t* text, std::size_t capacity = static_cast<std::size_t>(-1)) noexcept;

// Copies source into a destination of `capacity` units, cutting it so that the terminating
// zero still fits; a surrogate pair is never split. Returns the units written, zero excluded.
std::size_t Copy(char16_t* destination, std::size_t capacity, std::u16string_view source) noexcept;

template <std::size_t N>
std::size_t Copy(char16_t (&destination)[N], std::u16string_view source) noexcept
{
    return Copy(destination, N, source);
}

// UTF-8 into a fixed-capacity UTF-16 array with the same cutting rule. Bytes that are not
// valid UTF-8 become U+FFFD. Returns the units written, zero excluded.
std::size_t Utf8ToUtf16(std::string_view utf8, char16_t* destination, std::size_t capacity) noexcept;

template <std::size_t N>
std::size_t Utf8ToUtf16(std::string_view utf8, char16_t (&destination)[N]) noexcept
{
    return Utf8ToUtf16(utf8, destination, N);
}

std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 (up to its zero) to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::string Utf16ToUtf8(const char16_t* text);

// Writes UTF-8 of `text` into a byte buffer of `capacity` bytes (zero included), never
// splitting a character. Returns the bytes written, zero excluded.
std::size_t Utf16ToUtf8(std::u16string_view text, char* destination, std::size_t capacity) noexcept;

// wchar_t (UTF-32 here) to and from UTF-8, for the log's wide interface.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);

// Text from outside (a damaged file) made safe for a log line: control characters and bytes
// that are not valid UTF-8 become "\xNN"; everything else stays as it is.
std::string Escaped(std::string_view text);

// The whole of `text` read as a decimal number (a finite one for double); false, `value` left
// alone or undefined, when anything else is there.
bool ParseWhole(std::string_view text, std::int32_t& value) noexcept;
bool ParseWhole(std::string_view text, double& value) noexcept;

// Ordinal comparison of two zero-terminated UTF-16 strings, unit by unit.
int Compare(const char16_t* a, const char16_t* b) noexcept;

}  // namespace Platform::Text
