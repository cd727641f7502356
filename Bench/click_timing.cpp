// Plays clicks scheduled by the timer through the MIDI engine into the sound server, records the
// server's output and tells, in samples, how evenly they came out: first placed at their ticks'
// due times (the normal way), then placed at the start of the buffer being rendered (no time
// stamps), as the baseline. Run it under scripts/with-sound-server.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "../Tests/Support/SoundCapture.h"
#include "Configuration/ConfigurationData.h"
#include "Core/ITimerEventHandler.h"
#include "Core/MidiSoundEngine.h"
#include "Core/PercussionTable.h"
#include "Core/SoundEngines.h"
#include "Core/Timer.h"
#include "Platform/AudioOutput.h"
#include "Platform/SoundFontSynth.h"

namespace {

constexpr int Note = 76;       // "Hi Wood Block": a short, sharp click
constexpr int Velocity = 100;
constexpr int ClicksPerRun = 60;

class Clicker final : public Core::ITimerEventHandler {
public:
    explicit Clicker(Core::ISoundEngine& engine) : _engine(engine) {}
    void OnTimer() override
    {
        int n = _count.fetch_add(1);
        if (n < ClicksPerRun && !_engine.PlaySound(Velocity, Note))
            _failures.fetch_add(1);
    }
    bool Done() const { return _count.load() >= ClicksPerRun; }
    int Failures() const { return _failures.load(); }

private:
    Core::ISoundEngine& _engine;
    std::atomic<int> _count{0};
    std::atomic<int> _failures{0};
};

bool PlayRun(Core::ISoundEngine& engine, double intervalMs)
{
    Clicker clicker(engine);
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

void Print(const char* name, const std::vector<long>& run, double nominal)
{
    const Tests::ClickFigures f = Tests::Measure(run, nominal);
    std::printf("%-34s %5d %3d %9.3f %9.3f %9.3f %9.3f %9.3f %10.2f\n", name, f.clicks, ClicksPerRun - f.clicks,
                f.spacingMean, f.spacingP99, f.spacingMax, f.lineP99, f.lineMax, f.tempoPpm);
}

}  // namespace

int main()
{
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
    std::this_thread::sleep_for(std::chrono::seconds(3));  // let the clock mapping settle

    const double slowMs = 60000.0 / 120, fastMs = 60000.0 / 400 / 8;
    Platform::Mixer& mixer = output.GetMixer();
    bool ok = PlayRun(engine, slowMs) && PlayRun(engine, fastMs);
    const std::int64_t lateStamped = mixer.LateEvents();
    mixer.SetPlacement(Platform::Mixer::Placement::BufferStart);
    ok = PlayRun(engine, slowMs) && PlayRun(engine, fastMs) && ok;
    mixer.SetPlacement(Platform::Mixer::Placement::Stamped);
    const std::vector<float> recording = recorder.Stop();

    const auto runs = Tests::SplitRuns(Tests::FindClicks(recording, click), static_cast<long>(rate * 1.5));
    std::printf("output %.0f Hz, latency %.2f ms (stamp to heard), measured rate %.4f Hz, late events %lld, "
                "%zu frames recorded, %zu runs found\n",
                rate, output.Latency() / 1e6, mixer.Mapping().MeasuredRate(), static_cast<long long>(lateStamped),
                recording.size(), runs.size());
    std::printf("%-34s %5s %3s %9s %9s %9s %9s %9s %10s\n", "run (errors in samples)", "found", "lost", "sp.mean",
                "sp.p99", "sp.max", "line.p99", "line.max", "tempo ppm");
    const char* names[] = {"stamped 120 bpm", "stamped 400 bpm x 8", "buffer start 120 bpm", "buffer start 400 bpm x 8"};
    const double nominal[] = {slowMs * rate / 1000, fastMs * rate / 1000, slowMs * rate / 1000, fastMs * rate / 1000};
    for (std::size_t i = 0; i < 4; ++i)
        Print(names[i], i < runs.size() ? runs[i] : std::vector<long>{}, nominal[i]);
    engine.Close();
    return ok && runs.size() == 4 ? 0 : 1;
}
