#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "Platform/Clock.h"
#include "Platform/ServerStreams.h"

namespace Platform {

// What the libpulse clients (the output and the listening input) do alike with their threaded
// main loop and its context: connect without spawning a server, wait for the loop's thread to
// answer, and close in order.
namespace PulseMainLoop {

// With the loop locked: waits until `done` holds, `failed` is set or `timeout` is over, the
// loop's thread running the events meanwhile (see ServerStreams::WaitUnlocked).
template <typename Done>
bool WaitFor(pa_threaded_mainloop* mainloop, Done done, Clock::Duration timeout, const std::atomic<bool>& failed)
{
    return ServerStreams::WaitUnlocked(
        done, timeout, failed, [mainloop] { pa_threaded_mainloop_unlock(mainloop); },
        [mainloop] { pa_threaded_mainloop_lock(mainloop); });
}

// Makes the loop (its thread named `threadName`) and a context that tells `onState` of its
// changes, connects and waits for it to be ready; `onLoopThread`, if given, runs once on the
// loop's thread. False when any step fails (what was made is left for Close).
bool Connect(pa_threaded_mainloop*& mainloop, pa_context*& context, const char* threadName, const char* clientName,
             pa_context_notify_cb_t onState, void* self, const std::atomic<bool>& failed, Clock::Duration timeout,
             void (*onLoopThread)(pa_threaded_mainloop*, void*) = nullptr);

// When, on Platform::Clock, the server made the timing report `timing` (its time stamp is of the
// wall clock); `now` is Platform::Clock::Now(). Zero when the stream has had no report yet.
std::int64_t ReportedAt(const pa_timing_info& timing, std::int64_t now) noexcept;

// Closes what Connect made: `closeStreams` first, with the loop locked, then the context, then
// the loop and its thread. Either may be null.
void Close(pa_threaded_mainloop*& mainloop, pa_context*& context, const std::function<void()>& closeStreams);

}  // namespace PulseMainLoop

}  // namespace Platform
