#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/ISoundEngine.h"
#include "Core/Metronome.h"
#include "Core/SoundEngines.h"
#include "Platform/AudioOutput.h"
#include "Platform/Text.h"
#include "Support/SoundCapture.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"

namespace {

constexpr double FileRate = 44100;

// A click with a sharp onset and a long decaying tail: 250 ms, longer than a beat at 400 bpm,
// so that there each click still sounds when the next begins.
std::vector<std::int16_t> LongClick()
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(FileRate * 0.25));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / FileRate;
        samples[i] = static_cast<std::int16_t>(20000 * std::exp(-t / 0.04) * std::sin(2 * M_PI * 1700 * t + 0.9));
    }
    return samples;
}

// The click as the output plays it: its samples as floats, converted to the output's rate the
// way a wave device does (linear interpolation), so that the recording can be matched against it.
std::vector<float> AsPlayed(const std::vector<std::int16_t>& samples, double fileRate, double outputRate)
{
    std::vector<float> played;
    const double step = fileRate / outputRate;
    for (double at = 0; at + 1 < static_cast<double>(samples.size()); at += step) {
        const auto i = static_cast<std::size_t>(at);
        const double f = at - static_cast<double>(i);
        played.push_back(static_cast<float>((samples[i] + f * (samples[i + 1] - samples[i])) / 32768.0));
    }
    return played;
}

// The metronome reports a failed click here, from its timer thread.
class Handler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t, bool) override {}
    void OnTimerEvent(std::int32_t, std::int32_t, Core::Moment) override {}
    void OnStopped(std::int32_t) override {}
    void OnError(std::int32_t messageId) override { error.store(messageId); }
    std::atomic<std::int32_t> error{0};
};

class AudioFilesEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Tests::SoundServerAvailable())
            GTEST_SKIP() << "no sound server can be reached";
        settings.SoundEngineType = Core::SoundEngines::AudioFile;
        engine = Core::SoundEngines::Get(settings.SoundEngineType);
        ASSERT_NE(engine, nullptr);
        // The output runs for the whole test, not only while the engine's players are open.
        ASSERT_EQ(Platform::AudioOutput::Instance().Acquire(), 0u);
        acquired = true;
    }
    void TearDown() override
    {
        if (acquired)
            Platform::AudioOutput::Instance().Release();
    }
    void UseFile(const std::string& name, const Tests::WavFileBuilder& builder)
    {
        const std::string path = Tests::MakeTempFolder("e2e-audio") + name;
        ASSERT_TRUE(builder.Save(path));
        Platform::Text::Utf8ToUtf16(path, settings.File[0]);
        settings.Instrument[0] = 0;  // voice 1 plays audio file 1
        settings.Volume[0] = 127;
        settings.GlobalVolume = 100;
        settings.Subdivision1 = 0;
        settings.VisualIndicator = 0;
    }
    // Starts the metronome with the settings (a simple beat on file 0 through the audio-file
    // engine) at `bpm` for `count` beats, recording what the server plays, and finds the clicks.
    // A recording in which the output missed a buffer or the server dropped out (the clicks are
    // then off the frame grid) tells nothing about placement: it is made again.
    std::vector<long> RecordRun(int bpm, int count, const std::vector<float>& click)
    {
        Platform::AudioOutput& output = Platform::AudioOutput::Instance();
        settings.Bpm = static_cast<std::uint32_t>(bpm);
        std::vector<long> onsets;
        for (int attempt = 0; attempt < Tests::Recordings; ++attempt) {
            Tests::MonitorRecorder recorder(static_cast<int>(output.SampleRate()));
            EXPECT_TRUE(recorder.Recording());
            recorder.WaitUntilRecording();
            const std::int64_t underflows = output.Underflows();
            const std::int64_t late = output.GetMixer().LateEvents();
            Handler handler;
            Core::Metronome& metronome = Core::Metronome::Instance();
            EXPECT_EQ(metronome.Start(handler, settings), 0) << "result " << engine->GetLastResult();
            // The first beat is rendered the output's lead after the start; stop half a beat
            // after the last one is (a stop cuts at once what is not rendered yet).
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>((count - 0.5) * 60e6 / bpm)) +
                                        std::chrono::nanoseconds(output.LeadTime()));
            metronome.Stop();
            // Writes that reached the output after their time (the stop's resets are counted too).
            lateWrites = output.GetMixer().LateEvents() - late;
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            EXPECT_EQ(handler.error.load(), 0);
            onsets = Tests::FindClicks(recorder.Stop(), click);
            std::string detail;
            // A click lost to a server that fell behind spoils the recording as an underflow does.
            if (output.Underflows() == underflows && onsets.size() >= static_cast<std::size_t>(count) &&
                Tests::OnTheFrameGrid(onsets, 60.0 / bpm * output.SampleRate(), detail))
                break;
            std::printf("an underflow (%lld), a lost click or clicks off the frame grid at %d bpm (%zu clicks, %lld "
                        "late writes): "
                        "recorded again; %s\n",
                        static_cast<long long>(output.Underflows() - underflows), bpm, onsets.size(),
                        static_cast<long long>(lateWrites), detail.c_str());
        }
        return onsets;
    }
    // Every click lies on its exact frame: `count` clicks (more if the test thread was slow to
    // stop), each spacing within a frame of the period.
    void ExpectOnTheGrid(const std::vector<long>& onsets, double period, int count)
    {
        ASSERT_GE(onsets.size(), static_cast<std::size_t>(count))
            << "late writes " << lateWrites << ", dropped "
            << Platform::AudioOutput::Instance().GetMixer().DroppedEvents();
        std::string detail;
        EXPECT_TRUE(Tests::OnTheFrameGrid(onsets, period, detail)) << detail << "; late writes " << lateWrites;
    }

    Configuration::ConfigurationData settings;
    Core::ISoundEngine* engine = nullptr;
    bool acquired = false;
    std::int64_t lateWrites = 0;
};

// A metronome started on the audio-file engine plays a WAV click that reaches the sound server on
// the tempo's grid, also at 400 bpm, where every click overlaps the previous one's tail.
TEST_F(AudioFilesEndToEnd, ClicksFromAFileFallOnTheTemposGrid)
{
    const std::vector<std::int16_t> click = LongClick();
    UseFile("click.wav", Tests::WavFileBuilder({}).Samples16(click));
    const double rate = Platform::AudioOutput::Instance().SampleRate();
    constexpr int Count = 20;
    const std::vector<float> played = AsPlayed(click, FileRate, rate);
    ExpectOnTheGrid(RecordRun(120, Count, played), 0.5 * rate, Count);
    ExpectOnTheGrid(RecordRun(400, Count, played), 0.15 * rate, Count);
}

// An 8-bit file at half the output's rate plays at its own pitch, for its own length, at its
// own loudness: its bytes are unsigned samples at 22,050 per second.
TEST_F(AudioFilesEndToEnd, EightBitFileAtHalfRatePlaysAtItsPitchAndLength)
{
    constexpr double Rate = 22050, Tone = 441, Seconds = 0.5;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(Rate * Seconds));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(
            128 + std::lround(100 * std::sin(2 * M_PI * Tone * static_cast<double>(i) / Rate)));
    Tests::WavFileBuilder::Format format;
    format.samplesPerSec = static_cast<std::uint32_t>(Rate);
    format.bitsPerSample = 8;
    UseFile("low.wav", Tests::WavFileBuilder(format).Data(bytes));
    const double rate = Platform::AudioOutput::Instance().SampleRate();
    Tests::MonitorRecorder recorder(static_cast<int>(rate));
    ASSERT_TRUE(recorder.Recording());
    std::this_thread::sleep_for(std::chrono::seconds(2));

    ASSERT_TRUE(engine->Initialise(settings)) << "result " << engine->GetLastResult();
    ASSERT_TRUE(engine->PlaySound(127, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    engine->Close();
    const std::vector<float> recording = recorder.Stop();

    long first = -1, last = -1;
    float peak = 0;
    for (long i = 0; i < static_cast<long>(recording.size()); ++i) {
        const float level = std::fabs(recording[i]);
        peak = std::max(peak, level);
        if (level > 0.1f) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    ASSERT_GE(first, 0) << "nothing was heard";
    EXPECT_NEAR(peak, 100 / 128.0, 0.02);
    // From the first to the last loud sample: the whole half second, less a part of a period.
    EXPECT_NEAR(static_cast<double>(last - first), Seconds * rate, rate / Tone);
    // The pitch, from the rising zero crossings between those two points: over the longest
    // stretch of them a period apart, so that frames a busy machine lost from the output or the
    // recording (a gap the length check above allows) do not count as a lower pitch.
    std::vector<double> crossings;
    for (long i = first; i < last; ++i)
        if (recording[i] < 0 && recording[i + 1] >= 0)
            crossings.push_back(i + recording[i] / (recording[i] - recording[i + 1]));
    std::size_t from = 0, to = 0;
    for (std::size_t begin = 0, end = 1; end <= crossings.size(); ++end)
        if (end == crossings.size() ||
            std::fabs(crossings[end] - crossings[end - 1] - rate / Tone) > 0.1 * rate / Tone) {
            if (end - begin > to - from) {
                from = begin;
                to = end;
            }
            begin = end;
        }
    ASSERT_GT(to - from, 100u) << "of " << crossings.size() << " crossings";
    if (to - from < crossings.size())
        std::printf("the tone had a gap: %zu of %zu crossings a period apart\n", to - from, crossings.size());
    const double period = (crossings[to - 1] - crossings[from]) / static_cast<double>(to - from - 1);
    EXPECT_NEAR(rate / period, Tone, 0.5);
}

}  // namespace
