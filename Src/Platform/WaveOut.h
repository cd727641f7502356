#pragma once

#include <atomic>
#include <cstdint>

#include "Platform/IMixerStream.h"
#include "Platform/Mixer.h"

namespace Platform {

class AudioOutput;
class OfflineOutput;

// The format of the samples written to a wave device.
struct WaveFormat {
    std::uint16_t formatTag;  // WaveFormatPcm or WaveFormatFloat
    std::uint16_t channels;
    std::uint32_t samplesPerSec;
    std::uint32_t avgBytesPerSec;
    std::uint16_t blockAlign;  // bytes per frame: channels * bitsPerSample / 8
    std::uint16_t bitsPerSample;
    std::uint16_t extraSize;
};
constexpr std::uint16_t WaveFormatPcm = 1;    // 8-bit unsigned, 16-, 24- or 32-bit signed integers
constexpr std::uint16_t WaveFormatFloat = 3;  // 32-bit floats

// One buffer of samples handed to a wave device. The flags are read and written by the device on
// the audio thread while the buffer is queued, hence atomic.
struct WaveHeader {
    char* data = nullptr;
    std::uint32_t bufferLength = 0;  // bytes
    std::uint32_t bytesRecorded = 0;
    std::uintptr_t user = 0;
    std::atomic<std::uint32_t> flags{0};
    std::uint32_t loops = 0;
    WaveHeader* next = nullptr;  // the device's own link while queued
    std::uintptr_t reserved = 0;
};
enum WaveHeaderFlag : std::uint32_t { HeaderDone = 0x01, HeaderPrepared = 0x02, HeaderInQueue = 0x10 };

// Messages to a device's callback.
enum WaveOutMessage : std::uint32_t { WaveOutOpened = 0x3BB, WaveOutClosed = 0x3BC, WaveOutDone = 0x3BD };

class WaveOut;
// The device callback: (device, message, instance data given to Open, parameter 1, parameter 2).
// For WaveOutDone, parameter 1 is the finished WaveHeader. Done messages come from the wave
// devices' notification thread (never the audio thread, so the callback may signal an event); the
// callback must not call the device functions.
using WaveOutCallback = void (*)(WaveOut* device, std::uint32_t message, std::uintptr_t instance,
                                 std::uintptr_t parameter1, std::uintptr_t parameter2);

// A wave output device: one voice of the shared mixer that plays the buffers written to it one
// after the other, converted to the output's rate and channels. Calls return multimedia result
// codes. A write to a device that is not playing starts at the calling thread's event time plus
// the output's latency, to the sample; writes to a playing device follow on without a gap.
class WaveOut final : private IMixerStream {
public:
    using Handle = WaveOut*;

    static std::uint32_t Open(Handle* handle, const WaveFormat* format, WaveOutCallback callback,
                              std::uintptr_t instance);
    static std::uint32_t Open(Handle* handle, const WaveFormat* format, WaveOutCallback callback,
                              std::uintptr_t instance, AudioOutput& output);
    // A device on an output its owner renders itself (a click track written to a file).
    static std::uint32_t OpenOffline(Handle* handle, const WaveFormat* format, WaveOutCallback callback,
                                     std::uintptr_t instance, OfflineOutput& output);
    static std::uint32_t PrepareHeader(Handle handle, WaveHeader* header, std::uint32_t size);
    static std::uint32_t UnprepareHeader(Handle handle, WaveHeader* header, std::uint32_t size);
    // Queues a prepared buffer. No allocation and no lock; a system call only to wake the
    // devices' notifier when no buffer of any device was in flight.
    // `frame`: the output frame a write to a quiet device starts on (or at once); a write
    // to a device that is still playing carries its sound on, whatever it names. A buffer too
    // short to hold a frame comes back done at once.
    static std::uint32_t Write(Handle handle, WaveHeader* header, std::uint32_t size,
                               OutputFrame frame = OutputFrame::AtOnce()) noexcept;
    // Whether the output the device plays on runs (it may have died under it).
    static bool Running(Handle handle) noexcept;
    // Stops playback at once and returns every queued buffer as done; waits for the audio thread.
    static std::uint32_t Reset(Handle handle);
    // The same without waiting: the audio thread stops playback when it takes the next buffer
    // and returns every buffer queued before as done then. A write after it starts afresh, on
    // the frame it names. No allocation, no lock, no system call.
    static std::uint32_t Cut(Handle handle) noexcept;
    static std::uint32_t Close(Handle handle);

    // The most devices open at once.
    static constexpr int MaxDevices = 240;

private:
    WaveOut(AudioOutput* output, OfflineOutput* offline, Mixer& mixer, double rate, const WaveFormat& format,
            WaveOutCallback callback, std::uintptr_t instance) noexcept;
    static std::uint32_t Attach(Handle* handle, const WaveFormat* format, WaveOutCallback callback,
                                std::uintptr_t instance, AudioOutput* output, OfflineOutput* offline);
    bool OutputRunning() const noexcept;
    ~WaveOut() override = default;

    void OnCommand(int command, void* argument, OutputFrame frame, Mixer& mixer,
                   std::int64_t bufferStart) noexcept override;
    void Mix(float* output, std::int64_t firstFrame, int frames) noexcept override;
    bool Sounding(std::int64_t firstFrame, int frames) const noexcept override
    {
        return _playing && _startFrame - firstFrame < frames;
    }
    void OnDetached() noexcept override;

    static void DeliverDone(WaveOut* device, WaveHeader* header);
    bool WaitForAcknowledgement(std::uint32_t before);
    bool ReadFrame(float* frame) noexcept;
    void FinishHead() noexcept;
    void HandBack(WaveHeader* header, bool queued) noexcept;
    void ReturnAll() noexcept;

    AudioOutput* _output;     // the program's output, or
    OfflineOutput* _offline;  // one rendered by its owner
    Mixer& _mixer;
    WaveFormat _format;
    WaveOutCallback _callback;
    std::uintptr_t _instance;
    double _step;  // source frames per output frame
    std::atomic<std::uint32_t> _acknowledged{0};
    std::atomic<int> _queued{0};       // buffers written and not yet done
    std::atomic<int> _undelivered{0};  // done messages not yet delivered to the callback

    // Audio thread only, while attached.
    WaveHeader* _head = nullptr;
    WaveHeader* _tail = nullptr;
    std::uint32_t _offset = 0;  // bytes of the head buffer already read
    bool _playing = false;
    std::int64_t _startFrame = 0;
    OutputFrame _soundFrame = OutputFrame::AtOnce();  // the frame the sound playing was written for
    double _fraction = 0;                             // position between _current and _next
    float _current[2] = {};
    float _next[2] = {};
    bool _currentValid = false;
    bool _nextValid = false;
};

}  // namespace Platform
