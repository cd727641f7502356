#include "Platform/WaveOut.h"

#include <time.h>

#include <cstring>
#include <mutex>
#include <new>

#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/LockFreeQueue.h"
#include "Platform/MultimediaResult.h"
#include "Platform/OfflineOutput.h"
#include "Platform/Thread.h"

namespace Platform {

namespace {

enum Command : int { WriteCommand = 1, ResetCommand = 2 };

struct DoneMessage {
    WaveOut* device;
    WaveHeader* header;
};

// Delivers the devices' done messages. The audio thread only queues them (it must not signal an
// event, which takes a lock); this thread, running while any device is open, looks every two
// milliseconds and calls the callbacks.
class Notifier {
public:
    using Deliver = void (*)(WaveOut*, WaveHeader*);

    bool Join(Deliver deliver)
    {
        std::lock_guard guard(_lock);
        if (_devices++ > 0)
            return true;
        _deliver = deliver;
        _stop.store(false, std::memory_order_release);
        if (_thread.Start([this] { Run(); }))
            return true;
        --_devices;
        return false;
    }
    void Leave()
    {
        std::lock_guard guard(_lock);
        if (--_devices > 0)
            return;
        _stop.store(true, std::memory_order_release);
        _thread.Join();
    }
    bool Post(const DoneMessage& message) noexcept { return _messages.Push(message); }
    int Devices()
    {
        std::lock_guard guard(_lock);
        return _devices;
    }

private:
    void Run()
    {
        const timespec pause{0, 2'000'000};
        for (;;) {
            DoneMessage message;
            while (_messages.Pop(message))
                _deliver(message.device, message.header);
            if (_stop.load(std::memory_order_acquire))
                break;
            nanosleep(&pause, nullptr);
        }
    }

    std::mutex _lock;
    int _devices = 0;
    Deliver _deliver = nullptr;
    Thread _thread;
    std::atomic<bool> _stop{false};
    LockFreeQueue<DoneMessage, 8192> _messages;
};

Notifier& TheNotifier()
{
    // Never destroyed: a device may finish closing on its player's thread while the program's
    // static objects go away at exit.
    static Notifier* notifier = new Notifier;
    return *notifier;
}

bool FormatSupported(const WaveFormat& f)
{
    if (f.channels < 1 || f.channels > 8 || f.samplesPerSec < 1000 || f.samplesPerSec > 384000)
        return false;
    const bool pcm = f.formatTag == WaveFormatPcm &&
        (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 || f.bitsPerSample == 32);
    const bool floats = f.formatTag == WaveFormatFloat && f.bitsPerSample == 32;
    return (pcm || floats) && f.blockAlign == f.channels * f.bitsPerSample / 8;
}

// One sample of the given format as a float in [-1, 1].
float Sample(const unsigned char* at, const WaveFormat& f) noexcept
{
    switch (f.bitsPerSample) {
    case 8: return (static_cast<int>(at[0]) - 128) / 128.0f;
    case 16: return static_cast<std::int16_t>(at[0] | at[1] << 8) / 32768.0f;
    case 24: {
        const std::int32_t value =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0]) << 8 | static_cast<std::uint32_t>(at[1]) << 16 |
                                      static_cast<std::uint32_t>(at[2]) << 24);
        return static_cast<float>(value / 2147483648.0);
    }
    default:
        if (f.formatTag == WaveFormatFloat) {
            float value;
            std::memcpy(&value, at, sizeof value);
            return value;
        }
        std::int32_t value;
        std::memcpy(&value, at, sizeof value);
        return static_cast<float>(value / 2147483648.0);
    }
}

}  // namespace

WaveOut::WaveOut(AudioOutput* output, OfflineOutput* offline, Mixer& mixer, double rate, const WaveFormat& format,
                 WaveOutCallback callback, std::uintptr_t instance) noexcept
    : _output(output), _offline(offline), _mixer(mixer), _format(format), _callback(callback), _instance(instance),
      _step(format.samplesPerSec / rate)
{
}

bool WaveOut::OutputRunning() const noexcept
{
    return !_output || _output->Running();
}

void WaveOut::DeliverDone(WaveOut* device, WaveHeader* header)
{
    if (device->_callback)
        device->_callback(device, WaveOutDone, device->_instance, reinterpret_cast<std::uintptr_t>(header), 0);
    device->_undelivered.fetch_sub(1, std::memory_order_acq_rel);
}

std::uint32_t WaveOut::Open(Handle* handle, const WaveFormat* format, WaveOutCallback callback, std::uintptr_t instance)
{
    return Open(handle, format, callback, instance, AudioOutput::Instance());
}

std::uint32_t WaveOut::Open(Handle* handle, const WaveFormat* format, WaveOutCallback callback, std::uintptr_t instance,
                            AudioOutput& output)
{
    return Attach(handle, format, callback, instance, &output, nullptr);
}

std::uint32_t WaveOut::OpenOffline(Handle* handle, const WaveFormat* format, WaveOutCallback callback,
                                   std::uintptr_t instance, OfflineOutput& output)
{
    return Attach(handle, format, callback, instance, nullptr, &output);
}

std::uint32_t WaveOut::Attach(Handle* handle, const WaveFormat* format, WaveOutCallback callback,
                              std::uintptr_t instance, AudioOutput* output, OfflineOutput* offline)
{
    if (!handle || !format)
        return MmInvalidParameter;
    *handle = nullptr;
    if (!FormatSupported(*format))
        return WaveBadFormat;
    Notifier& notifier = TheNotifier();
    if (notifier.Devices() >= MaxDevices)
        return MmAllocated;
    if (!notifier.Join(&WaveOut::DeliverDone))
        return MmNoMemory;
    if (output) {
        if (std::uint32_t result = output->Acquire(); result != MmNoError) {
            notifier.Leave();
            return result;
        }
    }
    Mixer& mixer = output ? output->GetMixer() : offline->GetMixer();
    const double rate = output ? output->SampleRate() : offline->SampleRate();
    auto* device = new (std::nothrow) WaveOut(output, offline, mixer, rate, *format, callback, instance);
    if (!device || !mixer.Attach(device)) {
        delete device;
        if (output)
            output->Release();
        notifier.Leave();
        return MmNoMemory;
    }
    *handle = device;
    if (callback)
        callback(device, WaveOutOpened, instance, 0, 0);
    return MmNoError;
}

std::uint32_t WaveOut::PrepareHeader(Handle handle, WaveHeader* header, std::uint32_t size)
{
    if (!handle)
        return MmInvalidHandle;
    if (!header || size < sizeof(WaveHeader) || (!header->data && header->bufferLength > 0))
        return MmInvalidParameter;
    header->flags.fetch_or(HeaderPrepared, std::memory_order_acq_rel);
    return MmNoError;
}

std::uint32_t WaveOut::UnprepareHeader(Handle handle, WaveHeader* header, std::uint32_t size)
{
    if (!handle)
        return MmInvalidHandle;
    if (!header || size < sizeof(WaveHeader))
        return MmInvalidParameter;
    if (header->flags.load(std::memory_order_acquire) & HeaderInQueue)
        return WaveStillPlaying;
    header->flags.fetch_and(~static_cast<std::uint32_t>(HeaderPrepared), std::memory_order_acq_rel);
    return MmNoError;
}

std::uint32_t WaveOut::Write(Handle handle, WaveHeader* header, std::uint32_t size, std::int64_t frame) noexcept
{
    if (!handle)
        return MmInvalidHandle;
    if (!header || size < sizeof(WaveHeader))
        return MmInvalidParameter;
    const std::uint32_t flags = header->flags.load(std::memory_order_acquire);
    if (!(flags & HeaderPrepared))
        return WaveUnprepared;
    if (flags & HeaderInQueue)
        return WaveStillPlaying;
    if (!handle->OutputRunning())
        return MmNotEnabled;  // the output died under the device
    header->next = nullptr;
    header->flags.store((flags & ~static_cast<std::uint32_t>(HeaderDone)) | HeaderInQueue, std::memory_order_release);
    handle->_queued.fetch_add(1, std::memory_order_acq_rel);
    if (handle->_mixer.PostStream(handle, WriteCommand, header, frame))
        return MmNoError;
    handle->_queued.fetch_sub(1, std::memory_order_acq_rel);
    header->flags.store(flags, std::memory_order_release);
    return MmNoMemory;
}

// Waits (politely: the audio thread answers within a buffer or two) until the audio thread has
// carried out what was posted after `before` was read.
bool WaveOut::WaitForAcknowledgement(std::uint32_t before)
{
    const std::int64_t giveUp = Clock::Now() + 2'000'000'000;
    const timespec pause{0, 500'000};
    while (_acknowledged.load(std::memory_order_acquire) == before) {
        // With the output closed (it died) no audio thread answers: the command is carried out
        // here.
        // An offline output's owner takes it while it renders; when it does not, this does.
        if (_offline)
            _offline->TakeEvents();
        else if (!_output->Running())
            _output->ServeWhileClosed();
        if ((_offline || _output->Running()) && Clock::Now() > giveUp)
            return false;
        if (_acknowledged.load(std::memory_order_acquire) == before)
            nanosleep(&pause, nullptr);
    }
    return true;
}

bool WaveOut::Running(Handle handle) noexcept
{
    return handle && handle->OutputRunning();
}

std::uint32_t WaveOut::Reset(Handle handle)
{
    if (!handle)
        return MmInvalidHandle;
    const std::uint32_t before = handle->_acknowledged.load(std::memory_order_acquire);
    if (!handle->_mixer.PostStream(handle, ResetCommand, nullptr, AnyFrame))
        return MmNoMemory;
    return handle->WaitForAcknowledgement(before) ? MmNoError : MmError;
}

std::uint32_t WaveOut::Close(Handle handle)
{
    if (!handle)
        return MmInvalidHandle;
    if (handle->_queued.load(std::memory_order_acquire) > 0)
        return WaveStillPlaying;
    const std::uint32_t before = handle->_acknowledged.load(std::memory_order_acquire);
    if (!handle->_mixer.Detach(handle))
        return MmNoMemory;
    if (!handle->WaitForAcknowledgement(before))
        return MmError;  // the audio thread did not answer: the device cannot be freed safely
    const timespec pause{0, 500'000};
    while (handle->_undelivered.load(std::memory_order_acquire) > 0)
        nanosleep(&pause, nullptr);
    if (handle->_callback)
        handle->_callback(handle, WaveOutClosed, handle->_instance, 0, 0);
    AudioOutput* output = handle->_output;
    delete handle;
    if (output)
        output->Release();
    TheNotifier().Leave();
    return MmNoError;
}

// --- the audio thread ---

void WaveOut::OnCommand(int command, void* argument, std::int64_t frame, Mixer& mixer,
                        std::int64_t bufferStart) noexcept
{
    if (command == WriteCommand) {
        auto* header = static_cast<WaveHeader*>(argument);
        if (_tail)
            _tail->next = header;
        else
            _head = header;
        _tail = header;
        if (!_playing) {
            // A device that was quiet starts on the frame this write names; one far too late
            // for it is not played at all (its buffers come back done at once).
            const std::int64_t startFrame = mixer.PlaceStreamStart(frame, bufferStart);
            if (startFrame < 0) {
                ReturnAll();
                return;
            }
            _playing = true;
            _startFrame = startFrame;
            _fraction = 0;
            _currentValid = ReadFrame(_current);
            _nextValid = _currentValid && ReadFrame(_next);
        }
    } else if (command == ResetCommand) {
        ReturnAll();
        _acknowledged.fetch_add(1, std::memory_order_acq_rel);
    }
}

void WaveOut::OnDetached() noexcept
{
    ReturnAll();
    _acknowledged.fetch_add(1, std::memory_order_acq_rel);
}

// Marks the head buffer done and hands it to the notifier.
void WaveOut::FinishHead() noexcept
{
    WaveHeader* header = _head;
    _head = header->next;
    if (!_head)
        _tail = nullptr;
    _offset = 0;
    _undelivered.fetch_add(1, std::memory_order_acq_rel);
    header->flags.store((header->flags.load(std::memory_order_relaxed) & ~static_cast<std::uint32_t>(HeaderInQueue)) |
                            HeaderDone,
                        std::memory_order_release);
    _queued.fetch_sub(1, std::memory_order_acq_rel);
    if (!TheNotifier().Post(DoneMessage{this, header}))
        _undelivered.fetch_sub(1, std::memory_order_acq_rel);  // the done flag still tells
}

void WaveOut::ReturnAll() noexcept
{
    while (_head)
        FinishHead();
    _playing = false;
    _currentValid = _nextValid = false;
}

// The next frame of the queued buffers as stereo; false when nothing is queued.
bool WaveOut::ReadFrame(float* frame) noexcept
{
    while (_head && _offset + _format.blockAlign > _head->bufferLength)
        FinishHead();
    if (!_head)
        return false;
    const auto* at = reinterpret_cast<const unsigned char*>(_head->data) + _offset;
    const int bytes = _format.bitsPerSample / 8;
    frame[0] = Sample(at, _format);
    frame[1] = _format.channels > 1 ? Sample(at + bytes, _format) : frame[0];
    _offset += _format.blockAlign;
    if (_offset + _format.blockAlign > _head->bufferLength)
        FinishHead();
    return true;
}

void WaveOut::Mix(float* output, std::int64_t firstFrame, int frames) noexcept
{
    if (!_playing)
        return;
    int at = _startFrame > firstFrame ? static_cast<int>(_startFrame - firstFrame) : 0;
    if (_startFrame - firstFrame >= frames)
        return;
    for (; at < frames; ++at) {
        if (!_currentValid) {
            _playing = false;  // played out: the next write starts afresh at its own time
            return;
        }
        if (!_nextValid)
            _nextValid = ReadFrame(_next);  // a buffer written since may carry on the sound
        // Linear interpolation between the two source frames around the position; at the
        // output's own rate the position never leaves the current frame and this is a copy.
        const auto f = static_cast<float>(_fraction);
        const float nextLeft = _nextValid ? _next[0] : 0.0f, nextRight = _nextValid ? _next[1] : 0.0f;
        output[2 * at] += _current[0] + f * (nextLeft - _current[0]);
        output[2 * at + 1] += _current[1] + f * (nextRight - _current[1]);
        _fraction += _step;
        while (_fraction >= 1.0) {
            _fraction -= 1.0;
            _current[0] = _next[0];
            _current[1] = _next[1];
            _currentValid = _nextValid;
            _nextValid = _currentValid && ReadFrame(_next);
        }
    }
}

}  // namespace Platform
