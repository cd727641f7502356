#include "System/ReportEntry.h"

#include <cstdio>
#include <cstring>

#include "System/ILog.h"
#include "System/LogFile.h"

namespace System {

void WriteReportEntry(const char* kind, unsigned code, const char* description, const char* file,
                      const char* function, int line, const char* format, va_list arguments)
{
    // The message is cut between characters, never inside one.
    char formatted[LogFile::LineCapacity];
    std::vsnprintf(formatted, sizeof formatted, format, arguments);
    char message[ReportMessageCapacity];
    const std::size_t length = LogFile::Utf8Prefix(formatted, std::strlen(formatted), sizeof message - 1);
    std::memcpy(message, formatted, length);
    message[length] = 0;
    char entry[LogFile::LineCapacity];
    std::snprintf(entry, sizeof entry,
                  "%s: %s\r\n\tFile: %s\r\n\tFunction: %s\r\n\tLine: %d\r\n\tError Code %u\r\n\tDescription: %s",
                  kind, message, file, function, line, code, description);
    Log().WriteText(Error, entry);
}

}  // namespace System
