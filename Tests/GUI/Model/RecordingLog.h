#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "System/ILog.h"

namespace Tests {

// A log that keeps its entries, installed for the life of the object.
class RecordingLog final : public System::ILog {
public:
    struct Entry {
        int level;
        std::string text;
    };

    RecordingLog() { System::SetLogForTesting(this); }
    ~RecordingLog() override { System::SetLogForTesting(nullptr); }

    void WriteWide(int level, const wchar_t*, ...) override { entries.push_back({level, "(wide)"}); }
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

    std::vector<Entry> entries;
};

}  // namespace Tests
