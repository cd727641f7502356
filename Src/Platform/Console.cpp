#include "Platform/Console.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Platform {

namespace {

std::atomic<void (*)(const char*)> librarySink{nullptr};

// ALSA's error handler: "file:line:(function) message" as ALSA would print it, to the sink.
void AlsaMessage(const char* file, int line, const char* function, int error, const char* format, ...)
{
    void (*sink)(const char*) = librarySink.load(std::memory_order_acquire);
    if (!sink)
        return;
    char message[512];
    int used =
        std::snprintf(message, sizeof message, "ALSA %s:%d:(%s) ", file ? file : "", line, function ? function : "");
    if (used < 0 || static_cast<std::size_t>(used) >= sizeof message)
        used = 0;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message + used, sizeof message - static_cast<std::size_t>(used), format, arguments);
    va_end(arguments);
    if (error != 0) {
        const std::size_t length = std::strlen(message);
        std::snprintf(message + length, sizeof message - length, ": %s", snd_strerror(error));
    }
    sink(message);
}

// JACK's error and information handler: "JACK message", to the sink.
void JackMessage(const char* text)
{
    void (*sink)(const char*) = librarySink.load(std::memory_order_acquire);
    if (!sink)
        return;
    char message[512];
    std::snprintf(message, sizeof message, "JACK %s", text ? text : "");
    sink(message);
}

}  // namespace

bool StandardErrorIsTerminal() noexcept
{
    return ::isatty(STDERR_FILENO) == 1;
}

void WriteStandardError(const char* text, std::size_t length) noexcept
{
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

void QuietenSoundLibraries(void (*sink)(const char* message))
{
    librarySink.store(sink, std::memory_order_release);
    snd_lib_error_set_handler(&AlsaMessage);
    jack_set_error_function(&JackMessage);
    jack_set_info_function(&JackMessage);
}

}  // namespace Platform
