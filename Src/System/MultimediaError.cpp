#include "System/MultimediaError.h"

#include <cstdarg>

#include "Platform/Text.h"
#include "System/ILanguage.h"
#include "System/ReportEntry.h"

namespace System {

namespace {
constexpr int UnspecifiedErrorMessage = 24;
}

int MultimediaMessageId(unsigned code)
{
    // 2 to 21 are the general multimedia codes, 32 to 35 the waveform-audio ones; their
    // messages follow each other from 25 on.
    if (code >= 2 && code <= 21)
        return static_cast<int>(code) + 23;
    if (code >= 32 && code <= 35)
        return static_cast<int>(code) + 13;
    if (code == NoAudioFileResult)
        return 49;
    if (code == AudioThreadStartResult)
        return 50;
    return UnspecifiedErrorMessage;
}

void ReportMultimediaError(unsigned code, const char* file, const char* function, int line, const char* format, ...)
{
    // The description is read on whichever thread met the error; the language's texts change
    // only while nothing plays. UTF-8 of a message entry (512 units) fits in this buffer.
    char description[2048] = "";
    if (const char16_t* text = CurrentLanguage().GetMessage(MultimediaMessageId(code)))
        Platform::Text::Utf16ToUtf8(text, description, sizeof description);
    va_list arguments;
    va_start(arguments, format);
    WriteReportEntry("Multimedia error", code, description, file, function, line, format, arguments);
    va_end(arguments);
}

}  // namespace System
