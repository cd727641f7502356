// The timing coach's round trip over a run: the metronome plays claves at 120 bpm on the default
// sink, the coach's input listens to its monitor, and each click's capture time less the time the
// metronome said it is heard is printed as a line per five seconds. A calibration measured early
// in a run holds for a take later only as far as this stays put. The intervals between the times
// either side gave the clicks that are off by more than 0.1 ms follow: which side moved.
//
//     scripts/with-sound-server build/Bench/coach_round_trip [seconds]
//     dbus-run-session -- sh -c '. Bench/sound-servers.sh; install_pipewire &&
//         pipewire_run build/Bench/coach_round_trip 40'      (on PipeWire)

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/IBeatFlash.h"
#include "Core/Metronome.h"
#include "Core/TimingCoachInput.h"
#include "Platform/AudioOutput.h"
#include "Support/InstrumentClicks.h"
#include "Support/QuietHandler.h"
#include "Support/SoundCapture.h"

namespace {

struct Heard final : Core::IBeatFlash {
    void Pulse(const Core::BeatPulse& pulse) noexcept override
    {
        if (pulse.beat < 0)
            return;
        std::lock_guard guard(lock);
        beats.push_back(pulse.heardAt.time_since_epoch().count());
    }
    std::mutex lock;
    std::vector<std::int64_t> beats, hits;
};

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    const std::string monitor = Tests::FirstLineOf("pactl get-default-sink 2>/dev/null") + ".monitor";
    Heard heard;
    Core::TimingCoachInput input;
    if (!input.Open(monitor, 48000)) {
        std::printf("the input %s did not open\n", monitor.c_str());
        return 1;
    }
    std::atomic<bool> running{true};
    std::thread analysis([&] {
        while (running.load()) {
            input.Poll(
                [](std::int64_t capturedNs, void* self) {
                    auto& h = *static_cast<Heard*>(self);
                    std::lock_guard guard(h.lock);
                    h.hits.push_back(capturedNs);
                },
                &heard);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    while (!input.Settled())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    Configuration::ConfigurationData settings = Tests::OneNoteRun(75, 120);  // claves
    Core::Metronome& metronome = Core::Metronome::Instance();
    metronome.SetBeatFlash(&heard);
    Tests::QuietHandler quiet;
    if (metronome.Start(quiet, settings) != 0) {
        std::printf("the metronome did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    metronome.Stop();
    metronome.SetBeatFlash(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    running.store(false);
    analysis.join();

    std::lock_guard guard(heard.lock);
    std::printf("%-10s %10s %10s %10s %6s\n", "from s", "least ms", "median ms", "most ms", "clicks");
    const std::int64_t first = heard.beats.empty() ? 0 : heard.beats.front();
    std::vector<double> span;
    std::vector<std::int64_t> heardBeats, captured;  // each click found, as each side timed it
    double lowest = 1e9, highest = -1e9;
    int from = 0;
    auto line = [&] {
        if (span.empty())
            return;
        std::sort(span.begin(), span.end());
        std::printf("%-10d %10.3f %10.3f %10.3f %6zu\n", from, span.front(), span[span.size() / 2], span.back(),
                    span.size());
        span.clear();
    };
    for (std::int64_t beat : heard.beats) {
        const auto found = std::find_if(heard.hits.begin(), heard.hits.end(), [beat](std::int64_t hit) {
            return hit >= beat - 50'000'000 && hit < beat + 300'000'000;
        });
        if (found == heard.hits.end())
            continue;
        const int at = static_cast<int>((beat - first) / 5'000'000'000);
        if (at * 5 != from) {
            line();
            from = at * 5;
        }
        heardBeats.push_back(beat);
        captured.push_back(*found);
        const double trip = static_cast<double>(*found - beat) / 1e6;
        span.push_back(trip);
        if (at >= 1) {
            lowest = std::min(lowest, trip);
            highest = std::max(highest, trip);
        }
    }
    line();
    // Which side moved: the clicks sit on their frames half a second apart, so each side's times of
    // them should be too; a step of either shows as one interval off.
    auto steps = [](const char* side, const std::vector<std::int64_t>& times) {
        int shown = 0;
        for (std::size_t i = 1; i < times.size() && shown < 20; ++i) {
            const double off = static_cast<double>(times[i] - times[i - 1] - 500'000'000) / 1e6;
            if (std::fabs(off) > 100)
                continue;  // a click the input did not find between
            if (std::fabs(off) > 0.1) {
                std::printf("%s: the interval after %.1f s off by %.3f ms\n", side,
                            static_cast<double>(times[i - 1] - times.front()) / 1e9, off);
                ++shown;
            }
        }
    };
    steps("heard", heardBeats);
    steps("captured", captured);
    std::printf("from 5 s on: %.3f ms from least to most; lost %lld frames; the output ran dry %lld times\n",
                highest - lowest, static_cast<long long>(input.Dropped()),
                static_cast<long long>(Platform::AudioOutput::Instance().Underflows()));
}
