#pragma once

#include <cstdint>

namespace Platform {

// Result codes of the MIDI and wave output calls. The numbers are the multimedia system's own, so
// that the log and the user messages describe a failure here as they would describe it anywhere.
enum MultimediaResult : std::uint32_t {
    MmNoError = 0,
    MmError = 1,          // unspecified error
    MmBadDeviceId = 2,    // device identifier out of range
    MmNotEnabled = 3,     // driver failed enable
    MmAllocated = 4,      // resource already allocated
    MmInvalidHandle = 5,  // device handle is invalid
    MmNoDriver = 6,       // no device driver present
    MmNoMemory = 7,       // unable to allocate or lock memory
    MmNotSupported = 8,   // function not supported
    MmInvalidFlag = 10,   // invalid flag passed
    MmInvalidParameter = 11,
    WaveBadFormat = 32,     // unsupported waveform audio format
    WaveStillPlaying = 33,  // the device is still playing something
    WaveUnprepared = 34,    // header not prepared
};

}  // namespace Platform
