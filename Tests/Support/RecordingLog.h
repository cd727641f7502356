#pragma once

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "Platform/Text.h"
#include "System/ILog.h"

namespace Tests {

// Installed as the program's log for its lifetime; keeps every entry in memory instead of
// writing it. Safe to write from several threads; read `entries` once they are done.
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
        wchar_t wide[1024] = {};
        va_list arguments;
        va_start(arguments, format);
        std::vswprintf(wide, 1024, format, arguments);
        va_end(arguments);
        Add(level, Platform::Text::WideToUtf8(wide));
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

    // A copy of the entries, safe while writers still run.
    std::vector<Entry> Entries()
    {
        std::lock_guard lock(_mutex);
        return entries;
    }
    // True when an entry at that level contains the text.
    bool Has(int level, const std::string& text)
    {
        for (const Entry& entry : Entries())
            if (entry.level == level && entry.text.find(text) != std::string::npos)
                return true;
        return false;
    }
    // The only entry written, or a note that there was not exactly one.
    std::string Only()
    {
        std::lock_guard lock(_mutex);
        if (entries.size() != 1)
            return "<" + std::to_string(entries.size()) + " lines>";
        return entries[0].text;
    }

    std::vector<Entry> entries;

private:
    void Add(int level, std::string text)
    {
        std::lock_guard lock(_mutex);
        entries.push_back({level, std::move(text)});
    }

    std::mutex _mutex;
};

}  // namespace Tests
