#pragma once

#include <mutex>
#include <string>

#include "System/ILog.h"

namespace System {

// The log file "Ticova.log" in the data folder. The file is opened, appended to and closed
// for every line, so other programs can read it at any time and a crash loses no line.
class LogFile final : public ILog {
public:
    static constexpr std::size_t LineCapacity = 1024;           // bytes, terminating zero included
    static constexpr long long RotationSize = 2 * 1024 * 1024;   // bytes

    LogFile();
    explicit LogFile(std::string path);

    void WriteWide(int level, const wchar_t* format, ...) override;
    void Write(int level, const char* format, ...) override __attribute__((format(printf, 3, 4)));
    void SetLevel(int level) override { _level = level; }
    void WriteText(int level, const char* message) override;

    const std::string& Path() const { return _path; }

    // The word written for a level ("Error" for 3); "Unknown" outside 0..7.
    static const char* LevelWord(int level);

private:
    void WriteMessage(int level, const char* message);
    void Append(const char* line, std::size_t length);

    std::string _path;
    int _level = 6;
    std::mutex _mutex;
};

}  // namespace System
