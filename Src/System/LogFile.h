#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "Platform/LocalTime.h"

#include "System/ILog.h"

namespace System {

// The log file "Ticova.log" in the data folder. The file is opened, appended to and closed
// for every line, so other programs can read it at any time and a crash loses no line.
class LogFile final : public ILog {
public:
    static constexpr std::size_t LineCapacity = 1024;           // bytes, terminating zero included
    static constexpr long long RotationSize = 2 * 1024 * 1024;  // bytes

    using TimeSource = std::function<Platform::LocalTime()>;

    LogFile();
    // A log at `path`; `now` gives the local time of lines and rotated names (tests fix it).
    explicit LogFile(std::string path, TimeSource now = &Platform::LocalTime::Now);

    void WriteWide(int level, const wchar_t* format, ...) override;
    void Write(int level, const char* format, ...) override __attribute__((format(printf, 3, 4)));
    void SetLevel(int level) override { _level.store(level, std::memory_order_relaxed); }
    void WriteText(int level, const char* message) override;

    const std::string& Path() const { return _path; }

    // The word written for a level ("Error" for 3); "Unknown" outside 0..7.
    static const char* LevelWord(int level);

    // The length of the longest prefix of UTF-8 `text` (of `length` bytes) that fits in
    // `limit` bytes without splitting a character.
    static std::size_t Utf8Prefix(const char* text, std::size_t length, std::size_t limit) noexcept;

private:
    void WriteMessage(int level, const char* message);
    void Append(const char* line, std::size_t length);

    std::string _path;
    TimeSource _now;
    std::atomic<int> _level{6};
    bool _echo = false;  // warnings and errors to standard error too
    std::mutex _mutex;
};

}  // namespace System
