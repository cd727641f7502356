#pragma once

#include <QString>
#include <string_view>

#include "Platform/Text.h"

namespace GUI::QtText {

// A fixed-capacity field of the settings as a QString.
template <std::size_t N>
QString FromField(const char16_t (&field)[N])
{
    return QString::fromUtf16(field, static_cast<qsizetype>(Platform::Text::Length(field, N)));
}

// The first `limit` characters of a QString into a fixed-capacity field.
template <std::size_t N>
void ToField(char16_t (&field)[N], const QString& text, qsizetype limit = N - 1)
{
    const QString cut = text.left(limit);
    Platform::Text::Copy(
        field,
        std::u16string_view(reinterpret_cast<const char16_t*>(cut.utf16()), static_cast<std::size_t>(cut.size())));
}

inline std::u16string_view View(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

}  // namespace GUI::QtText
