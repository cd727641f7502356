#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "System/ILog.h"

namespace Tests {

// Installed as the program's log for its lifetime; keeps every line instead of writing it.
class RecordingLog final : public System::ILog {
public:
    struct Entry {
        int level;
        std::string text;
    };

    RecordingLog() { System::SetLogForTesting(this); }
    ~RecordingLog() override { System::SetLogForTesting(nullptr); }

    void WriteWide(int, const wchar_t*, ...) override { ADD_FAILURE() << "unexpected wide write"; }
    void Write(int level, const char* format, ...) override
    {
        char text[1024];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        entries.push_back({level, text});
    }
    void SetLevel(int) override {}
    void WriteText(int level, const char* message) override { entries.push_back({level, message}); }

    // The only line written, or a note that there was not exactly one.
    std::string Only() const
    {
        if (entries.size() != 1)
            return "<" + std::to_string(entries.size()) + " lines>";
        return entries[0].text;
    }

    std::vector<Entry> entries;
};

}  // namespace Tests
