// Plays the metronome through the sound server, records the server's output and tells, in
// samples, where the clicks came out: for the MIDI and the audio-file engines, at 120, 233 and
// 400 bpm, 300 bpm with eight subdivisions, a speed-trainer run, and 120 bpm while two busy loops
// load both cores. Each run is played twice: on the output's frames (the program's way), and on
// a system-clock grid mapped to frames through the output's clock loop (how it used to be
// done), as the baseline. Then start-up to the first click, and CPU while stopped and playing.
//
//   scripts/with-sound-server build/Bench/click_timing          the table
//   scripts/with-sound-server build/Bench/click_timing load     400 bpm for 60 s under load
//   ... click_timing [load] "file 300" "MIDI 120"                 only the runs named so
//
// Columns: each click found is laid on the nearest place of the grid (the first click's place
// plus k periods): clicks found on their places, places lost, clicks doubled on one place, and
// clicks more than a sample off their place ("late"); "grid.max", the largest distance of a click
// from its exact fractional place (0.5 is pure rounding); the spacing error mean/max between
// neighbours; the tempo in the sink's samples against the nominal one, in ppm. The load mode's exit
// code is 1 when a run played on the output's frames was not clean (a click lost, doubled or off its
// place, or an underflow).

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
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../Tests/Support/SoundCapture.h"
#include "../Tests/Support/WavFileBuilder.h"
#include "Configuration/ConfigurationData.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/Metronome.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "Core/Timer.h"
#include "CountingEngine.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/SoundFontSynth.h"
#include "Platform/Text.h"

namespace {

constexpr int Note = 76;  // "Hi Wood Block": a short, sharp click
constexpr int Velocity = 100;

// How it used to be done: ticks on a system-clock grid, each mapped to the frame the output's
// clock loop puts its time at (plus the lead). The loop's wander and the callbacks' jitter then
// move every click.
class MappedSystemClock final : public Core::Timer::IClock {
public:
    explicit MappedSystemClock(Platform::AudioOutput& output) : _output(output) {}
    std::int64_t Now() override { return Platform::Clock::Now(); }
    double Frequency() override { return Platform::Clock::Frequency; }
    void Wait(Platform::AutoResetEvent& event, int milliseconds) override { event.Wait(milliseconds); }
    void SleepUntil(std::int64_t deadline) override { Platform::Clock::SleepUntil(deadline); }
    Platform::OutputFrame FrameOf(std::int64_t due) override
    {
        return std::llround(_output.FrameAt(due + _output.LeadTime()));
    }
    Core::Moment HeardAt(std::int64_t due) override
    {
        return Core::Moment(std::chrono::nanoseconds(due + _output.LeadTime()));
    }

private:
    Platform::AudioOutput& _output;
};

// Two threads spinning at normal priority: both cores busy.
class Load {
public:
    Load()
    {
        for (auto& thread : _threads)
            thread = std::thread([this] {
                volatile std::uint64_t x = 0;
                while (!_stop.load(std::memory_order_relaxed))
                    x = x + 1;
            });
    }
    ~Load()
    {
        _stop.store(true);
        for (auto& thread : _threads)
            thread.join();
    }

private:
    std::atomic<bool> _stop{false};
    std::thread _threads[2];
};

struct Run {
    const char* name;
    std::uint32_t bpm;
    std::uint32_t subdivision;
    int clicks;
    bool trainer;
    bool loaded;
};

Configuration::ConfigurationData SettingsFor(const Run& run, std::uint32_t engineType)
{
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = engineType;
    settings.Bpm = run.bpm;
    settings.Subdivision1 = run.subdivision;
    settings.VisualIndicator = 0;
    settings.GlobalVolume = 100;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice) {
        settings.Instrument[voice] = 0;  // audio file 1
        if (engineType == Core::SoundEngines::Midi)
            for (std::uint32_t row = 0; row < Core::PercussionTable::Count; ++row)
                if (Core::PercussionTable::Note(row) == Note)
                    settings.Instrument[voice] = row;
        settings.Volume[voice] = engineType == Core::SoundEngines::Midi ? Velocity : 127;
    }
    if (run.trainer) {
        // 120 to 240 bpm in steps of 30, one bar of four beats a stage.
        settings.BeatType = 0;
        settings.Bpm = 240;
        settings.SpeedTrainer = 1;
        settings.From = 0.5f;
        settings.To = 1.0f;
        settings.Step = 0.25f;
        settings.DurationsInBars = 1;
        settings.Duration = 1.0f;
        settings.Warmup = 0.0f;
        settings.Warmdown = 0.0f;
        settings.Beep = 0;
    }
    return settings;
}

// The period in frames of spacing i (between clicks i - 1 and i).
double PeriodOf(const Run& run, std::size_t spacing, double rate)
{
    if (run.trainer) {
        const double stages[] = {120, 150, 180, 210, 240};
        return 60.0 / stages[std::min<std::size_t>((spacing - 1) / 4, 4)] * rate;
    }
    return 60.0 / run.bpm / (run.subdivision ? run.subdivision : 1) * rate;
}

// The clicks found, each laid on the nearest place of the run's grid (the first click's frame
// plus the exact periods): a place nobody landed on is a lost click, a second click on one place
// a doubled one, a click more than a sample from its place a late (or early) one. The figures of
// the spacing and the tempo are those of the clicks on their own places, so that a lost or
// doubled click is told as such instead of moving every later click by a period.
struct Figures {
    int found = 0, lost = 0, doubled = 0, late = 0;
    double gridMax = 0, spacingMean = 0, spacingMax = 0, ppm = 0;
};

Figures Measure(const Run& run, const std::vector<long>& onsets, double rate)
{
    Figures f;
    if (onsets.empty()) {
        f.lost = run.clicks;
        return f;
    }
    std::vector<double> places(static_cast<std::size_t>(run.clicks), 0.0);
    for (std::size_t k = 1; k < places.size(); ++k)
        places[k] = places[k - 1] + PeriodOf(run, k, rate);
    std::vector<int> landed(places.size(), 0);
    std::vector<double> errors(places.size(), 0.0);
    for (long onset : onsets) {
        const double at = static_cast<double>(onset - onsets[0]);
        const auto next = std::lower_bound(places.begin(), places.end(), at);
        auto nearest = next;
        if (next == places.end() || (next != places.begin() && at - *(next - 1) < *next - at))
            nearest = next - 1;
        const auto k = static_cast<std::size_t>(nearest - places.begin());
        if (k + 1 == places.size() && at - places[k] > PeriodOf(run, k, rate) / 2)
            continue;  // one of the clicks played after the measured ones
        if (landed[k]++ > 0) {
            ++f.doubled;
            continue;
        }
        errors[k] = at - places[k];
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0, spacingSum = 0;
    int spacings = 0;
    for (std::size_t k = 0; k < places.size(); ++k) {
        if (!landed[k]) {
            ++f.lost;
            continue;
        }
        ++f.found;
        f.gridMax = std::max(f.gridMax, std::fabs(errors[k]));
        if (std::fabs(errors[k]) > 1.0)
            ++f.late;
        if (k > 0 && landed[k - 1]) {
            const double error = std::fabs(errors[k] - errors[k - 1]);
            spacingSum += error;
            f.spacingMax = std::max(f.spacingMax, error);
            ++spacings;
        }
        // The tempo from the least-squares slope of the clicks against their exact places, so
        // that the rounding of the first and last click does not read as an error.
        const double y = places[k] + errors[k];
        sx += places[k];
        sy += y;
        sxx += places[k] * places[k];
        sxy += places[k] * y;
    }
    f.spacingMean = spacings ? spacingSum / spacings : 0;
    const double n = f.found;
    if (f.found > 2)
        f.ppm = ((n * sxy - sx * sy) / (n * sxx - sx * sx) - 1) * 1e6;
    return f;
}

// One row; whether the run was clean (every click found once, on its place, no underflow).
bool Print(const std::string& name, const Run& run, const std::vector<long>& onsets, double rate,
           std::int64_t underflows)
{
    const Figures f = Measure(run, onsets, rate);
    std::printf("%-38s %5d %4d %4d %4d %8.2f %8.3f %8.2f %9.2f %s\n", name.c_str(), f.found, f.lost, f.doubled, f.late,
                f.gridMax, f.spacingMean, f.spacingMax, f.ppm,
                underflows ? ("underflows " + std::to_string(underflows)).c_str() : "");
    return f.lost == 0 && f.doubled == 0 && f.late == 0 && underflows == 0;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool loadRun = argc > 1 && std::strcmp(argv[1], "load") == 0;
    // The rest of the arguments, if any: play only the runs whose names contain one of them.
    std::vector<std::string> only(argv + (loadRun ? 2 : 1), argv + argc);
    const auto chosen = [&only](const std::string& name) {
        return only.empty() || std::any_of(only.begin(), only.end(), [&name](const std::string& part) {
                   return name.find(part) != std::string::npos;
               });
    };
    if (!Tests::SoundServerAvailable()) {
        std::fprintf(stderr, "click_timing: no sound server answers; run it under scripts/with-sound-server\n");
        return 1;
    }
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    if (output.Acquire() != 0) {
        std::fprintf(stderr, "click_timing: the sound output could not start\n");
        return 1;
    }
    const double rate = output.SampleRate();
    const Platform::Sound* sound = Platform::SoundFontSynth::Instance().Prepare(Note, Velocity, rate);
    if (!sound) {
        std::fprintf(stderr, "click_timing: no SoundFont\n");
        return 1;
    }
    std::vector<float> click;
    std::vector<std::int16_t> samples;
    for (std::int64_t i = 0; i < sound->frames; ++i) {
        click.push_back(sound->samples[2 * i]);
        samples.push_back(static_cast<std::int16_t>(std::clamp(std::lround(click.back() * 32768.0f), -32768L, 32767L)));
    }
    std::vector<float> fileClick;
    for (std::int16_t s : samples)
        fileClick.push_back(s / 32768.0f);
    Tests::WavFileBuilder::Format format;
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    const std::string path = "/tmp/click_timing_" + std::to_string(getpid()) + ".wav";
    if (!Tests::WavFileBuilder(format).Samples16(samples).Save(path)) {
        std::fprintf(stderr, "click_timing: cannot write %s\n", path.c_str());
        return 1;
    }

    std::vector<Run> runs = {
        {"120 bpm", 120, 0, 30, false, false},        {"233 bpm", 233, 0, 30, false, false},
        {"400 bpm", 400, 0, 40, false, false},        {"300 bpm x 8", 300, 8, 240, false, false},
        {"trainer 120-240", 240, 0, 21, true, false}, {"120 bpm, both cores busy", 120, 0, 30, false, true}};
    if (loadRun)
        runs = {{"400 bpm 60 s, both cores busy", 400, 0, 400, false, true}};
    MappedSystemClock mapped(output);
    Core::Metronome& metronome = Core::Metronome::Instance();
    std::printf("output %.0f Hz, lead %.1f ms; errors in samples of the sink\n", rate, output.LeadTime() / 1e6);
    std::printf("%-38s %5s %4s %4s %4s %8s %8s %8s %9s\n", "run", "found", "lost", "dbl", "late", "grid.max", "sp.mean",
                "sp.max", "tempo ppm");
    int bad = 0;
    for (std::uint32_t engineType : {Core::SoundEngines::Midi, Core::SoundEngines::AudioFile}) {
        const char* engineName = engineType == Core::SoundEngines::Midi ? "MIDI" : "file";
        Bench::CountingEngine engine(*Core::SoundEngines::Get(engineType));
        for (const Run& run : runs) {
            if (!chosen(std::string(engineName) + " " + run.name))
                continue;
            for (const bool old : {false, true}) {
                if (old && loadRun)
                    continue;
                auto settings = SettingsFor(run, engineType);
                Platform::Text::Utf8ToUtf16(path, settings.File[0]);
                metronome.UseStandIns({&engine, old ? &mapped : nullptr});
                Tests::MonitorRecorder recorder(static_cast<int>(rate));
                recorder.WaitUntilRecording();
                const std::int64_t underflows = output.Underflows();
                Bench::QuietHandler handler;
                engine.Reset();
                {
                    std::unique_ptr<Load> load(run.loaded ? new Load : nullptr);
                    if (metronome.Start(handler, settings) != 0) {
                        std::printf("%s %s: the metronome did not start\n", engineName, run.name);
                        ++bad;
                        continue;
                    }
                    // Two clicks more than measured: a stop cuts what is not heard yet.
                    while (engine.Count() < run.clicks + 2 && metronome.IsRunning())
                        std::this_thread::sleep_for(std::chrono::microseconds(500));
                    metronome.Stop();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(800));
                const auto onsets =
                    Tests::FindClicks(recorder.Stop(), engineType == Core::SoundEngines::Midi ? click : fileClick);
                const std::string name = std::string(engineName) + (old ? " mapped " : " frames ") + run.name;
                // The old way is the baseline; under load the program's own way has to be clean.
                if (!Print(name, run, onsets, rate, output.Underflows() - underflows) && !old && loadRun)
                    ++bad;
            }
        }
    }
    metronome.UseStandIns({});
    std::printf("late events %lld, dropped %lld, underflows %lld, clock loop restarts %d, rate vs clock %+.1f ppm\n",
                static_cast<long long>(output.GetMixer().LateEvents()),
                static_cast<long long>(output.GetMixer().DroppedEvents()), static_cast<long long>(output.Underflows()),
                output.MappingRestarts(), (output.MeasuredRate() / rate - 1) * 1e6);
    output.Release();

    if (!loadRun && only.empty()) {
        // Start-up to the first click from a closed output, and CPU time while stopped and while
        // playing 120 bpm.
        auto settings = SettingsFor(runs[0], Core::SoundEngines::Midi);
        Bench::CountingEngine engine(*Core::SoundEngines::Get(Core::SoundEngines::Midi));
        metronome.UseStandIns({&engine});
        std::vector<double> startups, reopened;
        for (int i = 0; i < 10; ++i) {
            // Every other start first closes the output, as after a long idle time.
            if (i % 2 == 1)
                output.CloseIdle();
            Bench::QuietHandler handler;
            engine.Reset();
            const std::int64_t before = Platform::Clock::Now();
            metronome.Start(handler, settings);
            while (engine.Count() == 0 && metronome.IsRunning())
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            const std::int64_t heard = output.HeardAt(engine.FirstFrame());
            metronome.Stop();
            (i % 2 == 1 ? reopened : startups).push_back((heard - before) / 1e6);
        }
        std::sort(startups.begin(), startups.end());
        std::sort(reopened.begin(), reopened.end());
        std::printf("Start to first click heard: output open %.1f ms median, %.1f ms max; output closed before "
                    "%.1f ms median, %.1f ms max\n",
                    startups[2], startups.back(), reopened[2], reopened.back());
        Bench::QuietHandler handler;
        double cpu = CpuSeconds();
        metronome.Start(handler, settings);
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double playing = (CpuSeconds() - cpu) / 10 * 100;
        metronome.Stop();
        cpu = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double stopped = (CpuSeconds() - cpu) / 10 * 100;
        output.CloseIdle();
        cpu = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double closed = (CpuSeconds() - cpu) / 10 * 100;
        std::printf("CPU of one core: playing 120 bpm %.2f %%, stopped with the output open %.2f %%, output closed "
                    "%.2f %%\n",
                    playing, stopped, closed);
        metronome.UseStandIns({});
    }
    std::remove(path.c_str());
    return bad == 0 ? 0 : 1;
}
