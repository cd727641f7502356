#include "Platform/Thread.h"

#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <system_error>

namespace Platform {

namespace {
thread_local cpu_set_t savedProcessors;
thread_local bool processorsSaved = false;
}  // namespace

Thread::~Thread()
{
    Join();
}

bool Thread::Start(std::function<void()> body)
{
    if (IsCurrent()) {
        // Called from the running thread itself: it cannot wait for its own end, and
        // replacing a joinable thread would end the process.
        _startError = EDEADLK;
        return false;
    }
    Join();
    _startError = 0;
    try {
        // The thread records its own id first, so that IsCurrent() answers on it without
        // reading the std::thread object that this thread is still assigning.
        _thread = std::thread([this, body = std::move(body)] {
            _id.store(std::this_thread::get_id(), std::memory_order_release);
            body();
        });
    } catch (const std::system_error& error) {
        _startError = error.code().value() ? error.code().value() : EAGAIN;
        return false;
    } catch (...) {
        _startError = ENOMEM;
        return false;
    }
    return true;
}

void Thread::Join()
{
    if (IsCurrent())
        return;
    if (_thread.joinable())
        _thread.join();
    _id.store(std::thread::id(), std::memory_order_release);
}

bool Thread::IsCurrent() const noexcept
{
    return _id.load(std::memory_order_acquire) == std::this_thread::get_id();
}

int Thread::PinToFirstProcessor() noexcept
{
    if (pthread_getaffinity_np(pthread_self(), sizeof savedProcessors, &savedProcessors) == 0)
        processorsSaved = true;
    cpu_set_t first;
    CPU_ZERO(&first);
    CPU_SET(0, &first);
    return pthread_setaffinity_np(pthread_self(), sizeof first, &first);
}

void Thread::RestoreProcessors() noexcept
{
    if (processorsSaved)
        pthread_setaffinity_np(pthread_self(), sizeof savedProcessors, &savedProcessors);
    processorsSaved = false;
}

int Thread::RaiseToRealTime() noexcept
{
    sched_param parameters{};
    parameters.sched_priority = 1;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

}  // namespace Platform
