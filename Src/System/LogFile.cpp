#include "System/LogFile.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "Platform/Console.h"
#include "Platform/File.h"
#include "Platform/LocalTime.h"
#include "Platform/ProgramFolder.h"
#include "Platform/SystemError.h"
#include "Platform/Text.h"

namespace System {

namespace {

std::atomic<ILog*> testLog{nullptr};

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

// The program's own log: in the state folder, and echoed to a terminal that started the program.
LogFile::LogFile() : LogFile(Platform::StateFolder() + "Ticova.log")
{
    _echo = Platform::StandardErrorIsTerminal();
}

LogFile::LogFile(std::string path, TimeSource now) : _path(std::move(path)), _now(std::move(now)) {}

const char* LogFile::LevelWord(int level)
{
    static const char* const words[] = {"Emergency", "Alert",  "Critical",    "Error",
                                        "Warn",      "Notice", "Information", "Debug"};
    return level >= 0 && level <= 7 ? words[level] : "Unknown";
}

void LogFile::Write(int level, const char* format, ...)
{
    if (level > _level.load(std::memory_order_relaxed))
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
    if (level > _level.load(std::memory_order_relaxed))
        return;
    wchar_t wide[LineCapacity];
    wide[0] = 0;  // a format that fails before writing anything leaves an empty message
    va_list arguments;
    va_start(arguments, format);
    int written = std::vswprintf(wide, LineCapacity, format, arguments);
    va_end(arguments);
    if (written < 0)
        wide[LineCapacity - 1] = 0;  // too long: vswprintf leaves what fitted
    std::string narrow = Platform::Text::WideToUtf8(wide);
    narrow.resize(Utf8Prefix(narrow.data(), narrow.size(), LineCapacity - 1));
    WriteMessage(level, narrow.c_str());
}

void LogFile::WriteText(int level, const char* message)
{
    if (level > _level.load(std::memory_order_relaxed))
        return;
    WriteMessage(level, message);
}

void LogFile::WriteMessage(int level, const char* message)
{
    const Platform::LocalTime now = _now();
    char line[LineCapacity];
    int prefix = std::snprintf(line, sizeof line, "Date: %02d/%02d/%04d  Time: %02d:%02d:%02d  [%s]  ", now.Day,
                               now.Month, now.Year, now.Hour, now.Minute, now.Second, LevelWord(level));
    if (prefix < 0)
        return;
    // A line too long for the buffer loses the end of its message, never its line break: the
    // next line must still start on a line of its own. The cut falls between characters.
    constexpr std::size_t lineBreak = 2;
    std::size_t used = std::min(static_cast<std::size_t>(prefix), sizeof line - 1 - lineBreak);
    std::size_t room = sizeof line - 1 - lineBreak - used;
    std::size_t length = Utf8Prefix(message, std::strlen(message), room);
    std::memcpy(line + used, message, length);
    used += length;
    line[used++] = '\r';
    line[used++] = '\n';
    line[used] = 0;
    Append(line, used);
    // Warnings and errors also show on the terminal, with a plain line break.
    if (_echo && level <= Warn) {
        line[used - 2] = '\n';
        Platform::WriteStandardError(line, used - 1);
    }
}

std::size_t LogFile::Utf8Prefix(const char* text, std::size_t length, std::size_t limit) noexcept
{
    if (length <= limit)
        return length;
    // Step back over continuation bytes so that no character is split.
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

void LogFile::Append(const char* line, std::size_t length)
{
    std::lock_guard lock(_mutex);
    Platform::File file;
    if (!file.Open(_path, Platform::File::Mode::Append))
        return;
    if (file.Size() > RotationSize) {
        file.Close();
        const Platform::LocalTime now = _now();
        char name[64];
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

}  // namespace System
