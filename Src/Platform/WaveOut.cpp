#include "Platform/WaveOut.h"

#include <time.h>

#include <chrono>
#include <condition_variable>
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
// event, which takes a lock and a system call). This thread, running while any device is open,
// sleeps while no buffer is in flight; a write wakes it. While buffers are in flight it looks
// once per buffer the output renders (done messages come from nowhere else), and at once when a
// thread that may wait tells it (an offline output's renderer, a device closing).
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
        Nudge();
        _thread.Join();
    }
    bool Post(const DoneMessage& message) noexcept { return _messages.Push(message); }
    int Devices()
    {
        std::lock_guard guard(_lock);
        return _devices;
    }

    // A buffer was written (no lock; a wake only when none was in flight), at an output that
    // renders a buffer every `pace` ns (0: an offline output, whose renderer nudges).
    void Expect(std::int64_t pace) noexcept
    {
        if (pace > 0)
            _pace.store(pace, std::memory_order_relaxed);
        if (_inFlight.fetch_add(1, std::memory_order_acq_rel) == 0) {
            _wakes.fetch_add(1, std::memory_order_release);
            _wakes.notify_one();
        }
    }
    // A buffer written is back and its message delivered (or lost to a full queue).
    void Returned() noexcept { _inFlight.fetch_sub(1, std::memory_order_acq_rel); }
    // Any thread but the audio thread's: look for done messages now.
    void Nudge()
    {
        {
            std::lock_guard guard(_sleepLock);
            _nudged = true;
        }
        _sleep.notify_one();
        _wakes.fetch_add(1, std::memory_order_release);
        _wakes.notify_one();
    }
    // Waits until a done message has been delivered since `seen` (a count of Delivered()).
    std::uint32_t Delivered() const noexcept { return _delivered.load(); }
    void WaitForDelivery(std::uint32_t seen) const noexcept { _delivered.wait(seen); }

private:
    void Run()
    {
        for (;;) {
            DoneMessage message;
            while (_messages.Pop(message)) {
                _deliver(message.device, message.header);
                Returned();
                _delivered.fetch_add(1);
                _delivered.notify_all();
            }
            if (_stop.load(std::memory_order_acquire))
                break;
            const std::uint32_t wakes = _wakes.load(std::memory_order_acquire);
            if (_inFlight.load(std::memory_order_acquire) == 0) {
                _wakes.wait(wakes, std::memory_order_acquire);
                continue;
            }
            std::unique_lock guard(_sleepLock);
            _sleep.wait_for(guard, std::chrono::nanoseconds(_pace.load(std::memory_order_relaxed)),
                            [this] { return _nudged; });
            _nudged = false;
        }
    }

    std::mutex _lock;
    int _devices = 0;
    Deliver _deliver = nullptr;
    Thread _thread;
    std::atomic<bool> _stop{false};
    LockFreeQueue<DoneMessage, 8192> _messages;
    std::atomic<int> _inFlight{0};  // buffers written and not yet delivered back
    std::atomic<std::int64_t> _pace{5'000'000};
    std::atomic<std::uint32_t> _wakes{0};
    std::atomic<std::uint32_t> _delivered{0};
    std::mutex _sleepLock;
    std::condition_variable _sleep;
    bool _nudged = false;
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

std::uint32_t WaveOut::Write(Handle handle, WaveHeader* header, std::uint32_t size, OutputFrame frame) noexcept
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
    Notifier& notifier = TheNotifier();
    if (header->bufferLength < handle->_format.blockAlign) {
        // Not a frame to play: the buffer comes back done at once, and nothing waits behind it.
        notifier.Expect(handle->_output ? handle->_output->BufferPace() : 0);
        handle->HandBack(header, false);
        return MmNoError;
    }
    header->next = nullptr;
    header->flags.store((flags & ~static_cast<std::uint32_t>(HeaderDone)) | HeaderInQueue, std::memory_order_release);
    handle->_queued.fetch_add(1, std::memory_order_acq_rel);
    notifier.Expect(handle->_output ? handle->_output->BufferPace() : 0);
    if (handle->_mixer.PostStream(handle, WriteCommand, header, frame))
        return MmNoError;
    notifier.Returned();
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
    if (!handle->_mixer.PostStream(handle, ResetCommand, nullptr, OutputFrame::AtOnce()))
        return MmNoMemory;
    return handle->WaitForAcknowledgement(before) ? MmNoError : MmError;
}

std::uint32_t WaveOut::Cut(Handle handle) noexcept
{
    if (!handle)
        return MmInvalidHandle;
    return handle->_mixer.PostStream(handle, ResetCommand, nullptr, OutputFrame::AtOnce()) ? MmNoError : MmNoMemory;
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
    // The done messages of the buffers the audio thread gave back are delivered first.
    Notifier& notifier = TheNotifier();
    for (;;) {
        const std::uint32_t delivered = notifier.Delivered();
        if (handle->_undelivered.load(std::memory_order_acquire) == 0)
            break;
        notifier.Nudge();
        notifier.WaitForDelivery(delivered);
    }
    if (handle->_callback)
        handle->_callback(handle, WaveOutClosed, handle->_instance, 0, 0);
    AudioOutput* output = handle->_output;
    delete handle;
    if (output)
        output->Release();
    notifier.Leave();
    return MmNoError;
}

// --- the audio thread ---

void WaveOut::OnCommand(int command, void* argument, OutputFrame frame, Mixer& mixer, std::int64_t bufferStart) noexcept
{
    if (command == WriteCommand) {
        auto* header = static_cast<WaveHeader*>(argument);
        if (_playing && !_head && !(frame == _soundFrame)) {
            // What played has run out: every buffer of it is read, at most its last two frames
            // are still to be mixed, and Mix sees it end only as it mixes on. A write for another
            // frame is a sound of its own: it starts on the frame it names instead of being
            // carried on right after those (early) or left queued behind a sound that ended.
            _playing = false;
            _currentValid = _nextValid = false;
        }
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
            _soundFrame = frame;
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
    HandBack(header, true);
}

// Marks a buffer written (and queued, or not) done and posts its message to the notifier.
void WaveOut::HandBack(WaveHeader* header, bool queued) noexcept
{
    _undelivered.fetch_add(1, std::memory_order_acq_rel);
    header->flags.store((header->flags.load(std::memory_order_relaxed) & ~static_cast<std::uint32_t>(HeaderInQueue)) |
                            HeaderDone,
                        std::memory_order_release);
    if (queued)
        _queued.fetch_sub(1, std::memory_order_acq_rel);
    Notifier& notifier = TheNotifier();
    if (!notifier.Post(DoneMessage{this, header})) {
        _undelivered.fetch_sub(1, std::memory_order_acq_rel);  // the done flag still tells
        notifier.Returned();
    } else if (_offline) {
        notifier.Nudge();  // the thread that renders offline may wait; the audio thread never does
    }
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
