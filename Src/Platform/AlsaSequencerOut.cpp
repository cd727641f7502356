#include "Platform/AlsaSequencerOut.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include "Platform/Clock.h"

namespace Platform {

bool AlsaSequencerOut::Available() noexcept
{
    return ::access(DevicePath, R_OK | W_OK) == 0;
}

bool AlsaSequencerOut::Open()
{
    if (_sequencer)
        return true;
    if (!Available() || snd_seq_open(&_sequencer, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
        _sequencer = nullptr;
        return false;
    }
    snd_seq_set_client_name(_sequencer, "Ticova");
    _client = snd_seq_client_id(_sequencer);
    _port = snd_seq_create_simple_port(_sequencer, "midi_out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    _queue = snd_seq_alloc_named_queue(_sequencer, "Ticova");
    if (_port < 0 || _queue < 0 || snd_seq_start_queue(_sequencer, _queue, nullptr) < 0 ||
        snd_seq_drain_output(_sequencer) < 0) {
        Close();
        return false;
    }
    _queueStart = Clock::Now();
    return true;
}

void AlsaSequencerOut::Close() noexcept
{
    if (!_sequencer)
        return;
    if (_queue >= 0) {
        snd_seq_stop_queue(_sequencer, _queue, nullptr);
        snd_seq_drain_output(_sequencer);
        snd_seq_free_queue(_sequencer, _queue);
    }
    snd_seq_close(_sequencer);
    _sequencer = nullptr;
    _client = _port = _queue = -1;
}

bool AlsaSequencerOut::Send(const std::uint8_t (&bytes)[3], std::int64_t time) noexcept
{
    if (!_sequencer)
        return false;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    const int channel = bytes[0] & 0x0F;
    switch (bytes[0] & 0xF0) {
    case 0x90: snd_seq_ev_set_noteon(&event, channel, bytes[1], bytes[2]); break;
    case 0x80: snd_seq_ev_set_noteoff(&event, channel, bytes[1], bytes[2]); break;
    default: return false;
    }
    snd_seq_ev_set_source(&event, _port);
    snd_seq_ev_set_subs(&event);
    const std::int64_t at = time > _queueStart ? time - _queueStart : 0;
    snd_seq_real_time_t when{static_cast<unsigned int>(at / 1'000'000'000),
                             static_cast<unsigned int>(at % 1'000'000'000)};
    snd_seq_ev_schedule_real(&event, _queue, 0, &when);
    return snd_seq_event_output_direct(_sequencer, &event) >= 0;
}

}  // namespace Platform
