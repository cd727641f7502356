#pragma once

#include <cstdarg>
#include <cstdio>

#include "System/ILog.h"

namespace Fuzz {

// Formats every line as the real log would (so the fuzzer exercises the formatting arguments),
// without touching the disc.
class SilentLog final : public System::ILog {
public:
    void WriteWide(int, const wchar_t*, ...) override {}
    void Write(int, const char* format, ...) override
    {
        char line[1024];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(line, sizeof line, format, arguments);
        va_end(arguments);
    }
    void SetLevel(int) override {}
    void WriteText(int, const char*) override {}
};

}  // namespace Fuzz
