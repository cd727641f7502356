#include "System/LogFile.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "Platform/File.h"
#include "Platform/LocalTime.h"
#include "Platform/ProgramFolder.h"
#include "Platform/SystemError.h"
#include "Platform/Text.h"
#include "System/ReportEntry.h"

namespace System {

namespace {

std::atomic<ILog*> testLog{nullptr};

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

ILog& Log()
{
    if (ILog* log = testLog.load(std::memory_order_acquire))
        return *log;
    static LogFile log;
    return log;
}

void SetLogForTesting(ILog* log)
{
    testLog.store(log, std::memory_order_release);
}

LogFile::LogFile() : LogFile(Platform::DataFile("Ticova.log")) {}

LogFile::LogFile(std::string path) : _path(std::move(path)) {}

const char* LogFile::LevelWord(int level)
{
    static const char* const words[] = {"Emergency", "Alert",  "Critical",    "Error",
                                        "Warn",      "Notice", "Information", "Debug"};
    return level >= 0 && level <= 7 ? words[level] : "Unknown";
}

void LogFile::Write(int level, const char* format, ...)
{
    if (level > _level)
        return;
    char message[LineCapacity];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    WriteMessage(level, message);
}

void LogFile::WriteWide(int level, const wchar_t* format, ...)
{
    if (level > _level)
        return;
    wchar_t wide[LineCapacity];
    va_list arguments;
    va_start(arguments, format);
    int written = std::vswprintf(wide, LineCapacity, format, arguments);
    va_end(arguments);
    if (written < 0)
        wide[LineCapacity - 1] = 0;  // too long: vswprintf leaves what fitted
    std::string narrow = Platform::Text::WideToUtf8(wide);
    if (narrow.size() > LineCapacity - 1)
        narrow.resize(LineCapacity - 1);
    WriteMessage(level, narrow.c_str());
}

void LogFile::WriteText(int level, const char* message)
{
    if (level > _level)
        return;
    WriteMessage(level, message);
}

void LogFile::WriteMessage(int level, const char* message)
{
    Platform::LocalTime now = Platform::LocalTime::Now();
    char line[LineCapacity];
    int length = std::snprintf(line, sizeof line, "Date: %02d/%02d/%04d  Time: %02d:%02d:%02d  [%s]  %s\r\n",
                               now.Day, now.Month, now.Year, now.Hour, now.Minute, now.Second,
                               LevelWord(level), message);
    if (length < 0)
        return;
    std::size_t size = std::min(static_cast<std::size_t>(length), sizeof line - 1);
    Append(line, size);
}

void LogFile::Append(const char* line, std::size_t length)
{
    std::lock_guard lock(_mutex);
    Platform::File file;
    if (!file.Open(_path, Platform::File::Mode::Append))
        return;
    if (file.Size() > RotationSize) {
        file.Close();
        Platform::LocalTime now = Platform::LocalTime::Now();
        char name[32];
        std::snprintf(name, sizeof name, "%02d%02d%04d%02d%02d%02d.log", now.Day, now.Month, now.Year, now.Hour,
                      now.Minute, now.Second);
        std::string rotated = _path.substr(0, _path.rfind('/') + 1) + name;
        // A file of that name already exists (two rotations in one second): keep appending.
        Platform::File::Rename(_path, rotated, false);
        if (!file.Open(_path, Platform::File::Mode::Append))
            return;
    }
    file.Write(line, length);
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
