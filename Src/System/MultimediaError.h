#pragma once

namespace System {

// The program's own multimedia result codes, beside the system's 0 to 35.
constexpr unsigned NoAudioFileResult = 1000;       // a play request on a wave player with no open device
constexpr unsigned AudioThreadStartResult = 1001;  // an audio playback thread could not be started

// The number of the message (ILanguage::GetMessage) that describes a multimedia result code;
// codes without a message of their own give 24, "Unspecified error".
int MultimediaMessageId(unsigned code);

// Writes the entry for a failed MIDI or waveform-audio call at level 3:
// "Multimedia error: <message>" with the file, function, line, result code and the current
// language's description of the code. The message is printf-formatted from `format`.
void ReportMultimediaError(unsigned code, const char* file, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

}  // namespace System
