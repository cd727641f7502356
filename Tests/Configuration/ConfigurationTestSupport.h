#pragma once

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/File.h"
#include "System/ILog.h"

namespace Tests {

// Keeps every log entry in memory while installed.
class RecordingLog final : public System::ILog {
public:
    struct Entry {
        int level;
        std::string text;
    };

    RecordingLog() { System::SetLogForTesting(this); }
    ~RecordingLog() override { System::SetLogForTesting(nullptr); }

    void WriteWide(int level, const wchar_t* format, ...) override
    {
        wchar_t wide[1024];
        va_list arguments;
        va_start(arguments, format);
        std::vswprintf(wide, 1024, format, arguments);
        va_end(arguments);
        std::string narrow;
        for (const wchar_t* c = wide; *c; ++c)
            narrow += static_cast<char>(*c);
        Add(level, narrow);
    }
    void Write(int level, const char* format, ...) override
    {
        char text[1024];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        Add(level, text);
    }
    void SetLevel(int) override {}
    void WriteText(int level, const char* message) override { Add(level, message); }

    std::vector<Entry> Entries()
    {
        std::lock_guard lock(_mutex);
        return _entries;
    }
    // True when an entry at that level contains the text.
    bool Has(int level, const std::string& text)
    {
        for (const Entry& entry : Entries())
            if (entry.level == level && entry.text.find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    void Add(int level, std::string text)
    {
        std::lock_guard lock(_mutex);
        _entries.push_back({level, std::move(text)});
    }

    std::mutex _mutex;
    std::vector<Entry> _entries;
};

inline void WriteBytes(const std::string& path, const std::string& contents)
{
    Platform::File file;
    file.Open(path, Platform::File::Mode::CreateTruncate);
    file.Write(contents.data(), contents.size());
}

inline std::string ReadBytes(const std::string& path)
{
    std::string contents;
    Platform::File::ReadAll(path, contents);
    return contents;
}

}  // namespace Tests
