#include "Core/ClickTrackExport.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "Configuration/ConfigurationData.h"
#include "Core/AudioSoundEngine.h"
#include "Core/FrameCountClock.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/Metronome.h"
#include "Core/MidiSoundEngine.h"
#include "Core/SettingsChoices.h"
#include "Core/SettingsRange.h"
#include "Core/SoundEngines.h"
#include "Core/Timer.h"
#include "Platform/Mixer.h"
#include "Platform/OfflineOutput.h"
#include "Platform/SoundFileWriter.h"
#include "System/ILog.h"

namespace Core {

namespace {

constexpr auto ProgressInterval = std::chrono::milliseconds(20);

// What the run tells while it is rendered: only an error matters here.
class ExportEvents final : public IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t, bool) override {}
    void OnTimerEvent(std::int32_t, std::int32_t, Moment) override {}
    void OnStopped(std::int32_t) override {}
    void OnError(std::int32_t messageId) override { error.store(messageId, std::memory_order_release); }
    std::atomic<std::int32_t> error{0};
};

}  // namespace

bool ClickTrackExport::Acceptable(const Length& length)
{
    if (!(length.amount > 0))
        return false;
    return length.unit == Unit::Bars ? length.amount <= 100'000 : length.amount <= MaxMinutes;
}

std::int64_t ClickTrackExport::Frames(const Length& length, double bpm, double barBeats)
{
    const double seconds = length.unit == Unit::Minutes ? length.amount * 60.0 : length.amount * barBeats * 60.0 / bpm;
    return std::llround(std::min(seconds, MaxMinutes * 60.0) * Rate);
}

namespace {

// The frames of the run after its count-in. A speed-trainer run or a song ends by itself; its
// length caps it only when given in minutes.
std::int64_t RunFrames(const Configuration::ConfigurationData& settings, const ClickTrackExport::Length& length,
                       const Configuration::Song* song, double barBeats)
{
    using Unit = ClickTrackExport::Unit;
    const bool trainer = song != nullptr || TrainerOf(settings) == Trainer::Curve;
    const double bpm = SettingsRange::Bpm(settings);
    if (!trainer)
        return ClickTrackExport::Frames(length, bpm, barBeats);
    return length.unit == Unit::Minutes ? ClickTrackExport::Frames(length, bpm, 1)
                                        : std::llround(ClickTrackExport::MaxMinutes * 60.0 * ClickTrackExport::Rate);
}

// Keeps the file written (or throws it away) and fills in the figures of the result.
void Finish(ClickTrackExport::Result& result, Platform::SoundFileWriter& writer, std::int64_t written,
            std::chrono::steady_clock::time_point started, const std::string& path)
{
    // A track cut short by a cancel or a failure never takes the place of a file of that name.
    if (result.cancelled || !result.error.empty()) {
        writer.Discard();
        return;
    }
    if (!writer.Commit()) {
        result.error = writer.Error();
        return;
    }
    result.written = true;
    result.frames = written;
    result.seconds = static_cast<double>(written) / ClickTrackExport::Rate;
    result.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.speedRatio = result.elapsed > 0 ? result.seconds / result.elapsed : 0;
    System::Log().Write(System::Notice, "Click track written to %s: %.1f s of sound in %.2f s (%.0f times real time)",
                        path.c_str(), result.seconds, result.elapsed, result.speedRatio);
}

// Plays the run started into the file until frame `end` (or the run's own end, or a cancel),
// then lets its last click ring.
void PlayToEnd(Metronome& metronome, Timer& timer, Platform::OfflineOutput& output, FrameCountClock& clock,
               std::int64_t end, const ClickTrackExport::Progress& progress)
{
    clock.SetEnd(end);
    // With nobody to tell, the end is watched for closely: a click track of a few minutes
    // is rendered in a tenth of a second.
    const auto interval = progress ? ProgressInterval : std::chrono::milliseconds(1);
    while (metronome.IsRunning()) {
        std::this_thread::sleep_for(interval);
        if (progress && !progress(static_cast<double>(clock.FramesRendered()) / static_cast<double>(end)))
            clock.Cancel();
    }
    // The timer's worker renders no more: what the engine's devices hand to the mixer
    // as they close is taken by this thread.
    timer.Stop();
    timer.Join();
    output.SetRenderer(std::thread::id());
    metronome.Stop();
    // A run that ended by itself lets its last click ring.
    if (clock.FramesRendered() < end && clock.LastTickFrame() >= 0)
        clock.RenderRest(clock.LastTickFrame() + std::llround(ClickTrackExport::RingSeconds * ClickTrackExport::Rate));
    if (progress)
        progress(1.0);
}

}  // namespace

ClickTrackExport::Result ClickTrackExport::Run(const Configuration::ConfigurationData& original,
                                               const std::string& path, const Length& length, const Progress& progress,
                                               const CountIn& countIn, const Configuration::Song* song)
{
    Result result;
    if (!Acceptable(length)) {
        result.error =
            "the length must be above zero and at most " + std::to_string(static_cast<int>(MaxMinutes)) + " minutes";
        return result;
    }
    Configuration::ConfigurationData settings(original);
    const auto started = std::chrono::steady_clock::now();

    Platform::SoundFileWriter writer;
    if (!writer.Open(path, static_cast<int>(Rate), Platform::Mixer::Channels)) {
        result.error = writer.Error();
        return result;
    }
    std::int64_t written = 0;
    {
        // Declared in the order they depend on each other: the metronome goes first, its
        // timer's worker with it, and the engine it plays through after.
        Platform::OfflineOutput output(Rate);
        MidiSoundEngine midi(output);
        AudioSoundEngine audioFiles(output);
        ISoundEngine& engine = SoundEngineOf(settings) == SoundEngines::AudioFile
            ? static_cast<ISoundEngine&>(audioFiles)
            : static_cast<ISoundEngine&>(midi);
        FrameCountClock clock(output, engine, [&writer](const float* samples, int frames) {
            return samples ? writer.Write(samples, frames) : writer.WriteSilence(frames);
        });
        Timer timer(&clock);
        clock.SetTimer(&timer);
        Metronome metronome(timer);
        metronome.UseStandIns({&engine, nullptr});
        ExportEvents events;

        // Until the timer's worker renders, this thread stands for it: a wave device closing
        // after a failed start has its commands taken here, and none is taken by two threads.
        output.SetRenderer(std::this_thread::get_id());
        metronome.SetCountIn(countIn);
        metronome.SetSong(song);
        const std::int32_t code = metronome.Start(events, settings);
        // The count-in plays on the run's own ticks from frame 0; the run follows on its grid.
        const std::int64_t runStart = std::llround(metronome.CountInLength().count() * Rate / 1000.0);
        if (code != Metronome::Playing) {
            clock.Cancel();
            result.startCode = code;
            result.error = "the metronome could not start (code " + std::to_string(code) + ")";
        } else {
            const std::int64_t end = runStart + RunFrames(settings, length, song, metronome.BarBeats());
            PlayToEnd(metronome, timer, output, clock, end, progress);
        }
        result.cancelled = clock.Cancelled() && result.startCode == 0;
        if (clock.SinkFailed())
            result.error = writer.Error();
        else if (const std::int32_t message = events.error.load(std::memory_order_acquire); message != 0)
            result.error = "a click could not be played (message " + std::to_string(message) + ")";
        written = clock.FramesRendered();
    }
    Finish(result, writer, written, started, path);
    return result;
}

}  // namespace Core
