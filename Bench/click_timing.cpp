// Plays clicks scheduled by the timer through the MIDI engine into the sound server, records the
// server's output and tells, in samples, how evenly they came out: first placed at their ticks'
// due times (the normal way), by the bare timer and then by the metronome playing a settings
// record, then placed at the start of the buffer being rendered (no time stamps), as the
// baseline. Then the same click, written to a WAV file, through the audio-file engine and its
// wave players. Also how long PlaySound takes on the timer thread for each engine. Run it under
// scripts/with-sound-server.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "../Tests/Support/SoundCapture.h"
#include "../Tests/Support/WavFileBuilder.h"
#include "Configuration/ConfigurationData.h"
#include "Core/AudioSoundEngine.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ITimerEventHandler.h"
#include "Core/Metronome.h"
#include "Core/MidiSoundEngine.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "Core/Timer.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/Text.h"
#include "Platform/SoundFontSynth.h"

namespace {

constexpr int Note = 76;       // "Hi Wood Block": a short, sharp click
constexpr int Velocity = 100;
constexpr int ClicksPerRun = 60;

// How long each PlaySound call took on the timer thread, in nanoseconds, per engine.
std::vector<std::int64_t> midiCalls, audioFileCalls;

class Clicker final : public Core::ITimerEventHandler {
public:
    Clicker(Core::ISoundEngine& engine, int volume, int sound, std::vector<std::int64_t>& calls)
        : _engine(engine), _volume(volume), _sound(sound), _calls(calls)
    {
    }
    void OnTimer() override
    {
        int n = _count.fetch_add(1);
        if (n >= ClicksPerRun)
            return;
        const std::int64_t before = Platform::Clock::Now();
        const bool played = _engine.PlaySound(_volume, _sound);
        _took[n] = Platform::Clock::Now() - before;
        if (!played)
            _failures.fetch_add(1);
    }
    ~Clicker() { _calls.insert(_calls.end(), _took, _took + std::min(_count.load(), ClicksPerRun)); }
    bool Done() const { return _count.load() >= ClicksPerRun; }
    int Failures() const { return _failures.load(); }

private:
    Core::ISoundEngine& _engine;
    int _volume;
    int _sound;
    std::vector<std::int64_t>& _calls;
    std::int64_t _took[ClicksPerRun] = {};
    std::atomic<int> _count{0};
    std::atomic<int> _failures{0};
};

bool PlayRun(Core::ISoundEngine& engine, double intervalMs, int volume = Velocity, int sound = Note,
             std::vector<std::int64_t>& calls = midiCalls)
{
    Clicker clicker(engine, volume, sound, calls);
    Core::Timer& timer = Core::Timer::Instance();
    if (!timer.Start(&clicker, intervalMs))
        return false;
    while (!clicker.Done())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    timer.Stop();
    timer.Join();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the gap that separates runs
    return clicker.Failures() == 0;
}

// Passes the metronome's clicks on to the real engine and counts them.
class CountingEngine final : public Core::ISoundEngine {
public:
    explicit CountingEngine(Core::ISoundEngine& engine) : _engine(engine) {}
    bool Initialise(Configuration::ConfigurationData& settings) override { return _engine.Initialise(settings); }
    bool PlaySound(std::int32_t volume, std::int32_t sound) override
    {
        _count.fetch_add(1, std::memory_order_relaxed);
        return _engine.PlaySound(volume, sound);
    }
    void Close() override { _engine.Close(); }
    std::uint32_t GetLastResult() override { return _engine.GetLastResult(); }
    int Count() const { return _count.load(std::memory_order_relaxed); }
    void Reset() { _count.store(0, std::memory_order_relaxed); }

private:
    Core::ISoundEngine& _engine;
    std::atomic<int> _count{0};
};

class QuietHandler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t, bool) override {}
    void OnTimerEvent(std::int32_t, std::int32_t) override {}
    void OnStopped(std::int32_t) override {}
    void OnError(std::int32_t) override { failed.store(true); }
    std::atomic<bool> failed{false};
};

// Plays a settings record through the metronome (every voice the same note) until it has
// clicked ClicksPerRun times.
bool PlayMetronomeRun(CountingEngine& engine, std::uint32_t bpm, std::uint32_t subdivision)
{
    Configuration::ConfigurationData settings;
    settings.Bpm = bpm;
    settings.Subdivision1 = subdivision;
    settings.VisualIndicator = 0;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice) {
        settings.Instrument[voice] = 0;
        for (std::uint32_t row = 0; row < Core::PercussionTable::Count; ++row)
            if (Core::PercussionTable::Note(row) == Note)
                settings.Instrument[voice] = row;
        settings.Volume[voice] = Velocity;
    }
    QuietHandler handler;
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.UseSoundEngine(&engine);
    engine.Reset();
    if (metronome.Start(handler, settings) != 0)
        return false;
    while (engine.Count() < ClicksPerRun && metronome.IsRunning())
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    metronome.Stop();
    metronome.UseSoundEngine(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    return engine.Count() == ClicksPerRun && !handler.failed.load();
}

void Print(const char* name, const std::vector<long>& run, double nominal, double sinkPpm)
{
    const Tests::ClickFigures f = Tests::Measure(run, nominal);
    std::printf("%-26s %5d %3d %8.3f %8.3f %8.3f %8.3f %8.3f %9.2f %9.2f\n", name, f.clicks, ClicksPerRun - f.clicks,
                f.spacingMean, f.spacingP99, f.spacingMax, f.lineP99, f.lineMax, f.tempoPpm,
                ((1 + f.tempoPpm * 1e-6) / (1 + sinkPpm * 1e-6) - 1) * 1e6);
}

void PrintCalls(const char* name, std::vector<std::int64_t> calls)
{
    if (calls.empty())
        return;
    std::sort(calls.begin(), calls.end());
    const auto at = [&](double q) { return calls[static_cast<std::size_t>(q * static_cast<double>(calls.size() - 1))] / 1e3; };
    std::printf("%-26s %5zu calls: median %7.2f us, p99 %7.2f us, max %7.2f us\n", name, calls.size(), at(0.5), at(0.99),
                calls.back() / 1e3);
}

}  // namespace

// Seconds of output before the first click (the first argument; 3 by default).
int SettleSeconds = 3;

int main(int argc, char** argv)
{
    if (argc > 1)
        SettleSeconds = std::atoi(argv[1]);
    if (!Tests::SoundServerAvailable()) {
        std::fprintf(stderr, "click_timing: no sound server answers; run it under scripts/with-sound-server\n");
        return 1;
    }
    Core::ISoundEngine& engine = *Core::SoundEngines::Get(Core::SoundEngines::Midi);
    Configuration::ConfigurationData settings;
    if (!engine.Initialise(settings)) {
        std::fprintf(stderr, "click_timing: the MIDI engine could not start (result %u)\n", engine.GetLastResult());
        return 1;
    }
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    const double rate = output.SampleRate();
    const Platform::Sound* sound = Platform::SoundFontSynth::Instance().Prepare(Note, Velocity, rate);
    std::vector<float> click;
    for (std::int64_t i = 0; sound && i < sound->frames; ++i)
        click.push_back(sound->samples[2 * i]);

    Tests::MonitorRecorder recorder(static_cast<int>(rate));
    if (!recorder.Recording()) {
        std::fprintf(stderr, "click_timing: parec could not be started\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(SettleSeconds));  // let the clock mapping settle

    const double slowMs = 60000.0 / 120, fastMs = 60000.0 / 400 / 8;
    Platform::Mixer& mixer = output.GetMixer();
    bool ok = PlayRun(engine, slowMs) && PlayRun(engine, fastMs);
    // The metronome closes the engine when it stops; the output stays on for the runs after it.
    output.Acquire();
    CountingEngine counting(engine);
    const double metronomeFastMs = 60000.0 / 300 / 8;
    ok = PlayMetronomeRun(counting, 120, 0) && PlayMetronomeRun(counting, 300, 8) && ok;
    engine.Initialise(settings);
    const std::int64_t lateStamped = mixer.LateEvents();
    mixer.SetPlacement(Platform::Mixer::Placement::BufferStart);
    ok = PlayRun(engine, slowMs) && PlayRun(engine, fastMs) && ok;
    mixer.SetPlacement(Platform::Mixer::Placement::Stamped);
    const std::vector<float> recording = recorder.Stop();

    const auto runs = Tests::SplitRuns(Tests::FindClicks(recording, click), static_cast<long>(rate * 1.5));
    const double measuredRate = mixer.Mapping().MeasuredRate();
    std::printf("output %.0f Hz, latency %.2f ms (stamp to heard), output rate against the clock %.4f Hz (%+.1f ppm)\n"
                "late events %lld, underflows %lld, clock loop restarts %d, %zu frames recorded, %zu runs found\n",
                rate, output.Latency() / 1e6, measuredRate, (measuredRate / rate - 1) * 1e6,
                static_cast<long long>(lateStamped), static_cast<long long>(output.Underflows()),
                mixer.Mapping().Restarts(), recording.size(), runs.size());
    std::printf("tempo ppm is counted in the sink's samples; less the sink's own rate error it is the error "
                "against the clock (last column)\n");
    std::printf("%-26s %5s %3s %8s %8s %8s %8s %8s %9s %9s\n", "run (errors in samples)", "found", "lost", "sp.mean",
                "sp.p99", "sp.max", "line.p99", "line.max", "tempo ppm", "vs clock");
    const char* names[] = {"stamped 120 bpm",       "stamped 400 bpm x 8",     "metronome 120 bpm",
                           "metronome 300 bpm x 8", "buffer start 120 bpm", "buffer start 400 bpm x 8"};
    const double nominal[] = {slowMs * rate / 1000,          fastMs * rate / 1000, slowMs * rate / 1000,
                              metronomeFastMs * rate / 1000, slowMs * rate / 1000, fastMs * rate / 1000};
    for (std::size_t i = 0; i < 6; ++i)
        Print(names[i], i < runs.size() ? runs[i] : std::vector<long>{}, nominal[i], (measuredRate / rate - 1) * 1e6);

    // The same click as a 16-bit WAV file at the output's rate, played at full volume (the copy
    // is then the file itself) by the audio-file engine. The MIDI engine stays open, so the
    // output and its clock mapping run on.
    std::vector<std::int16_t> samples;
    std::vector<float> fileClick;
    for (float s : click) {
        samples.push_back(static_cast<std::int16_t>(std::clamp(std::lround(s * 32768.0f), -32768L, 32767L)));
        fileClick.push_back(samples.back() / 32768.0f);
    }
    Tests::WavFileBuilder::Format format;
    format.samplesPerSec = static_cast<std::uint32_t>(rate);
    const std::string path = "/tmp/click_timing_" + std::to_string(getpid()) + ".wav";
    Core::ISoundEngine& audioFile = *Core::SoundEngines::Get(Core::SoundEngines::AudioFile);
    settings.Bpm = 400;
    settings.Subdivision1 = 8;
    settings.Instrument[0] = 0;
    Platform::Text::Utf8ToUtf16(path, settings.File[0]);
    bool fileOk = Tests::WavFileBuilder(format).Samples16(samples).Save(path) && audioFile.Initialise(settings);
    std::remove(path.c_str());
    std::vector<std::vector<long>> fileRuns;
    if (fileOk) {
        Tests::MonitorRecorder fileRecorder(static_cast<int>(rate));
        fileOk = fileRecorder.Recording() && PlayRun(audioFile, slowMs, 127, 0, audioFileCalls) &&
                 PlayRun(audioFile, fastMs, 127, 0, audioFileCalls);
        audioFile.Close();
        fileRuns = Tests::SplitRuns(Tests::FindClicks(fileRecorder.Stop(), fileClick), static_cast<long>(rate * 1.5));
        std::printf("audio-file engine: %d players for the file, each cutting its previous click when its "
                    "turn comes\n",
                    Core::AudioSoundEngine::RequestedPlayers(settings));
    } else {
        std::printf("audio-file engine: could not start (result %u)\n", audioFile.GetLastResult());
    }
    const char* fileNames[] = {"audio file 120 bpm", "audio file 400 bpm x 8"};
    const double fileNominal[] = {slowMs * rate / 1000, fastMs * rate / 1000};
    for (std::size_t i = 0; i < 2; ++i)
        Print(fileNames[i], i < fileRuns.size() ? fileRuns[i] : std::vector<long>{}, fileNominal[i],
              (measuredRate / rate - 1) * 1e6);
    std::printf("PlaySound on the timer thread\n");
    PrintCalls("MIDI engine", midiCalls);
    PrintCalls("audio-file engine", audioFileCalls);
    engine.Close();
    output.Release();
    return ok && fileOk && runs.size() == 6 && fileRuns.size() == 2 ? 0 : 1;
}
