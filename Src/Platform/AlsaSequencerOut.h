#pragma once

#include <cstdint>

typedef struct _snd_seq snd_seq_t;

namespace Platform {

// A port of the ALSA sequencer ("Ticova:midi_out") that other programs subscribe to, with a queue
// of its own: each message is scheduled on the queue for the clock time it is to sound at, so the
// sequencer, not the caller's thread, keeps the time. Used by one thread at a time.
class AlsaSequencerOut {
public:
    static constexpr const char* DevicePath = "/dev/snd/seq";

    AlsaSequencerOut() = default;
    ~AlsaSequencerOut() { Close(); }
    AlsaSequencerOut(const AlsaSequencerOut&) = delete;
    AlsaSequencerOut& operator=(const AlsaSequencerOut&) = delete;

    // Whether the machine has a sequencer at all.
    static bool Available() noexcept;

    bool Open();
    void Close() noexcept;
    bool IsOpen() const noexcept { return _sequencer != nullptr; }
    int Client() const noexcept { return _client; }
    int Port() const noexcept { return _port; }

    // Schedules a note-on or note-off (other messages are not sent) at clock time `time` (ns,
    // Platform::Clock); a time passed already, or 0: at once.
    bool Send(const std::uint8_t (&bytes)[3], std::int64_t time) noexcept;

private:
    snd_seq_t* _sequencer = nullptr;
    int _client = -1;
    int _port = -1;
    int _queue = -1;
    std::int64_t _queueStart = 0;  // the clock time of the queue's time 0
};

}  // namespace Platform
