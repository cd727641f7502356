#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "Platform/AutoResetEvent.h"
#include "Platform/Thread.h"
#include "Platform/WaveOut.h"

namespace Platform {
class OfflineOutput;
}

namespace Core {

// One voice of an audio file: its own wave device, twelve prepared 8,192-byte buffers, its own
// copy of the samples scaled to the volume it plays at, and a thread that streams one click
// each time it is asked to. A file has a small pool of these so that a click can start while
// the previous one still sounds.
class WavePlayer {
public:
    static constexpr int BufferCount = 12;
    // Buffers a click keeps free while it streams, so that the next can start at once, on the
    // frame it names, while this one is still being cut.
    static constexpr int FreeForNextClick = 4;
    static constexpr std::uint32_t BufferSize = 8192;
    // The volume of a copy that has not been scaled yet.
    static constexpr std::int32_t Unscaled = -1;

    WavePlayer() = default;
    // Closes the device, after the thread has ended.
    ~WavePlayer();
    WavePlayer(const WavePlayer&) = delete;
    WavePlayer& operator=(const WavePlayer&) = delete;

    // Opens a device for `format` on the program's output, prepares the buffers and starts the
    // playback thread, which then waits for Play. `samples` (size bytes) stays the caller's and
    // must outlive the open device. False, with the cause in the log and the result code kept,
    // at the first step that fails; the caller closes the player then.
    bool OpenAudioDevice(const Platform::WaveFormat& format, const unsigned char* samples, std::uint32_t size);
    // The same on a given output (tests use the null output).
    bool OpenAudioDevice(const Platform::WaveFormat& format, const unsigned char* samples, std::uint32_t size,
                         Platform::AudioOutput& output);
    // The same on an output its owner renders itself (a click track written to a file).
    bool OpenAudioDevice(const Platform::WaveFormat& format, const unsigned char* samples, std::uint32_t size,
                         Platform::OfflineOutput& output);

    // Asks the thread to play the click from the start at `volume` (0..127), starting on output
    // frame `frame` (or at once). Cuts what this player still sounds. No allocation and no
    // device call: the thread rescales its copy itself, as it streams, when the volume changed,
    // so the copy is never rewritten while it is being read. False (result 1000, logged)
    // without a device.
    bool Play(std::int32_t volume, Platform::OutputFrame frame = Platform::OutputFrame::AtOnce());

    // Ends the thread (waiting for it), stops and closes the device and frees the copy.
    void CloseAudioDevice();
    // The same without waiting: the thread stops what sounds and closes the device itself, on
    // its own time (the audio thread takes a buffer or two to let go of it). The player plays
    // nothing from now on; the next OpenAudioDevice, CloseAudioDevice or the destructor waits
    // for the close to finish.
    void BeginClose() noexcept;

    bool IsOpen() const noexcept { return !_closing.load(std::memory_order_acquire) && _device != nullptr; }
    // Whether the click asked for last has been written to the device (its first buffers, which
    // carry the frame it starts on).
    bool HandedOver() const noexcept
    {
        return _handed.load(std::memory_order_acquire) == _asked.load(std::memory_order_acquire) ||
            !_running.load(std::memory_order_acquire);
    }
    std::uint32_t GetLastResult() const noexcept { return _lastResult.load(std::memory_order_acquire); }
    void SetLastResult(std::uint32_t result) noexcept { _lastResult.store(result, std::memory_order_release); }

    // What the thread has done, for tests: the volume its copy is scaled for, the clicks it has
    // finished streaming, and the headers and buffers as it last wrote them (read these only
    // when Streamed() has moved on and every header is done).
    std::int32_t ScaledVolume() const noexcept { return _scaledVolume.load(std::memory_order_acquire); }
    std::uint64_t Streamed() const noexcept { return _streamed.load(std::memory_order_acquire); }
    const Platform::WaveHeader& Header(int index) const noexcept { return _headers[index]; }
    const unsigned char* Buffer(int index) const noexcept { return _buffers[index]; }
    const unsigned char* ScaledCopy() const noexcept { return _copy.get(); }

    // The scaling of one click's bytes at `volume`: 16-bit signed samples, or 8-bit unsigned
    // ones (centred on 128) when bitsPerSample is 8; each sample times volume / 127, truncated
    // toward zero. A trailing odd byte of 16-bit data is copied as it is.
    static void ScaleSamples(const unsigned char* samples, unsigned char* copy, std::uint32_t size,
                             std::uint16_t bitsPerSample, std::int32_t volume) noexcept;

private:
    static void WaveOutCallback(Platform::WaveOut* device, std::uint32_t message, std::uintptr_t instance,
                                std::uintptr_t parameter1, std::uintptr_t parameter2);
    bool FinishOpening(std::uint32_t openResult, const Platform::WaveFormat& format, const unsigned char* samples,
                       std::uint32_t size);
    bool InitialiseSampleData(const unsigned char* samples, std::uint32_t size);
    bool InitialiseHeader();
    void WriteWave();
    void StreamClicks();
    void CloseDevice();
    void FillBuffer(int index) noexcept;
    bool AnyBufferQueued() const noexcept;
    int QueuedFor(std::uint64_t click) const noexcept;

    Platform::WaveOut* _device = nullptr;
    Platform::AutoResetEvent _bufferDone;
    Platform::AutoResetEvent _playEvent;
    std::atomic<std::uint32_t> _lastResult{0};
    const unsigned char* _samples = nullptr;
    std::unique_ptr<unsigned char[]> _copy;
    std::uint32_t _dataSize = 0;
    std::uint32_t _position = 0;    // the thread's own
    std::uint32_t _scaledUpTo = 0;  // bytes of the copy scaled for _scaledVolume (the thread's own)
    std::uint16_t _bitsPerSample = 16;
    Platform::WaveHeader _headers[BufferCount];
    unsigned char _buffers[BufferCount][BufferSize];
    std::atomic<std::int32_t> _scaledVolume{Unscaled};
    std::atomic<bool> _running{false};
    std::atomic<bool> _closing{false};  // BeginClose was called: the thread closes the device
    // The request Play hands to the thread: the volume and the frame to start on.
    std::atomic<std::int32_t> _requestedVolume{127};
    std::atomic<Platform::OutputFrame> _requestedFrame{Platform::OutputFrame::AtOnce()};
    std::atomic<std::uint64_t> _streamed{0};
    std::atomic<std::uint64_t> _asked{0};   // clicks asked for
    std::atomic<std::uint64_t> _handed{0};  // the count of asked the thread had written for
    Platform::Thread _thread;
};

}  // namespace Core
