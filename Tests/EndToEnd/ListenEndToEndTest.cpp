#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/IBeatFlash.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/Metronome.h"
#include "Core/OnsetDetector.h"
#include "Core/TimingCoach.h"
#include "Core/TimingCoachInput.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/PulseInput.h"
#include "Support/InstrumentClicks.h"
#include "Support/QuietHandler.h"
#include "Support/SoundCapture.h"

extern char** environ;

namespace {

constexpr double Rate = 48000;

// Hits played through the server and heard again on its monitor, captured by the input on its
// own thread and found by the onset detector on the analysis thread: every hit once, each
// distance from the first as played to within a tenth of a millisecond (the planted offsets
// against a 500 ms grid), each block stamped with the time it was captured.
TEST(ListenEndToEnd, HitsPlayedIntoTheServerAreFoundAtTheirPlantedOffsets)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "needs a sound server (run under scripts/with-sound-server)";
    const std::vector<Platform::PulseInput::Source> sources = Platform::PulseInput::Sources();
    ASSERT_FALSE(sources.empty());
    const std::string defaultSource = Tests::FirstLineOf("pactl get-default-source 2>/dev/null");
    if (!defaultSource.empty()) {
        EXPECT_EQ(sources.front().name, defaultSource) << "the default source comes first";
    }
    const std::string monitor = Tests::FirstLineOf("pactl get-default-sink 2>/dev/null") + ".monitor";

    const double planted[] = {0, -25, -12, -3, 0, 7, 18};
    std::vector<float> take(static_cast<std::size_t>(5 * Rate), 0.0f);
    std::vector<double> playedAt;
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0, 0.2f);
    for (int k = 0; k < 7; ++k) {
        const double at = 0.6 * Rate + k * 0.5 * Rate + planted[k] * Rate / 1000;
        playedAt.push_back(std::round(at));
        for (int i = 0; i < 1200; ++i)
            take[static_cast<std::size_t>(std::round(at)) + i] += noise(random) * std::exp(-i / 200.0f);
    }
    const std::string file = testing::TempDir() + "listen-take.raw";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(take.data()), static_cast<std::streamsize>(take.size() * sizeof(float)));

    Platform::PulseInput input;
    ASSERT_TRUE(input.Start(monitor, Rate));
    std::atomic<bool> running{true};
    std::vector<std::int64_t> onsets;
    std::vector<std::int64_t> stamps;
    float loudest = 0;
    std::thread analysis([&] {
        Core::OnsetDetector detector;
        Platform::PulseInput::Block block;
        std::int64_t lastStamp = 0;
        auto sink = [](const Core::OnsetDetector::Onset& onset, void* found) {
            static_cast<std::vector<std::int64_t>*>(found)->push_back(onset.frame);
        };
        while (running.load()) {
            while (input.Pop(block)) {
                detector.Process(block.samples, static_cast<std::size_t>(block.frames), sink, &onsets);
                if (block.capturedAtNs < lastStamp)
                    stamps.push_back(block.capturedAtNs);  // stamps that run backwards
                lastStamp = block.capturedAtNs;
            }
            loudest = std::max(loudest, input.Level());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const std::string play = "pacat --raw --format=float32le --rate=48000 --channels=1 --latency-msec=20 " + file;
    const int played = std::system(play.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    running.store(false);
    analysis.join();
    EXPECT_EQ(input.Dropped(), 0);
    input.Stop();
    std::remove(file.c_str());
    ASSERT_EQ(played, 0) << play;

    EXPECT_GT(loudest, 0.1f) << "the level meter heard the hits";
    EXPECT_TRUE(stamps.empty()) << "capture times ran backwards";
    ASSERT_EQ(onsets.size(), 7u) << "every hit once, nothing else";
    double worst = 0;
    for (std::size_t k = 1; k < onsets.size(); ++k) {
        const double distanceMs = static_cast<double>(onsets[k] - onsets[0]) * 1000 / Rate;
        const double playedMs = (playedAt[k] - playedAt[0]) * 1000 / Rate;
        EXPECT_NEAR(distanceMs, playedMs, 0.1) << "hit " << k << " planted at " << planted[k] << " ms";
        worst = std::max(worst, std::fabs(distanceMs - playedMs));
    }
    std::printf("planted offsets recovered through the server within %.3f ms\n", worst);
}

// ---- A take played against the metronome through the sound server ----
//
// How the test player knows Ticova's grid: only from what it hears, as a musician would.
// Ticova plays on the default sink (A); the coach listens to the monitor of a sink of its own
// (B). The player records A's monitor (where the clicks are) and B's monitor (what the coach
// hears), and finds the onsets in both with the detector the coach uses. For the calibration a
// loopback carries A into B, as the air carries a loudspeaker to a microphone: each click is then
// in both recordings, and their distance is the player's "sound path" from A's recording to B's.
// The loopback stops; the player plays into B on a stream of its own and times that stream from a
// probe hit it finds in B's recording. It then plants each hit where a sound made at the click's
// time plus the offset would reach B along that path, and checks afterwards in B's recording where
// each one really landed. Ticova's side sees none of this: it knows when its beats are heard (the
// metronome's beat pulses) and when the input captured each hit, and subtracts the round trip its
// calibration measured.
//
// Air and a player keep real time; the server's null sinks do not: each runs off its nominal
// rate by hundreds of parts per million, by an amount of its own. So B has no clock of its own:
// it is a sink played into A with its stream there muted, paced by A's clock and heard on A's
// monitor not at all. The loopback is the player's stream carrying A's recording into B. Both
// then keep their delays in real time as in samples, and what the player plans in samples lands
// at its real time. The coach still hears an input that runs off its nominal rate (A's), timed
// by arrival alone.

constexpr int ClickNote = 75;  // "Claves": a sharp click
constexpr int TakeBpm = 120;
constexpr const char* CoachSink = "ticova_coach_in";

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A module of the sound server, loaded for the test and unloaded when it goes.
class ServerModule {
public:
    explicit ServerModule(const std::string& arguments)
        : _index(Tests::FirstLineOf(("pactl load-module " + arguments + " 2>/dev/null").c_str()))
    {
    }
    ~ServerModule() { Unload(); }
    ServerModule(const ServerModule&) = delete;
    ServerModule& operator=(const ServerModule&) = delete;
    bool Loaded() const { return !_index.empty(); }
    const std::string& Index() const { return _index; }
    void Unload()
    {
        if (!_index.empty() && std::system(("pactl unload-module " + _index + " >/dev/null 2>&1").c_str()) != 0)
            std::printf("module %s did not unload\n", _index.c_str());
        _index.clear();
    }

private:
    std::string _index;
};

// Where hits begin in a recording, in seconds from its start, by the coach's own detector.
std::vector<double> OnsetsIn(std::vector<float> recording)
{
    recording.resize(recording.size() + static_cast<std::size_t>(Rate / 10), 0.0f);  // the look-ahead
    Core::OnsetDetector detector;
    std::vector<double> seconds;
    detector.Process(
        recording.data(), recording.size(),
        [](const Core::OnsetDetector::Onset& onset, void* found) {
            static_cast<std::vector<double>*>(found)->push_back(static_cast<double>(onset.frame) / Rate);
        },
        &seconds);
    return seconds;
}

// The clicks among onsets: the first of each beat (the click's own ring can start a second).
std::vector<double> ClicksIn(const std::vector<double>& onsets, double period)
{
    std::vector<double> clicks;
    for (double onset : onsets)
        if (clicks.empty() || onset - clicks.back() > 0.6 * period)
            clicks.push_back(onset);
    return clicks;
}

// The nearest of `times` to `t`, or a far value when there is none.
double Nearest(const std::vector<double>& times, double t)
{
    double best = 1e9;
    for (double time : times)
        if (std::fabs(time - t) < std::fabs(best - t))
            best = time;
    return best;
}

// The test player: a stream into the coach's sink (pacat reading a pipe), fed in real time from
// a track that hits (and the loopback's sound) are written into ahead of time. The pipe blocks,
// so the frames written run a constant time ahead of what the sink plays.
class Player {
public:
    explicit Player(double seconds) : _track(static_cast<std::size_t>(seconds * Rate), 0.0f)
    {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
        posix_spawn_file_actions_addclose(&actions, ends[1]);
        const std::string device = std::string("--device=") + CoachSink;
        const char* argv[] = {"pacat",        "--playback",   device.c_str(),       "--raw", "--format=float32le",
                              "--rate=48000", "--channels=1", "--latency-msec=100", nullptr};
        if (posix_spawnp(&_pid, "pacat", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            _pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[0]);
        _fd = ends[1];
        fcntl(_fd, F_SETPIPE_SZ, 4096);  // what runs ahead of the stream: as little as can be
        if (_pid <= 0)
            return;
        _writer = std::thread([this] {
            constexpr std::size_t Chunk = 256;
            float chunk[Chunk];
            while (!_stop.load() && _written.load() + Chunk <= _track.size()) {
                {
                    std::lock_guard guard(_lock);
                    std::copy_n(_track.begin() + _written.load(), Chunk, chunk);
                }
                if (write(_fd, chunk, sizeof chunk) != static_cast<ssize_t>(sizeof chunk))
                    break;
                _written += Chunk;
            }
        });
    }
    ~Player()
    {
        _stop.store(true);
        if (_writer.joinable())
            _writer.join();
        if (_fd >= 0)
            close(_fd);  // pacat plays what it has and ends
        if (_pid > 0)
            waitpid(_pid, nullptr, 0);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool Playing() const { return _pid > 0; }
    // Frames of the track handed to the stream so far.
    std::int64_t Written() const { return static_cast<std::int64_t>(_written.load()); }
    // A hit (a short burst of noise) from frame `at` of the track; false when it is too late.
    bool Hit(std::int64_t at)
    {
        std::lock_guard guard(_lock);
        if (at < Written() + 512 || at + 1200 > static_cast<std::int64_t>(_track.size()))
            return false;
        std::mt19937 random(static_cast<unsigned>(at));
        std::normal_distribution<float> noise(0, 0.2f);
        for (int i = 0; i < 1200; ++i)
            _track[static_cast<std::size_t>(at + i)] += noise(random) * std::exp(-i / 200.0f);
        return true;
    }

    // The loopback's part: `frames` samples into the track from frame `at`; false when too late.
    bool Carry(const float* samples, int frames, std::int64_t at)
    {
        std::lock_guard guard(_lock);
        if (at < Written() + 512 || at + frames > static_cast<std::int64_t>(_track.size()))
            return false;
        for (int i = 0; i < frames; ++i)
            _track[static_cast<std::size_t>(at + i)] += samples[i];
        return true;
    }

private:
    std::vector<float> _track;
    std::mutex _lock;
    std::atomic<std::size_t> _written{0};
    std::atomic<bool> _stop{false};
    std::thread _writer;
    pid_t _pid = -1;
    int _fd = -1;
};

// Ticova's side of the take: the beats as the metronome tells the flash when each is heard, and
// the hits the coach's input captures, both on one clock.
class Coach final : public Core::IBeatFlash {
public:
    bool Listen(const std::string& source)
    {
        if (!_input.Open(source, Rate))
            return false;
        _analysis = std::thread([this] {
            while (_running.load()) {
                _input.Poll(
                    [](std::int64_t capturedNs, void* self) {
                        auto& coach = *static_cast<Coach*>(self);
                        std::lock_guard guard(coach._lock);
                        coach._hits.push_back(capturedNs);
                    },
                    this);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        return true;
    }
    ~Coach() override
    {
        _running.store(false);
        if (_analysis.joinable())
            _analysis.join();
        _input.Close();
    }
    void Pulse(const Core::BeatPulse& pulse) noexcept override
    {
        if (pulse.beat < 0)
            return;
        const Core::Moment heard = pulse.heardAt == Core::Moment{} ? Core::HeardClock::now() : pulse.heardAt;
        std::lock_guard guard(_lock);
        if (pulse.beat == 0)
            ++_bar;
        _beats.push_back({heard.time_since_epoch().count(), pulse.beat, std::max(0, _bar), false});
    }
    std::size_t HitCount()
    {
        std::lock_guard guard(_lock);
        return _hits.size();
    }
    // The beats heard from `from` to `to`, and the hits captured then (moved back by `roundTrip`)
    // that lie near them.
    std::vector<Core::TimingCoach::Beat> Beats(std::int64_t from, std::int64_t to)
    {
        std::lock_guard guard(_lock);
        std::vector<Core::TimingCoach::Beat> beats;
        for (const auto& beat : _beats)
            if (beat.heardNs >= from && beat.heardNs <= to)
                beats.push_back(beat);
        return beats;
    }
    std::vector<std::int64_t> Hits(std::int64_t from, std::int64_t to, std::int64_t roundTrip)
    {
        std::lock_guard guard(_lock);
        std::vector<std::int64_t> hits;
        for (std::int64_t hit : _hits)
            if (hit - roundTrip >= from && hit - roundTrip <= to)
                hits.push_back(hit - roundTrip);
        return hits;
    }
    std::int64_t Dropped() const { return _input.Dropped(); }
    bool Settled() const { return _input.Settled(); }

private:
    Core::TimingCoachInput _input;
    std::atomic<bool> _running{true};
    std::thread _analysis;
    std::mutex _lock;
    std::vector<Core::TimingCoach::Beat> _beats;
    std::vector<std::int64_t> _hits;
    int _bar = -1;
};

// The player's view of the run, in seconds of B's recording.
struct Ear {
    double path = 0;                   // a sound at A's recording time t reaches B's recording at t + path
    double stream = 0;                 // frame w of the player's track reaches B's recording at w / Rate + stream
    double lastClick = 0, period = 0;  // A's clicks: the last one heard, and their spacing
};

struct TakeResult {
    bool clean = false;  // nothing the server or machine spoiled
    std::string detail;  // what spoiled it
    std::vector<double> planted;
    std::vector<double> landed;  // where the player heard each planted hit land, against the click
    Core::TimingCoach::Result coach;
};

// Plays a take: a lead-in hit, then one hit per beat at `planted` offsets (ms). The user starts
// the take once the lead-in was heard and stops it once the last hit was.
TakeResult PlayTake(Coach& coach, Player& player, Tests::MonitorRecorder& a, Tests::MonitorRecorder& b, const Ear& ear,
                    const std::vector<double>& planted, std::int64_t roundTrip)
{
    TakeResult take;
    take.planted = planted;
    std::vector<double> aims;  // in B's recording: the click's time along the path, and the offset
    std::vector<double> clicks;
    const double now = static_cast<double>(player.Written()) / Rate + ear.stream;
    int k = static_cast<int>(std::ceil((now + 0.3 - ear.lastClick - ear.path) / ear.period));
    const std::size_t heard = coach.HitCount();
    for (std::size_t i = 0; i <= planted.size(); ++i, ++k) {
        const double click = ear.lastClick + k * ear.period;
        const double aim = click + ear.path + (i == 0 ? 0 : planted[i - 1] / 1000);
        if (!player.Hit(std::llround((aim - ear.stream) * Rate))) {
            take.detail = "a hit was planned too late";
            return take;
        }
        if (i > 0) {
            aims.push_back(aim);
            clicks.push_back(click);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() +
        std::chrono::milliseconds(static_cast<int>((planted.size() + 4) * ear.period * 1000) + 2000);
    while (coach.HitCount() < heard + 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::int64_t start = Platform::Clock::Now();
    while (coach.HitCount() < heard + 1 + planted.size() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::int64_t stop = Platform::Clock::Now();

    const std::vector<Core::TimingCoach::Beat> beats = coach.Beats(start, stop);
    Core::TimingCoach::Options options;
    options.beatsPerBar = 4;
    const std::int64_t window = 250'000'000;
    take.coach = Core::TimingCoach::Score(
        beats,
        beats.empty() ? std::vector<std::int64_t>{}
                      : coach.Hits(beats.front().heardNs - window, beats.back().heardNs + window, roundTrip),
        options);

    // Where the hits really landed, from the recordings (which come in blocks of 200 ms).
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const std::vector<double> inB = OnsetsIn(b.Snapshot());
    const std::vector<double> inA = ClicksIn(OnsetsIn(a.Snapshot()), ear.period);
    take.clean = true;
    for (std::size_t i = 0; i < aims.size(); ++i) {
        const double landed = Nearest(inB, aims[i]);
        const double click = Nearest(inA, clicks[i]);
        take.landed.push_back((landed - ear.path - click) * 1000);
        if (std::fabs(landed - aims[i]) > 0.0005 || std::fabs(click - clicks[i]) > 0.0005) {
            take.clean = false;
            take.detail = "hit " + std::to_string(i) + " landed " + std::to_string((landed - aims[i]) * 1000) +
                " ms from its aim, its click " + std::to_string((click - clicks[i]) * 1000) + " ms from the grid";
        }
    }
    return take;
}

// The distance from A's recording to B's: the shift that lays most of A's clicks on B's; and how
// far those clicks' distances spread (the loopback copies frames: none, unless a stream broke).
bool SoundPath(const std::vector<double>& inA, const std::vector<double>& inB, double& path, double& spread)
{
    int most = 0;
    for (double b : inB) {
        for (double a : inA) {
            const double shift = b - a;
            if (std::fabs(shift) > 0.25)
                continue;
            std::vector<double> distances;
            for (double other : inA) {
                const double match = Nearest(inB, other + shift);
                if (std::fabs(match - other - shift) < 0.001)
                    distances.push_back(match - other);
            }
            if (static_cast<int>(distances.size()) > most) {
                most = static_cast<int>(distances.size());
                path = Median(distances);
                const auto [low, high] = std::minmax_element(distances.begin(), distances.end());
                spread = *high - *low;
            }
        }
    }
    return most >= 4;
}

struct CoachRun {
    bool clean = false;
    std::string detail;
    bool calibrated = false;
    std::int64_t roundTrip = 0;
    TakeResult offsets, drift;
};

// One run: the metronome plays; the calibration with the loopback; the player learns its
// stream; the two takes.
CoachRun PlayRun(const std::vector<double>& plantedOffsets, const std::vector<double>& plantedDrift)
{
    CoachRun run;
    const std::string monitorA = Tests::FirstLineOf("pactl get-default-sink 2>/dev/null") + ".monitor";
    const std::string monitorB = std::string(CoachSink) + ".monitor";
    Tests::MonitorRecorder a(static_cast<int>(Rate), monitorA), b(static_cast<int>(Rate), monitorB);
    Player player(70);
    Coach coach;
    if (!a.Recording() || !b.Recording() || !player.Playing() || !coach.Listen(monitorB) || !a.WaitUntilRecording() ||
        !b.WaitUntilRecording()) {
        run.detail = "the recorders, the player or the coach's input did not start";
        return run;
    }
    // The loopback: A's monitor, frame for frame, into the player's track a little ahead of what
    // it has handed over.
    Platform::PulseInput air;
    if (!air.Start(monitorA, Rate)) {
        run.detail = "the loopback did not start";
        return run;
    }
    std::atomic<bool> carrying{true};
    std::atomic<bool> carriedAll{true};
    std::thread loopback([&] {
        Platform::PulseInput::Block block;
        std::int64_t shift = -1;
        while (carrying.load()) {
            while (air.Pop(block)) {
                if (shift < 0)
                    shift = player.Written() + static_cast<std::int64_t>(0.06 * Rate) - block.firstFrame;
                if (!player.Carry(block.samples, block.frames, block.firstFrame + shift))
                    carriedAll.store(false);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    struct Stop {
        std::atomic<bool>& carrying;
        std::thread& loopback;
        ~Stop() { Unload(); }
        void Unload()
        {
            carrying.store(false);
            if (loopback.joinable())
                loopback.join();
        }
    } stopLoopback{carrying, loopback};
    // The calibration waits for the input's timing to settle, as the window's does.
    for (int i = 0; i < 1500 && !coach.Settled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    Configuration::ConfigurationData settings = Tests::OneNoteRun(ClickNote, TakeBpm);
    Core::Metronome& metronome = Core::Metronome::Instance();
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    metronome.SetBeatFlash(&coach);
    Tests::QuietHandler quiet;
    const std::int64_t underflows = output.Underflows();
    // A run given up once the metronome plays: it stops, and says why.
    auto givenUp = [&](std::string why) {
        metronome.Stop();
        metronome.SetBeatFlash(nullptr);
        run.detail = std::move(why);
        return run;
    };
    if (metronome.Start(quiet, settings) != 0) {
        metronome.SetBeatFlash(nullptr);
        run.detail = "the metronome did not start";
        return run;
    }
    // The calibration: clicks with the player silent, once the run has played some seconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    const std::int64_t calibrationFrom = Platform::Clock::Now();
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    const std::int64_t calibrationTo = Platform::Clock::Now() - 400'000'000;
    std::vector<std::int64_t> clicks;
    for (const auto& beat : coach.Beats(calibrationFrom, calibrationTo))
        clicks.push_back(beat.heardNs);
    const std::vector<std::int64_t> heard = coach.Hits(calibrationFrom, calibrationTo + 400'000'000, 0);
    run.calibrated = Core::CoachCalibration::Measure(clicks, heard, run.roundTrip);
    if (!run.calibrated) {
        std::printf("the calibration refused: %zu clicks, delays", clicks.size());
        for (std::int64_t click : clicks)
            for (std::int64_t hit : heard)
                if (hit >= click && hit < click + 300'000'000) {
                    std::printf(" %.3f", static_cast<double>(hit - click) / 1e6);
                    break;
                }
        std::printf(" ms\n");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stopLoopback.Unload();
    air.Stop();
    if (!carriedAll.load()) {
        return givenUp("the loopback fell behind");
    }

    // The player: the path from A to B, then its own stream from a probe hit.
    Ear ear;
    const std::vector<double> clicksA = OnsetsIn(a.Snapshot()), clicksB = OnsetsIn(b.Snapshot());
    double pathSpread = 0;
    const bool heardPath = SoundPath(clicksA, clicksB, ear.path, pathSpread);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const std::int64_t probe = player.Written() + static_cast<std::int64_t>(0.2 * Rate);
    player.Hit(probe);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const std::vector<double> probeB = OnsetsIn(b.Snapshot());
    const std::vector<double> gridA = ClicksIn(OnsetsIn(a.Snapshot()), 60.0 / TakeBpm);
    if (!heardPath || probeB.empty() || clicksB.empty() || probeB.back() < clicksB.back() + 0.3 || gridA.size() < 6) {
        return givenUp("the player did not hear the clicks, their path or its probe");
    }
    if (pathSpread > 0.0001) {
        return givenUp("the loopback's delay moved by " + std::to_string(pathSpread * 1000) + " ms");
    }
    ear.stream = probeB.back() - static_cast<double>(probe) / Rate;
    ear.lastClick = gridA.back();
    ear.period = (gridA.back() - gridA.front()) / static_cast<double>(gridA.size() - 1);

    run.offsets = PlayTake(coach, player, a, b, ear, plantedOffsets, run.roundTrip);
    run.drift = PlayTake(coach, player, a, b, ear, plantedDrift, run.roundTrip);
    metronome.Stop();
    metronome.SetBeatFlash(nullptr);
    // An underflow alone does not spoil the run: a click it moved shows in the takes, whose
    // every click is checked against the grid the player heard.
    run.clean = run.offsets.clean && run.drift.clean && coach.Dropped() == 0;
    run.detail = !run.offsets.clean ? run.offsets.detail
        : !run.drift.clean          ? run.drift.detail
        : coach.Dropped() != 0      ? "the coach's input dropped frames"
                                    : "";
    if (output.Underflows() != underflows)
        std::printf("the output ran dry %lld times during the run\n",
                    static_cast<long long>(output.Underflows() - underflows));
    return run;
}

// Ticova plays; calibration with the click reaching the input; a take with hits planted at
// offsets from the click, then one drifting by 10 ms over 30 s: the coach recovers each planted
// offset and the drift within a millisecond, with no miss and no false hit. A run the server or
// machine spoiled (a click moved, frames lost, a hit that did not land where the player aimed) is
// played again.
TEST(ListenEndToEnd, TakesAgainstTheMetronomeAreScoredAtThePlantedOffsetsAfterCalibration)
{
    if (!Tests::SoundServerAvailable())
        GTEST_SKIP() << "needs a sound server (run under scripts/with-sound-server)";
    const std::string output = Tests::FirstLineOf("pactl get-default-sink 2>/dev/null");
    ServerModule sink(std::string("module-remap-sink sink_name=") + CoachSink + " master=" + output +
                      " channels=1 channel_map=mono");
    if (output.empty() || !sink.Loaded())
        GTEST_SKIP() << "the sound server cannot load a sink into its default one";
    ASSERT_EQ(Tests::FirstLineOf("pactl get-default-sink 2>/dev/null"), output) << "the clicks stay on A";
    const std::string intoA = Tests::FirstLineOf(("pactl list sink-inputs | awk '/^Sink Input #/ {i = substr($3, 2)} "
                                                  "/Owner Module: " +
                                                  sink.Index() + "$/ {print i}'")
                                                     .c_str());
    ASSERT_FALSE(intoA.empty());
    ASSERT_EQ(std::system(("pactl set-sink-input-mute " + intoA + " 1").c_str()), 0) << "B is not heard on A";

    const std::vector<double> offsets = {-25, -12, -3, 0, 7, 18};
    std::vector<double> drifting;
    const double period = 60.0 / TakeBpm;
    for (int k = 0; k * period <= 30; ++k)
        drifting.push_back(-5 + 10 * k * period / 30);
    CoachRun run;
    for (int attempt = 0; attempt < Tests::Recordings && !run.clean; ++attempt) {
        run = PlayRun(offsets, drifting);
        if (!run.clean)
            std::printf("the run was spoiled, played again: %s; %s; %s\n", run.detail.c_str(),
                        run.offsets.detail.c_str(), run.drift.detail.c_str());
    }
    ASSERT_TRUE(run.clean) << run.detail;
    ASSERT_TRUE(run.calibrated) << "the calibration found the clicks";
    std::printf("round trip %.3f ms\n", static_cast<double>(run.roundTrip) / 1e6);
    for (const TakeResult* take : {&run.offsets, &run.drift}) {
        const Core::TimingCoach::Result& result = take->coach;
        EXPECT_EQ(result.misses, 0);
        EXPECT_EQ(result.extras, 0);
        ASSERT_EQ(result.hits.size(), take->planted.size());
        double worst = 0;
        for (std::size_t i = 0; i < result.hits.size(); ++i) {
            EXPECT_NEAR(result.hits[i].offsetMs, take->planted[i], 1.0) << "hit " << i;
            EXPECT_NEAR(result.hits[i].offsetMs, take->landed[i], 1.0) << "hit " << i << " as the player heard it";
            worst = std::max(worst, std::fabs(result.hits[i].offsetMs - take->planted[i]));
        }
        std::printf("%zu hits: planted offsets recovered within %.3f ms; mean %.3f, sd %.3f, drift %.3f ms per 30 s\n",
                    result.hits.size(), worst, result.all.meanMs, result.all.deviationMs, result.all.driftMsPer30s);
    }
    EXPECT_NEAR(run.drift.coach.all.driftMsPer30s, 10.0, 1.0);
}

}  // namespace
