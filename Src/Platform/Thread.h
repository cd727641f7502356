#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace Platform {

// A joinable worker thread. Nothing throws out of it: a thread that cannot be
// started gives false and leaves the error number in StartError().
class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs body on a new thread after joining the previous one. Fails (EDEADLK) when called
    // from the previous thread itself.
    bool Start(std::function<void()> body);
    // Waits for the thread to end; does nothing when none runs or when called from the thread itself.
    void Join();
    int StartError() const noexcept { return _startError; }
    // True on the thread this object started (safe to ask from any thread).
    bool IsCurrent() const noexcept;

    // Called on the thread to be changed. Both return 0 or the system's error number.
    // Restricts the calling thread to the first processor.
    static int PinToFirstProcessor() noexcept;
    // Puts the calling thread in the real-time FIFO class at priority 1: above every normal
    // thread, below the sound server's real-time threads.
    static int RaiseToRealTime() noexcept;
    // Restores the processor set saved by PinToFirstProcessor.
    static void RestoreProcessors() noexcept;

private:
    std::thread _thread;
    std::atomic<std::thread::id> _id{};
    int _startError = 0;
};

}  // namespace Platform
