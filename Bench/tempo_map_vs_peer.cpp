// A tempo map rendered by Ticova's export and by the peer click-track program (`klick -W`, when
// installed), compared click for click with each other and with the exact positions of the tempo
// curve. Both renderings use a click that is loud from its first sample, so a click's onset is
// the first sample above a threshold after a quiet stretch.
//
//     tempo_map_vs_peer [MAP]      (a built-in map when none is given)
//
// Prints one line a click (where in the song, the exact frame, Ticova's and the peer's onsets)
// and the largest distances. Ticova places every click at round(exact); the peer is measured.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../Tests/Support/WavFileBuilder.h"
#include "Configuration/ConfigurationData.h"
#include "Core/ClickTrackExport.h"
#include "Core/SongTimerStrategy.h"
#include "Core/SoundEngines.h"
#include "Core/TempoMap.h"
#include "Platform/Text.h"

namespace {

constexpr double Rate = Core::ClickTrackExport::Rate;

const char* const BuiltInMap = "intro:  4 96\n"
                               "bridge: 8 120-100\n"
                               "verse:  2 7/8 120 X.x.x..\n"
                               "turn:   1 2/4 100\n"
                               "        4 3/4 60-180 Xxx 0.8\n"
                               "outro:  2 6/8 90-60\n";

// The first channel of a 16-bit PCM WAV file, as numbers from -1 to 1.
bool ReadWav(const std::string& path, std::vector<float>& samples)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return false;
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
            static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    unsigned channels = 0;
    unsigned bits = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::size_t size = u32(at + 4);
        if (id == "fmt " && at + 24 <= bytes.size()) {
            channels = u16(at + 10);
            bits = u16(at + 22);
        } else if (id == "data" && channels > 0 && bits == 16) {
            const std::size_t end = std::min(bytes.size(), at + 8 + size);
            for (std::size_t n = at + 8; n + 2 * channels <= end; n += 2 * channels)
                samples.push_back(static_cast<std::int16_t>(u16(n)) / 32768.0f);
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

std::vector<std::int64_t> Onsets(const std::vector<float>& samples)
{
    std::vector<std::int64_t> found;
    const std::int64_t quiet = static_cast<std::int64_t>(0.02 * Rate);
    std::int64_t lastLoud = -quiet;
    for (std::int64_t n = 0; n < static_cast<std::int64_t>(samples.size()); ++n) {
        if (std::fabs(samples[static_cast<std::size_t>(n)]) < 0.1f)
            continue;
        if (n - lastLoud >= quiet)
            found.push_back(n);
        lastLoud = n;
    }
    return found;
}

struct Click {
    std::string where;
    double exact;
};

// Every sounding beat of the song at its exact frame.
std::vector<Click> Exact(const Configuration::Song& song)
{
    std::vector<Click> clicks;
    double start = 0;
    for (std::size_t s = 0; s < song.sections.size(); ++s) {
        const Configuration::SongSection& section = song.sections[s];
        const int beats = section.BeatsPerBar();
        for (int bar = 0; bar < section.bars; ++bar)
            for (int beat = 0; beat < beats; ++beat) {
                if (section.Level(beat) == Configuration::BeatLevel::Silent)
                    continue;
                const double ms = start + Core::SongTimerStrategy::OffsetMs(section, bar * beats + beat);
                clicks.push_back({(section.label.empty() ? "#" + std::to_string(s + 1) : section.label) + " " +
                                      std::to_string(bar + 1) + "." + std::to_string(beat + 1),
                                  ms * Rate / 1000.0});
            }
        start += Core::SongTimerStrategy::OffsetMs(section, static_cast<double>(section.bars) * beats);
    }
    return clicks;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = "/tmp/tempo_map_vs_peer_" + std::to_string(getpid());
    std::system(("mkdir -p " + folder).c_str());
    std::string mapPath = folder + "/map.txt";
    if (argc > 1) {
        mapPath = argv[1];
    } else {
        std::ofstream(mapPath) << BuiltInMap;
    }
    std::ifstream mapFile(mapPath);
    std::stringstream text;
    text << mapFile.rdbuf();
    Configuration::Song song;
    for (const auto& note : Core::TempoMap::Read(text.str(), song))
        std::printf("note: %s\n", Core::TempoMap::Describe(note).c_str());
    if (song.sections.empty()) {
        std::fprintf(stderr, "tempo_map_vs_peer: %s holds no section\n", mapPath.c_str());
        return 1;
    }

    // A click loud from its first sample: 5 ms of a decaying square wave.
    std::vector<std::int16_t> click;
    for (int n = 0; n < 220; ++n)
        click.push_back(static_cast<std::int16_t>(((n / 25) % 2 ? -1 : 1) * 24000 * (1.0 - n / 220.0)));
    const std::string clickPath = folder + "/click.wav";
    Tests::WavFileBuilder::Format format;
    format.samplesPerSec = static_cast<std::uint32_t>(Rate);
    if (!Tests::WavFileBuilder(format).Samples16(click).Save(clickPath)) {
        std::fprintf(stderr, "tempo_map_vs_peer: cannot write %s\n", clickPath.c_str());
        return 1;
    }
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = Core::SoundEngines::AudioFile;
    settings.VisualIndicator = 0;
    settings.GlobalVolume = 100;
    Platform::Text::Copy(settings.File[0], Platform::Text::Utf8ToUtf16(clickPath).c_str());
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice) {
        settings.Instrument[voice] = 0;
        settings.Volume[voice] = 127;
    }
    const std::string ticovaPath = folder + "/ticova.wav";
    const auto result =
        Core::ClickTrackExport::Run(settings, ticovaPath, {Core::ClickTrackExport::Unit::Bars, 1}, {}, {}, &song);
    if (!result.written) {
        std::fprintf(stderr, "tempo_map_vs_peer: Ticova's export failed: %s\n", result.error.c_str());
        return 1;
    }
    const std::string peerPath = folder + "/peer.wav";
    const bool peer =
        std::system(("klick -r 44100 -W " + peerPath + " -f " + mapPath + " > /dev/null 2>&1").c_str()) == 0;

    std::vector<float> samples;
    ReadWav(ticovaPath, samples);
    const std::vector<std::int64_t> ticova = Onsets(samples);
    samples.clear();
    std::vector<std::int64_t> theirs;
    if (peer && ReadWav(peerPath, samples))
        theirs = Onsets(samples);
    const std::vector<Click> exact = Exact(song);

    std::printf("%-16s %14s %9s %9s %7s %7s\n", "click", "exact frame", "Ticova", "peer", "T-exact", "P-exact");
    double worstTicova = 0, worstPeer = 0, worstBetween = 0;
    const std::size_t count = std::max({exact.size(), ticova.size(), theirs.size()});
    for (std::size_t n = 0; n < count; ++n) {
        const bool hasExact = n < exact.size(), hasT = n < ticova.size(), hasP = n < theirs.size();
        std::printf("%-16s", hasExact ? exact[n].where.c_str() : "?");
        hasExact ? std::printf(" %14.3f", exact[n].exact) : std::printf(" %14s", "-");
        hasT ? std::printf(" %9lld", static_cast<long long>(ticova[n])) : std::printf(" %9s", "-");
        hasP ? std::printf(" %9lld", static_cast<long long>(theirs[n])) : std::printf(" %9s", "-");
        if (hasExact && hasT) {
            const double d = static_cast<double>(ticova[n]) - exact[n].exact;
            worstTicova = std::max(worstTicova, std::fabs(d));
            std::printf(" %7.3f", d);
        }
        if (hasExact && hasP) {
            const double d = static_cast<double>(theirs[n]) - exact[n].exact;
            worstPeer = std::max(worstPeer, std::fabs(d));
            std::printf(" %7.3f", d);
        }
        if (hasT && hasP)
            worstBetween = std::max(worstBetween, std::fabs(static_cast<double>(ticova[n] - theirs[n])));
        std::printf("\n");
    }
    std::printf("\nclicks: exact %zu, Ticova %zu, peer %s\n", exact.size(), ticova.size(),
                peer ? std::to_string(theirs.size()).c_str() : "not run (klick not installed)");
    std::printf("largest distance from the exact frame: Ticova %.3f samples", worstTicova);
    if (peer)
        std::printf(", peer %.3f samples; Ticova to peer %.0f samples", worstPeer, worstBetween);
    std::printf("\n");
    std::system(("rm -rf " + folder).c_str());
    return 0;
}
