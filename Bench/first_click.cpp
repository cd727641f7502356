// The edges of a run through the sound server: from the Start call to the first click heard, and
// where the first clicks land, at 120, 233 and 400 bpm, five starts each with the output closed
// before (cold: the program's first start, or after it was left idle) and with it waiting at the
// server (warm); then CPU while stopped and while playing, and the resident memory.
//
//   scripts/with-sound-server build/Bench/first_click             the default output
//   scripts/with-sound-server build/Bench/first_click portaudio   the same through PortAudio's ALSA
//   Bench/first_click_servers                                     on private PulseAudio and PipeWire servers
//
// What is heard is recorded from the default sink's monitor by a stream of this bench's own,
// which dates every recorded frame by the server's timing (the time it was played); "heard" is
// when the first click's first sample is played. "est" is the time the program itself expects
// that sample to be heard at (its output's HeardAt), minus the one measured. "first" is how far
// the first click lies from the grid of the clicks after it (samples, 0.5 is pure rounding),
// "grid" the largest distance of any click from the grid laid from the first click.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../Tests/Support/SoundCapture.h"
#include "Configuration/ConfigurationData.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/Metronome.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "CountingEngine.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/SoundFontSynth.h"
#include "ProcessFigures.h"
#include "TimedRecorder.h"

namespace {

constexpr int Note = 76;  // "Hi Wood Block": a short, sharp click
constexpr int Velocity = 100;
constexpr int Clicks = 8;
constexpr int Starts = 5;

Configuration::ConfigurationData SettingsFor(std::uint32_t bpm)
{
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = Core::SoundEngines::Midi;
    settings.Bpm = bpm;
    settings.VisualIndicator = 0;
    settings.GlobalVolume = 100;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice) {
        for (std::uint32_t row = 0; row < Core::PercussionTable::Count; ++row)
            if (Core::PercussionTable::Note(row) == Note)
                settings.Instrument[voice] = row;
        settings.Volume[voice] = Velocity;
    }
    return settings;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ServerPid()
{
    const char* file = std::getenv("TICOVA_SOUND_SERVER_PIDFILE");
    long pid = 0;
    if (file)
        std::ifstream(file) >> pid;
    return pid;
}

struct Figures {
    std::vector<double> heard, estimate, first, grid;
    int missing = 0;
    std::int64_t underflows = 0;
};

double LargestMagnitude(const std::vector<double>& values)
{
    double largest = 0;
    for (double v : values)
        largest = std::max(largest, std::fabs(v));
    return largest;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool portAudio = argc > 1 && std::strcmp(argv[1], "portaudio") == 0;
    if (!Tests::SoundServerAvailable()) {
        std::fprintf(stderr, "first_click: no sound server answers; run it under scripts/with-sound-server\n");
        return 1;
    }
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    if (portAudio)
        output.ChooseDevice("ALSA", "default");
    // The rate the output opens at, from the second of two starts (a PipeWire graph found at
    // another rate than its default is followed from the next); then it is closed again, so that
    // the first measured start is the program's first.
    for (int start = 0; start < 2; ++start) {
        if (start > 0)
            output.Release();
        if (output.Acquire() != 0) {
            std::fprintf(stderr, "first_click: the sound output could not start\n");
            return 1;
        }
    }
    const double rate = output.SampleRate();
    const char* way = output.PlaysThroughPipeWire() ? "through PipeWire's own protocol"
        : output.PlaysThroughServer()               ? "through libpulse"
                                                    : "through PortAudio";
    output.Release();
    output.CloseIdle();
    const Platform::Sound* sound = Platform::SoundFontSynth::Instance().Prepare(Note, Velocity, rate);
    if (!sound) {
        std::fprintf(stderr, "first_click: no SoundFont\n");
        return 1;
    }
    std::vector<float> click;
    for (std::int64_t i = 0; i < sound->frames; ++i)
        click.push_back(sound->samples[2 * i]);
    auto recording = std::make_unique<Bench::TimedRecorder>();
    Bench::TimedRecorder& recorder = *recording;
    if (!recorder.Start(rate)) {
        std::fprintf(stderr, "first_click: cannot record the monitor\n");
        return 1;
    }
    // The recorder's dating settles over its first second and over the first run it hears: one
    // run, not measured, then the output is closed.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    {
        Bench::CountingEngine warmUp(*Core::SoundEngines::Get(Core::SoundEngines::Midi));
        Core::Metronome::Instance().UseStandIns({&warmUp});
        auto settings = SettingsFor(400);
        Bench::QuietHandler handler;
        if (Core::Metronome::Instance().Start(handler, settings) == 0) {
            while (warmUp.Count() < 8 && Core::Metronome::Instance().IsRunning())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            Core::Metronome::Instance().Stop();
        }
        Core::Metronome::Instance().UseStandIns({});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        output.CloseIdle();
    }

    const std::string serverName = Tests::FirstLineOf("pactl info 2>/dev/null | sed -n 's/^Server Name: //p'");
    std::printf("server \"%s\", output %s at %.0f Hz\n", serverName.c_str(), way, rate);
    std::printf("%-8s %-5s %10s %10s %9s %9s %9s %9s\n", "tempo", "start", "heard.med", "heard.max", "est.max",
                "first.max", "grid.max", "missing");
    Core::Metronome& metronome = Core::Metronome::Instance();
    Bench::CountingEngine engine(*Core::SoundEngines::Get(Core::SoundEngines::Midi));
    metronome.UseStandIns({&engine});
    double worstHeard = 0, worstFirst = 0, worstGrid = 0;
    for (const std::uint32_t bpm : {120u, 233u, 400u}) {
        const double period = 60.0 / bpm * rate;
        for (const bool cold : {true, false}) {
            Figures figures;
            for (int start = 0; start < Starts; ++start) {
                if (cold)
                    output.CloseIdle();
                std::this_thread::sleep_for(std::chrono::milliseconds(cold ? 500 : 300));
                auto settings = SettingsFor(bpm);
                Bench::QuietHandler handler;
                engine.Reset();
                const std::int64_t underflowsBefore = output.Underflows();
                const std::int64_t pressed = Platform::Clock::Now();
                if (metronome.Start(handler, settings) != 0) {
                    std::printf("the metronome did not start\n");
                    return 1;
                }
                while (engine.Count() == 0 && metronome.IsRunning())
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                const std::int64_t expected = output.HeardAt(engine.FirstFrame());
                while (engine.Count() < Clicks + 2 && metronome.IsRunning())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                metronome.Stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                const auto from =
                    static_cast<std::int64_t>(recorder.FrameAt(pressed)) - static_cast<std::int64_t>(rate / 5);
                const std::vector<float> samples = recorder.Samples(from, recorder.Frames());
                std::vector<long> onsets = Tests::FindClicks(samples, click);
                if (onsets.size() < 3) {
                    ++figures.missing;
                    continue;
                }
                if (onsets.size() > static_cast<std::size_t>(Clicks))
                    onsets.resize(Clicks);
                const std::int64_t heard = recorder.TimeOf(static_cast<double>(from + onsets[0]));
                figures.heard.push_back((heard - pressed) / 1e6);
                figures.estimate.push_back((expected - heard) / 1e6);
                std::vector<double> later;
                for (std::size_t k = 1; k < onsets.size(); ++k)
                    later.push_back(static_cast<double>(onsets[k]) - k * period);
                figures.first.push_back(static_cast<double>(onsets[0]) - Bench::Median(later));
                double grid = 0;
                for (std::size_t k = 1; k < onsets.size(); ++k)
                    grid = std::max(grid, std::fabs(static_cast<double>(onsets[k] - onsets[0]) - k * period));
                figures.grid.push_back(grid);
                figures.underflows += output.Underflows() - underflowsBefore;
                if (grid > 1.0) {
                    std::printf("         spacings of an odd run:");
                    for (std::size_t k = 1; k < onsets.size(); ++k)
                        std::printf(" %ld", onsets[k] - onsets[k - 1]);
                    std::printf("\n");
                }
            }
            const double heardMax =
                figures.heard.empty() ? NAN : *std::max_element(figures.heard.begin(), figures.heard.end());
            std::printf("%4u bpm %-5s %7.1f ms %7.1f ms %6.1f ms %9.2f %9.2f %9d\n", bpm, cold ? "cold" : "warm",
                        Bench::Median(figures.heard), heardMax, LargestMagnitude(figures.estimate),
                        LargestMagnitude(figures.first), LargestMagnitude(figures.grid), figures.missing);
            std::printf("         heard ms:");
            for (double h : figures.heard)
                std::printf(" %.1f", h);
            std::printf("; first:");
            for (double f : figures.first)
                std::printf(" %+.1f", f);
            std::printf("; underflows %lld\n", static_cast<long long>(figures.underflows));
            worstHeard = std::max(worstHeard, heardMax);
            worstFirst = std::max(worstFirst, LargestMagnitude(figures.first));
            worstGrid = std::max(worstGrid, LargestMagnitude(figures.grid));
        }
    }
    std::printf("worst: press to heard %.1f ms, first click %.2f samples, grid %.2f samples; underflows %lld, "
                "late events %lld, dropped %lld\n",
                worstHeard, worstFirst, worstGrid, static_cast<long long>(output.Underflows()),
                static_cast<long long>(output.GetMixer().LateEvents()),
                static_cast<long long>(output.GetMixer().DroppedEvents()));

    // CPU of one core while playing 120 bpm, and while stopped (the output waiting at the server,
    // or, through PortAudio, kept open), of the program and of the server, with the recorder
    // gone; then the memory.
    recording.reset();
    // With no recorder the sink may sleep (a null sink in blocks of seconds): cold starts then,
    // timed by the program's own heard time (checked against the recording above, "est").
    {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        auto coldSettings = SettingsFor(120);
        std::printf("cold, nothing else at the server, Start to first click heard (program's own time):");
        for (int start = 0; start < 3; ++start) {
            output.CloseIdle();
            std::this_thread::sleep_for(std::chrono::seconds(3));
            Bench::QuietHandler quiet;
            engine.Reset();
            const std::int64_t pressed = Platform::Clock::Now();
            if (metronome.Start(quiet, coldSettings) != 0)
                break;
            while (engine.Count() == 0 && metronome.IsRunning())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            std::printf(" %.1f ms", (output.HeardAt(engine.FirstFrame()) - pressed) / 1e6);
            metronome.Stop();
        }
        std::printf("\n");
    }
    const long serverPid = ServerPid();
    auto settings = SettingsFor(120);
    Bench::QuietHandler handler;
    metronome.Start(handler, settings);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    double cpu = CpuSeconds(), serverCpu = Bench::ProcessCpuSeconds(serverPid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double playing = (CpuSeconds() - cpu) * 10,
                 serverPlaying = (Bench::ProcessCpuSeconds(serverPid) - serverCpu) * 10;
    metronome.Stop();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cpu = CpuSeconds();
    serverCpu = Bench::ProcessCpuSeconds(serverPid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double stopped = (CpuSeconds() - cpu) * 10,
                 serverStopped = (Bench::ProcessCpuSeconds(serverPid) - serverCpu) * 10;
    output.CloseIdle();
    const double closedFrom = Bench::ProcessCpuSeconds(serverPid);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double serverClosed = (Bench::ProcessCpuSeconds(serverPid) - closedFrom) * 10;
    std::printf("CPU of one core: playing 120 bpm %.2f %%, stopped %.2f %%", playing, stopped);
    if (serverPid > 0 && serverCpu >= 0)
        std::printf("; the server: playing %.2f %%, stopped %.2f %%, with the output closed %.2f %%", serverPlaying,
                    serverStopped, serverClosed);
    std::printf("\nresident memory %.1f MB\n", Bench::StatusKb("self", "VmRSS:") / 1024.0);
    metronome.UseStandIns({});
    return 0;
}
