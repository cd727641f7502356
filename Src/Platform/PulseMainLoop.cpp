#include "Platform/PulseMainLoop.h"

#include <ctime>

namespace Platform::PulseMainLoop {

std::int64_t ReportedAt(const pa_timing_info& timing, std::int64_t now) noexcept
{
    if (timing.timestamp.tv_sec <= 0)
        return 0;
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    const std::int64_t wallNs = static_cast<std::int64_t>(wall.tv_sec) * 1'000'000'000 + wall.tv_nsec;
    return now - (wallNs - static_cast<std::int64_t>(pa_timeval_load(&timing.timestamp)) * 1000);
}

bool Connect(pa_threaded_mainloop*& mainloop, pa_context*& context, const char* threadName, const char* clientName,
             pa_context_notify_cb_t onState, void* self, const std::atomic<bool>& failed, Clock::Duration timeout,
             void (*onLoopThread)(pa_threaded_mainloop*, void*))
{
    mainloop = pa_threaded_mainloop_new();
    if (!mainloop)
        return false;
    pa_threaded_mainloop_set_name(mainloop, threadName);
    context = pa_context_new(pa_threaded_mainloop_get_api(mainloop), clientName);
    if (!context)
        return false;
    pa_context_set_state_callback(context, onState, self);
    // Never spawn a server: without one, the sound device is the way out.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    if (pa_threaded_mainloop_start(mainloop) < 0)
        return false;
    // Every call into the running loop, this one too (it adds an event to the loop), is made
    // with its lock held.
    pa_threaded_mainloop_lock(mainloop);
    if (onLoopThread)
        pa_threaded_mainloop_once_unlocked(mainloop, onLoopThread, nullptr);
    pa_context* const connected = context;
    const bool ready = WaitFor(
        mainloop, [connected] { return pa_context_get_state(connected) == PA_CONTEXT_READY; }, timeout, failed);
    pa_threaded_mainloop_unlock(mainloop);
    return ready;
}

void Close(pa_threaded_mainloop*& mainloop, pa_context*& context, const std::function<void()>& closeStreams)
{
    if (!mainloop)
        return;
    pa_threaded_mainloop_lock(mainloop);
    closeStreams();
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    pa_threaded_mainloop_unlock(mainloop);
    pa_threaded_mainloop_stop(mainloop);
    pa_threaded_mainloop_free(mainloop);
    mainloop = nullptr;
}

}  // namespace Platform::PulseMainLoop
