#pragma once

#include <cstdint>

#include "Platform/ClockMapping.h"

namespace Platform {

// What a driver reports with every buffer it asks for.
struct BufferTiming {
    std::int64_t callbackTime = 0;  // clock time of the callback (ns)
    double aheadNs = 0;             // from rendering this buffer to hearing its first frame
    bool underflow = false;         // the driver could not play a buffer in time before this one
    // A driver that knows its frames' times itself (a JACK server keeps its own frame clock) gives
    // the mapping from the buffer's first frame on; null: the output follows the callbacks' times.
    const ClockMapping::State* mapping = nullptr;
    // A driver that knows how far ahead a sound must be handed over (from its server's request
    // size and pace) says so here, in ns; 0: the output works it out from the callbacks' pace.
    std::int64_t leadNs = 0;
};

// The side of the audio output that a driver feeds: the mixer and the frame clock. Called on the
// driver's audio thread; no allocation, no lock, no system call.
class IAudioClient {
public:
    // Once a driver knows its rate, before its first buffer.
    virtual void Prepare(double rate) noexcept = 0;
    // Fills `frames` interleaved stereo frames. With no frames, it only takes the timing (a
    // driver that learnt when its frames are heard between two buffers).
    virtual void OnBuffer(float* output, int frames, const BufferTiming& timing) noexcept = 0;
    // Frames the driver's clock passed without asking for them (a JACK server's skipped cycles):
    // rendered into `scratch` and dropped, so that the frames the client counts stay the driver's.
    virtual void Discard(float* scratch, int frames) noexcept = 0;

protected:
    ~IAudioClient() = default;
};

// One way of getting sound out: a sound device, a clock-paced null output, a JACK client. A
// driver runs one stream at a time; Start and Stop are called under the output's lock.
class IAudioDriver {
public:
    virtual ~IAudioDriver() = default;

    // Opens and starts a stream feeding from `client`; a multimedia result code. Returns once
    // the stream asks for sound at its pace.
    virtual std::uint32_t Start(IAudioClient& client) = 0;
    // Opens a stream feeding from `client` held for its first sound (see Resume); a driver
    // that cannot hold starts it as Start does. A stream that cannot start held is closed.
    virtual std::uint32_t StartHeld(IAudioClient& client)
    {
        std::uint32_t result = Start(client);
        if (result == 0 && Pause() && (result = Resume(true)) != 0) {
            Lost();
            Stop();
        }
        return result;
    }
    // Stops and closes the stream; its audio thread has left the client when this returns.
    virtual void Stop() noexcept = 0;
    // Whether an idle stream stays open for a while (a real device, slow to open), and is watched
    // for callbacks that stop; a null output closes with its last user.
    virtual bool KeptOpen() const noexcept { return true; }
    // The stream died under its users: the next Start begins afresh (a sound system that may
    // have lost its server).
    virtual void Lost() noexcept {}
    // A stream that can wait, paused at its server, at no cost: Pause stops it asking for sound
    // (true when it did; false: it cannot, and is kept open or closed as before), and Resume
    // starts it again at once, as a new run for the client of the last Start (Prepare first,
    // frames counted from 0); a multimedia result code. Both under the output's lock.
    // With `held`, a driver that can waits on, paused, with its client prepared at frame 0, until
    // Play: whoever resumed it hands its first sound over before a frame is rendered, and the
    // stream's first buffer carries it. A driver that cannot hold plays at once and takes no Play.
    virtual bool Pause() noexcept { return false; }
    virtual std::uint32_t Resume(bool /*held*/) { return 0; }
    virtual void Play() noexcept {}
    virtual bool Held() const noexcept { return false; }
    // How much of a held stream's start its server may not play, in ns: a server that starts a
    // stream at once, by taking back what its sink had already mixed ahead, can take back only
    // part of that, and the frames of the stream that fall before are lost. A held start's first
    // sound comes after them.
    virtual std::int64_t StartUnheardNs() const noexcept { return 0; }
    // Whether the running stream can still play: false once the driver knows it died (its
    // server shut it down, its audio thread ended with an error), before its callbacks have been
    // missed for long. Looked at often, from the output's watch, under the output's lock; it
    // must answer at once.
    virtual bool Alive() const noexcept { return true; }
};

}  // namespace Platform
