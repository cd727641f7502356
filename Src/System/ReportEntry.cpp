#include "System/ReportEntry.h"

#include <cstdio>

#include "System/ILog.h"
#include "System/LogFile.h"

namespace System {

void WriteReportEntry(const char* kind, unsigned code, const char* description, const char* file,
                      const char* function, int line, const char* format, va_list arguments)
{
    char message[ReportMessageCapacity];
    std::vsnprintf(message, sizeof message, format, arguments);
    char entry[LogFile::LineCapacity];
    std::snprintf(entry, sizeof entry,
                  "%s: %s\r\n\tFile: %s\r\n\tFunction: %s\r\n\tLine: %d\r\n\tError Code %u\r\n\tDescription: %s",
                  kind, message, file, function, line, code, description);
    Log().WriteText(Error, entry);
}

}  // namespace System
