#pragma once

#include <cstdint>

#include "Platform/OutputFrame.h"

namespace Platform {

class Mixer;

// A source the mixer pulls from on the audio thread, besides its one-shot sounds: an open wave
// device streaming the buffers written to it. Commands reach it through the mixer's queue, so
// its state is touched by the audio thread only while it is attached.
class IMixerStream {
public:
    virtual ~IMixerStream() = default;
    // A command posted with Mixer::PostStream, carried out on the audio thread while the buffer
    // starting at output frame `bufferStart` is rendered. `frame` is the output frame the
    // command names (or at once); a command that starts a sound places it with
    // mixer.PlaceStreamStart.
    virtual void OnCommand(int command, void* argument, OutputFrame frame, Mixer& mixer,
                           std::int64_t bufferStart) noexcept = 0;
    // Adds the stream's output for frames [firstFrame, firstFrame + frames) into `output`
    // (interleaved stereo).
    virtual void Mix(float* output, std::int64_t firstFrame, int frames) noexcept = 0;
    // Whether Mix may add anything to the frames from `firstFrame` on: false only when the stream
    // is certainly quiet there (the mixer then skips a block nothing sounds in).
    virtual bool Sounding(std::int64_t firstFrame, int frames) const noexcept
    {
        (void)firstFrame;
        (void)frames;
        return true;
    }
    // Called once the stream is detached; the mixer no longer touches it afterwards.
    virtual void OnDetached() noexcept = 0;
};

}  // namespace Platform
