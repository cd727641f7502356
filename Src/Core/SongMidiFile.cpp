#include "Core/SongMidiFile.h"

#include <algorithm>
#include <cmath>

#include "Core/SongTimerStrategy.h"

namespace Core {

namespace {

using Configuration::BeatLevel;
using Configuration::SongSection;

constexpr std::int64_t MaxTempo = 0xFFFFFF;  // microseconds a quarter note

struct Event {
    std::int64_t tick;
    std::string bytes;
};

void Number(std::string& out, std::uint64_t value, int bytes)
{
    for (int n = bytes - 1; n >= 0; --n)
        out += static_cast<char>((value >> (8 * n)) & 0xFF);
}

void Quantity(std::string& out, std::uint64_t value)
{
    char bytes[10];
    int count = 0;
    do {
        bytes[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 10);
    while (count > 1)
        out += static_cast<char>(bytes[--count] | 0x80);
    out += bytes[0];
}

std::string Meta(int type, std::string_view data)
{
    std::string out;
    out += '\xFF';
    out += static_cast<char>(type);
    Quantity(out, data.size());
    out += data;
    return out;
}

std::string Track(std::vector<Event>& events)
{
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::string body;
    std::int64_t at = 0;
    for (const Event& event : events) {
        Quantity(body, static_cast<std::uint64_t>(event.tick - at));
        body += event.bytes;
        at = event.tick;
    }
    Quantity(body, 0);
    body += Meta(0x2F, "");
    std::string track = "MTrk";
    Number(track, body.size(), 4);
    return track + body;
}

int Log2(std::int32_t unit)
{
    int power = 0;
    while ((1 << power) < unit)
        ++power;
    return power;
}

// Bytes from `at`, read safely.
class Reader {
public:
    explicit Reader(std::string_view bytes) : _bytes(bytes) {}
    bool Has(std::size_t count) const { return _at + count <= _bytes.size(); }
    std::uint32_t Byte() { return Has(1) ? static_cast<unsigned char>(_bytes[_at++]) : (_failed = true, 0); }
    std::uint32_t Number(int count)
    {
        std::uint32_t value = 0;
        while (count-- > 0)
            value = value << 8 | Byte();
        return value;
    }
    std::uint32_t Quantity()
    {
        std::uint32_t value = 0;
        for (int n = 0; n < 4; ++n) {
            const std::uint32_t byte = Byte();
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80))
                return value;
        }
        _failed = true;
        return value;
    }
    std::string_view Take(std::size_t count)
    {
        if (!Has(count)) {
            _failed = true;
            count = _bytes.size() - _at;
        }
        const std::string_view part = _bytes.substr(_at, count);
        _at += count;
        return part;
    }
    bool Failed() const { return _failed; }
    bool AtEnd() const { return _at >= _bytes.size(); }

private:
    std::string_view _bytes;
    std::size_t _at = 0;
    bool _failed = false;
};

}  // namespace

std::string SongMidiFile::Write(const Configuration::Song& original, const Sounds& sounds)
{
    Configuration::Song song = original;
    song.Fit();
    std::vector<Event> conductor;
    std::vector<Event> clicks;
    conductor.push_back({0, Meta(0x03, song.name)});
    std::int64_t tick = 0;
    double exactUs = 0;    // the song's exact time at the section's start
    double writtenUs = 0;  // the time the tempo events written so far give
    std::int64_t lastTempo = -1;
    std::int64_t budget = MaxBeats;
    for (const SongSection& section : song.sections) {
        const std::int32_t beats = section.BeatsPerBar();
        const std::int32_t bars = section.bars == SongSection::Endless ? 1 : section.bars;
        const std::int64_t beatTicks = 4LL * TicksPerQuarter / section.unit;
        std::string signature;
        signature += static_cast<char>(beats);
        signature += static_cast<char>(Log2(section.unit));
        signature += static_cast<char>(section.compound ? std::min(255, 3 * 96 / section.unit) : 24);
        signature += static_cast<char>(8);
        conductor.push_back({tick, Meta(0x58, signature)});
        if (!section.label.empty())
            conductor.push_back({tick, Meta(0x06, section.label)});
        // A steady tempo a bar, a ramp's a beat: each step ends where the curve says, to the
        // microsecond, whatever the rounding of the steps before.
        const std::int32_t stepBeats = section.Ramp() && section.bars != SongSection::Endless ? 1 : beats;
        const double quartersPerStep = stepBeats * 4.0 / section.unit;
        if (budget < static_cast<std::int64_t>(bars) * beats)
            break;  // longer than any song is played
        budget -= static_cast<std::int64_t>(bars) * beats;
        for (std::int32_t beat = 0; beat < bars * beats; beat += stepBeats) {
            const double endUs = exactUs + 1000.0 * SongTimerStrategy::OffsetMs(section, beat + stepBeats);
            const std::int64_t tempo =
                std::clamp<std::int64_t>(std::llround((endUs - writtenUs) / quartersPerStep), 1, MaxTempo);
            writtenUs += static_cast<double>(tempo) * quartersPerStep;
            if (tempo != lastTempo) {
                std::string data;
                Number(data, static_cast<std::uint64_t>(tempo), 3);
                conductor.push_back({tick + beat * beatTicks, Meta(0x51, data)});
                lastTempo = tempo;
            }
        }
        for (std::int32_t bar = 0; bar < bars; ++bar) {
            if (section.Muted(bar) || section.volume == 0)
                continue;
            for (std::int32_t beat = 0; beat < beats; ++beat) {
                const BeatLevel level = section.Level(beat);
                if (level == BeatLevel::Silent)
                    continue;
                const int n = static_cast<int>(level);
                const std::int64_t at = tick + (static_cast<std::int64_t>(bar) * beats + beat) * beatTicks;
                const std::int32_t velocity = std::clamp(sounds.velocity[n] * section.volume / 100, 1, 127);
                clicks.push_back(
                    {at, std::string{'\x99', static_cast<char>(sounds.note[n] & 0x7F), static_cast<char>(velocity)}});
                clicks.push_back(
                    {at + beatTicks / 2, std::string{'\x89', static_cast<char>(sounds.note[n] & 0x7F), 0}});
            }
        }
        tick += static_cast<std::int64_t>(bars) * beats * beatTicks;
        exactUs += 1000.0 * SongTimerStrategy::OffsetMs(section, static_cast<double>(bars) * beats);
    }
    std::string file = "MThd";
    Number(file, 6, 4);
    Number(file, 1, 2);  // format 1
    Number(file, 2, 2);  // two tracks
    Number(file, TicksPerQuarter, 2);
    return file + Track(conductor) + Track(clicks);
}

std::string SongMidiFile::Write(const Configuration::Song& song)
{
    return Write(song, Sounds{});
}

namespace {

using Tempi = std::vector<std::pair<std::int64_t, std::int64_t>>;  // tick, microseconds a quarter

// The events of one track: its tempi, meters, markers and notes; whether it was read whole.
bool ReadTrack(Reader& track, SongMidiFile::Contents& contents, Tempi& tempi)
{
    std::int64_t tick = 0;
    std::uint32_t status = 0;
    while (!track.AtEnd() && !track.Failed()) {
        tick += track.Quantity();
        std::uint32_t byte = track.Byte();
        if (byte == 0xFF) {
            const std::uint32_t type = track.Byte();
            const std::string_view data = track.Take(track.Quantity());
            if (type == 0x51 && data.size() == 3)
                tempi.emplace_back(tick,
                                   static_cast<unsigned char>(data[0]) << 16 |
                                       static_cast<unsigned char>(data[1]) << 8 | static_cast<unsigned char>(data[2]));
            else if (type == 0x58 && data.size() == 4 && static_cast<unsigned char>(data[1]) < 8)
                contents.meters.push_back(
                    {tick, static_cast<unsigned char>(data[0]), 1 << static_cast<unsigned char>(data[1])});
            else if (type == 0x06)
                contents.markers.emplace_back(data);
            else if (type == 0x2F)
                break;
            continue;
        }
        if (byte == 0xF0 || byte == 0xF7) {
            track.Take(track.Quantity());
            continue;
        }
        if (byte & 0x80) {
            status = byte;
            byte = track.Byte();
        } else if (status == 0) {
            return false;  // data with no running status
        }
        const std::uint32_t kind = status & 0xF0;
        if (kind == 0xC0 || kind == 0xD0)
            continue;
        const std::uint32_t second = track.Byte();
        if (kind == 0x90 && second != 0)
            contents.notes.push_back(
                {tick, 0, static_cast<std::int32_t>(byte & 0x7F), static_cast<std::int32_t>(second & 0x7F)});
    }
    return !track.Failed();
}

// The notes' times from the tempo map (120 quarter notes a minute until the first tempo).
void TimeNotes(SongMidiFile::Contents& contents, Tempi& tempi, std::uint32_t division)
{
    using Note = SongMidiFile::Contents::Note;
    std::stable_sort(tempi.begin(), tempi.end());
    std::stable_sort(contents.notes.begin(), contents.notes.end(),
                     [](const Note& a, const Note& b) { return a.tick < b.tick; });
    std::size_t next = 0;
    std::int64_t at = 0;
    double seconds = 0;
    double perTick = 0.5 / division;
    for (Note& note : contents.notes) {
        while (next < tempi.size() && tempi[next].first <= note.tick) {
            seconds += static_cast<double>(tempi[next].first - at) * perTick;
            at = tempi[next].first;
            perTick = static_cast<double>(tempi[next].second) / 1e6 / division;
            ++next;
        }
        note.seconds = seconds + static_cast<double>(note.tick - at) * perTick;
    }
}

}  // namespace

bool SongMidiFile::Read(std::string_view bytes, Contents& contents)
{
    contents = Contents{};
    if (bytes.size() > MaxFile)
        return false;
    Reader file(bytes);
    if (file.Take(4) != "MThd" || file.Number(4) != 6)
        return false;
    file.Number(2);  // the format: every track is read alike
    const std::uint32_t tracks = file.Number(2);
    const std::uint32_t division = file.Number(2);
    if (file.Failed() || division == 0 || (division & 0x8000))
        return false;
    contents.ticksPerQuarter = static_cast<std::int32_t>(division);
    Tempi tempi;
    bool whole = true;
    for (std::uint32_t t = 0; t < tracks && !file.AtEnd(); ++t) {
        if (file.Take(4) != "MTrk") {
            whole = false;
            break;
        }
        Reader track(file.Take(file.Number(4)));
        const bool trackWhole = ReadTrack(track, contents, tempi);
        whole = whole && trackWhole;
    }
    TimeNotes(contents, tempi, division);
    return whole && !file.Failed();
}

}  // namespace Core
