#include "Core/WavePlayer.h"

#include <cstring>
#include <new>

#include "Platform/AudioOutput.h"
#include "System/ILog.h"
#include "System/MultimediaError.h"

namespace Core {

namespace {
constexpr const char* SourceFile = "Src/Core/WavePlayer";
constexpr std::uint32_t MmNoError = 0;
constexpr std::uint32_t MmNotEnabled = 3;
std::atomic<bool> priorityFailureLogged{false};
}  // namespace

WavePlayer::~WavePlayer()
{
    CloseAudioDevice();
}

bool WavePlayer::OpenAudioDevice(const Platform::WaveFormat& format, const unsigned char* samples, std::uint32_t size)
{
    return OpenAudioDevice(format, samples, size, Platform::AudioOutput::Instance());
}

bool WavePlayer::OpenAudioDevice(const Platform::WaveFormat& format, const unsigned char* samples, std::uint32_t size,
                                 Platform::AudioOutput& output)
{
    CloseAudioDevice();
    return FinishOpening(Platform::WaveOut::Open(&_device, &format, &WavePlayer::WaveOutCallback,
                                                 reinterpret_cast<std::uintptr_t>(this), output),
                         format, samples, size);
}

bool WavePlayer::OpenAudioDevice(const Platform::WaveFormat& format, const unsigned char* samples, std::uint32_t size,
                                 Platform::OfflineOutput& output)
{
    CloseAudioDevice();
    return FinishOpening(Platform::WaveOut::OpenOffline(&_device, &format, &WavePlayer::WaveOutCallback,
                                                        reinterpret_cast<std::uintptr_t>(this), output),
                         format, samples, size);
}

bool WavePlayer::FinishOpening(std::uint32_t result, const Platform::WaveFormat& format, const unsigned char* samples,
                               std::uint32_t size)
{
    SetLastResult(result);
    if (result != MmNoError) {
        _device = nullptr;
        System::ReportMultimediaError(result, SourceFile, "Core::WavePlayer::OpenAudioDevice", __LINE__,
                                      "Error calling WaveOut::Open");
        return false;
    }
    // Signals left from an earlier opening mean nothing now.
    _bufferDone.Reset();
    _playEvent.Reset();

    _bitsPerSample = format.bitsPerSample;
    if (!InitialiseSampleData(samples, size))
        return false;
    for (Platform::WaveHeader& header : _headers) {
        header.data = nullptr;
        header.bufferLength = 0;
        header.bytesRecorded = 0;
        header.user = 0;
        header.flags.store(0, std::memory_order_relaxed);
        header.loops = 0;
        header.next = nullptr;
        header.reserved = 0;
    }
    _running.store(true, std::memory_order_release);
    _scaledVolume.store(Unscaled, std::memory_order_release);
    if (!InitialiseHeader())
        return false;

    if (!_thread.Start([this] { WriteWave(); })) {
        _running.store(false, std::memory_order_release);
        SetLastResult(System::AudioThreadStartResult);
        System::ReportThreadStartError(_thread.StartError());
        return false;
    }
    return true;
}

bool WavePlayer::InitialiseSampleData(const unsigned char* samples, std::uint32_t size)
{
    _samples = samples;
    _dataSize = size;
    _position = 0;
    _scaledUpTo = 0;
    _copy.reset(new (std::nothrow) unsigned char[size > 0 ? size : 1]);
    if (!_copy) {
        System::Log().Write(
            System::Error,
            "Unable to allocate %u bytes of memory for the sample data in WavePlayer::InitialiseSampleData",
            static_cast<unsigned>(size));
        return false;
    }
    return true;
}

bool WavePlayer::InitialiseHeader()
{
    for (int i = 0; i < BufferCount; ++i) {
        Platform::WaveHeader& header = _headers[i];
        header.data = reinterpret_cast<char*>(_buffers[i]);
        header.bufferLength = BufferSize;
        const std::uint32_t result = Platform::WaveOut::PrepareHeader(_device, &header, sizeof header);
        SetLastResult(result);
        if (result != MmNoError) {
            System::ReportMultimediaError(result, SourceFile, "Core::WavePlayer::InitialiseHeader", __LINE__,
                                          "Error calling WaveOut::PrepareHeader");
            return false;
        }
        // Done means free to the thread.
        header.flags.fetch_or(Platform::HeaderDone, std::memory_order_release);
    }
    return true;
}

void WavePlayer::WaveOutCallback(Platform::WaveOut*, std::uint32_t message, std::uintptr_t instance, std::uintptr_t,
                                 std::uintptr_t)
{
    if (message == Platform::WaveOutDone)
        reinterpret_cast<WavePlayer*>(instance)->_bufferDone.Set();
}

bool WavePlayer::Play(std::int32_t volume, Platform::OutputFrame frame)
{
    if (_closing.load(std::memory_order_acquire) || !_device) {
        SetLastResult(System::NoAudioFileResult);
        System::Log().Write(System::Warn, "Attempting to play sound when _waveOutHandle not initialised");
        return false;
    }
    if (!Platform::WaveOut::Running(_device)) {
        // The output died under the device: the click cannot sound.
        SetLastResult(MmNotEnabled);
        System::ReportMultimediaError(MmNotEnabled, SourceFile, "Core::WavePlayer::Play", __LINE__,
                                      "Error calling WaveOut::Write");
        return false;
    }
    _requestedVolume.store(volume, std::memory_order_relaxed);
    _requestedFrame.store(frame, std::memory_order_relaxed);
    _asked.fetch_add(1, std::memory_order_acq_rel);
    _playEvent.Set();
    return true;
}

void WavePlayer::ScaleSamples(const unsigned char* samples, unsigned char* copy, std::uint32_t size,
                              std::uint16_t bitsPerSample, std::int32_t volume) noexcept
{
    const double factor = volume / 127.0;
    if (bitsPerSample == 8) {
        // 8-bit samples are unsigned, silence at 128.
        for (std::uint32_t i = 0; i < size; ++i) {
            const int sample = static_cast<int>(samples[i]) - 128;
            copy[i] = static_cast<unsigned char>(128 + static_cast<int>(sample * factor));
        }
        return;
    }
    const std::uint32_t count = size / 2;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto sample = static_cast<std::int16_t>(samples[2 * i] | samples[2 * i + 1] << 8);
        const auto scaled = static_cast<std::uint16_t>(static_cast<std::int16_t>(sample * factor));
        copy[2 * i] = static_cast<unsigned char>(scaled & 0xFF);
        copy[2 * i + 1] = static_cast<unsigned char>(scaled >> 8);
    }
    if (size % 2 != 0)
        copy[size - 1] = samples[size - 1];
}

bool WavePlayer::AnyBufferQueued() const noexcept
{
    for (const Platform::WaveHeader& header : _headers)
        if (!(header.flags.load(std::memory_order_acquire) & Platform::HeaderDone))
            return true;
    return false;
}

// The buffers of click number `click` still queued on the device.
int WavePlayer::QueuedFor(std::uint64_t click) const noexcept
{
    int queued = 0;
    for (const Platform::WaveHeader& header : _headers)
        if (header.user == click && !(header.flags.load(std::memory_order_acquire) & Platform::HeaderDone))
            ++queued;
    return queued;
}

// Fills header `index` with the next bytes of the scaled copy: a whole buffer, or what is left
// followed by silence (zero bytes); once the click is used up, the buffer is written empty.
void WavePlayer::FillBuffer(int index) noexcept
{
    Platform::WaveHeader& header = _headers[index];
    header.flags.fetch_and(~static_cast<std::uint32_t>(Platform::HeaderDone), std::memory_order_acq_rel);
    const std::uint32_t left = _dataSize - _position;
    const std::uint32_t end = left >= BufferSize ? _position + BufferSize : _dataSize;
    if (_scaledUpTo < end) {
        ScaleSamples(_samples + _scaledUpTo, _copy.get() + _scaledUpTo, end - _scaledUpTo, _bitsPerSample,
                     _scaledVolume.load(std::memory_order_relaxed));
        _scaledUpTo = end;
    }
    if (left >= BufferSize) {
        std::memcpy(_buffers[index], _copy.get() + _position, BufferSize);
        header.bufferLength = BufferSize;
        _position += BufferSize;
    } else {
        if (left > 0)
            std::memcpy(_buffers[index], _copy.get() + _position, left);
        std::memset(_buffers[index] + left, 0, BufferSize - left);
        header.bufferLength = left;
        _position = _dataSize;
    }
}

// The playback thread: streams clicks until it is told to end, then closes the device, so that
// nobody who ends it has to wait for the audio thread to let go.
void WavePlayer::WriteWave()
{
    // A click is placed at its tick's time only if its first buffer reaches the device within
    // the output's latency of that time: the thread runs at the timer's real-time priority, so
    // a busy machine does not hold it back. It works for a moment per click and sleeps between.
    if (int error = Platform::Thread::RaiseToRealTime(); error != 0) {
        // Unprivileged users usually may not: say so once and go on at normal priority.
        if (!priorityFailureLogged.exchange(true))
            System::ReportSystemErrorCode(error, SourceFile, "Core::WavePlayer::WriteWave", __LINE__,
                                          "Error calling pthread_setschedparam");
    }
    StreamClicks();
    CloseDevice();
    _device = nullptr;  // the owner reads it again only once this thread has ended
}

// Waits for a play request, then streams the click through the free buffers, refilling each as
// the device hands it back, until the whole click is written; until the player is closed.
void WavePlayer::StreamClicks()
{
    while (_running.load(std::memory_order_acquire)) {
        _playEvent.Wait(-1);
        if (!_running.load(std::memory_order_acquire))
            break;
        const std::uint64_t asked = _asked.load(std::memory_order_acquire);
        const std::int32_t volume = _requestedVolume.load(std::memory_order_relaxed);
        // Cut what this player still sounds from its previous turn. The device takes the cut
        // before the buffers written after it, so they are written at once into the buffers
        // left free; the cut ones come back when the audio thread has taken it.
        if (AnyBufferQueued()) {
            const std::uint32_t result = Platform::WaveOut::Cut(_device);
            SetLastResult(result);
        }
        // Only this thread reads the copy, so only it rewrites it: buffer by buffer as the click
        // is streamed (FillBuffer), so that a new volume does not hold back the first buffer.
        if (volume != _scaledVolume.load(std::memory_order_relaxed)) {
            _scaledUpTo = 0;
            _scaledVolume.store(volume, std::memory_order_release);
        }
        // The first buffer starts on the frame the click was asked for; the rest follow it.
        const Platform::OutputFrame frame = _requestedFrame.load(std::memory_order_relaxed);
        bool failed = false;
        while (_position < _dataSize && !failed) {
            for (int i = 0; i < BufferCount && _running.load(std::memory_order_acquire); ++i) {
                if (!(_headers[i].flags.load(std::memory_order_acquire) & Platform::HeaderDone))
                    continue;
                if (_position < _dataSize && QueuedFor(asked) >= BufferCount - FreeForNextClick)
                    break;
                FillBuffer(i);
                _headers[i].user = static_cast<std::uintptr_t>(asked);
                const std::uint32_t result = Platform::WaveOut::Write(_device, &_headers[i], sizeof _headers[i], frame);
                SetLastResult(result);
                if (result != MmNoError) {
                    // The click is given up (the output died under the device); the result
                    // stays for the next Play to report.
                    System::ReportMultimediaError(result, SourceFile, "Core::WavePlayer::WriteWave", __LINE__,
                                                  "Error calling WaveOut::Write");
                    failed = true;
                    break;
                }
            }
            _handed.store(asked, std::memory_order_release);
            if (failed || _position >= _dataSize || !_running.load(std::memory_order_acquire))
                break;
            _bufferDone.Wait(-1);
        }
        _position = 0;
        _handed.store(asked, std::memory_order_release);
        if (!failed)
            _streamed.fetch_add(1, std::memory_order_acq_rel);
    }
}

// Stops what still sounds, so that every buffer is back before it is unprepared, and closes the
// device (on the playback thread when it ran, else on the owner's).
void WavePlayer::CloseDevice()
{
    if (!_device)
        return;
    Platform::WaveOut::Reset(_device);
    for (Platform::WaveHeader& header : _headers)
        if (header.flags.load(std::memory_order_acquire) & Platform::HeaderPrepared)
            Platform::WaveOut::UnprepareHeader(_device, &header, sizeof header);
    const std::uint32_t result = Platform::WaveOut::Close(_device);
    if (result != MmNoError)
        System::ReportMultimediaError(result, SourceFile, "Core::WavePlayer::CloseAudioDevice", __LINE__,
                                      "Error calling WaveOut::Close");
}

void WavePlayer::BeginClose() noexcept
{
    _closing.store(true, std::memory_order_release);
    if (_running.exchange(false, std::memory_order_acq_rel)) {
        _playEvent.Set();
        _bufferDone.Set();
    }
}

void WavePlayer::CloseAudioDevice()
{
    BeginClose();
    // The thread has closed the device and ended before the buffers and the copy it read are
    // touched. Without one (an opening that failed half-way) the device is closed here.
    _thread.Join();
    CloseDevice();
    _device = nullptr;
    _closing.store(false, std::memory_order_release);
    _copy.reset();
    _samples = nullptr;
    _dataSize = 0;
    _position = 0;
}

}  // namespace Core
