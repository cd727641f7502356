#include "Core/PercussionTable.h"

namespace Core {

namespace {

constexpr PercussionInstrument rows[PercussionTable::Count] = {
    {"Acoustic Bass Drum", 35}, {"Acoustic Snare", 38}, {"Bass Drum 1", 36},    {"Cabasa", 69},
    {"Chinese Cymbal", 52},     {"Claves", 75},         {"Closed Hi-Hat", 42},  {"Cowbell", 56},
    {"Crash Cymbal 1", 49},     {"Crash Cymbal 2", 57}, {"Electric Snare", 40}, {"Hand Clap", 39},
    {"Hi Bongo", 60},           {"High Agogo", 67},     {"High Floor Tom", 43}, {"High Timbale", 65},
    {"High Tom", 50},           {"Hi Mid Tom", 48},     {"Hi Wood Block", 76},  {"Long Guiro", 74},
    {"Long Whistle", 72},       {"Low Agogo", 68},      {"Low Bongo", 61},      {"Low Conga", 64},
    {"Low Timbale", 66},        {"Low Floor Tom", 41},  {"Low-Mid Tom", 47},    {"Low Tom", 45},
    {"Low Wood Block", 77},     {"Maracas", 70},        {"Mute Cuica", 78},     {"Mute Hi Conga", 62},
    {"Mute Triangle", 80},      {"Open Cuica", 79},     {"Open Hi Conga", 63},  {"Open Hi-Hat", 46},
    {"Open Triangle", 81},      {"Pedal Hi-hat", 44},   {"Ride Bell", 53},      {"Ride Cymbal 1", 51},
    {"Ride Cymbal 2", 59},      {"Short Guiro", 73},    {"Short Whistle", 71},  {"Side Stick", 37},
    {"Splash Cymbal", 55},      {"Tambourine", 54},     {"Vibraslap", 58},
};

}  // namespace

const PercussionInstrument& PercussionTable::Row(std::uint32_t row) noexcept
{
    return rows[row < static_cast<std::uint32_t>(Count) ? row : DefaultRow];
}

}  // namespace Core
