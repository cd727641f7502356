#include "System/ReportEntry.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "Platform/SystemError.h"
#include "System/ILog.h"
#include "System/LogFile.h"

namespace System {

namespace {

// Cuts a system text at its last carriage return (or line feed), as the entries want it.
std::string CutAtLastBreak(std::string text, char breakChar)
{
    std::size_t at = text.rfind(breakChar);
    if (at != std::string::npos)
        text.erase(at);
    return text;
}

void WriteSystemErrorEntry(int code, const char* file, const char* function, int line, const char* format,
                           va_list arguments)
{
    std::string description = CutAtLastBreak(Platform::ErrorText(code), '\r');
    WriteReportEntry("System error", static_cast<unsigned>(code), description.c_str(), file, function, line, format,
                     arguments);
}

}  // namespace

void WriteReportEntry(const char* kind, unsigned code, const char* description, const char* file, const char* function,
                      int line, const char* format, va_list arguments)
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
                  "%s: %s\r\n\tFile: %s\r\n\tFunction: %s\r\n\tLine: %d\r\n\tError Code %u\r\n\tDescription: %s", kind,
                  message, file, function, line, code, description);
    Log().WriteText(Error, entry);
}

void ReportSystemError(const char* file, const char* function, int line, const char* format, ...)
{
    int code = Platform::LastError();
    va_list arguments;
    va_start(arguments, format);
    WriteSystemErrorEntry(code, file, function, line, format, arguments);
    va_end(arguments);
}

void ReportSystemErrorCode(int code, const char* file, const char* function, int line, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    WriteSystemErrorEntry(code, file, function, line, format, arguments);
    va_end(arguments);
}

bool ReportThreadStartError(int errorNumber)
{
    std::string text = Platform::ErrorText(errorNumber);
    if (text.size() > 255)
        text.resize(255);
    text = CutAtLastBreak(text, '\n');
    Log().Write(Error, "Error calling pthread_create: %s", text.c_str());
    return false;
}

}  // namespace System
