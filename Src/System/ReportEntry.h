#pragma once

#include <cstdarg>
#include <cstddef>

namespace System {

// The formatted message part of a report entry holds at most this many bytes, zero included.
constexpr std::size_t ReportMessageCapacity = 256;

// Writes one multi-line report entry at level 3:
// "<kind>: <message>\r\n\tFile: ..\r\n\tFunction: ..\r\n\tLine: ..\r\n\tError Code ..\r\n\tDescription: .."
// The message is printf-formatted from `format` into ReportMessageCapacity bytes; the
// finished entry is written as plain text, so a '%' in a file name or description stays.
void WriteReportEntry(const char* kind, unsigned code, const char* description, const char* file, const char* function,
                      int line, const char* format, va_list arguments) __attribute__((format(printf, 7, 0)));

}  // namespace System
