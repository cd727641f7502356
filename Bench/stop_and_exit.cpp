// Times how long Stop and the program's exit take in each state the output can be in: playing
// MIDI, playing audio files, the sound server killed while playing, a JACK server ending while
// playing. For the dead states it also times how long the run takes to end by itself (the window
// shows it stopped then) and whether the first Start after the server is back plays.
//
// Each state runs in a child process of its own, so that its exit (the metronome's stop, the
// output's close and the static objects' ends) is timed from the moment it begins to the moment
// the process has ended.
//
// Run: scripts/with-sound-server build/Bench/stop_and_exit      (about a minute; with no server
// started by the script, the server-death states are skipped, as is JACK without jackd)

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/IMetronomeEventHandler.h"
#include "Core/Metronome.h"
#include "Core/SoundEngines.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/Text.h"
#include "Support/InstrumentClicks.h"
#include "Support/JackServer.h"
#include "Support/SoundCapture.h"
#include "Support/WavFileBuilder.h"

extern char** environ;

namespace {

using Platform::Clock;

class Handler final : public Core::IMetronomeEventHandler {
public:
    void OnSpeedTrainerStarted(std::int32_t, bool) override {}
    void OnTimerEvent(std::int32_t, std::int32_t, Core::Moment) override {}
    void OnStopped(std::int32_t) override { stoppedAt.store(Clock::Now()); }
    void OnError(std::int32_t messageId) override { error.store(messageId); }
    std::atomic<std::int64_t> stoppedAt{0};
    std::atomic<std::int32_t> error{0};
};

double Ms(std::int64_t ns)
{
    return static_cast<double>(ns) / 1e6;
}

bool ServerAnswers()
{
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

void KillPulse()
{
    const pid_t server = Tests::OwnSoundServer();
    ::kill(server, SIGKILL);
}

bool StartPulse()
{
    if (std::system(std::getenv("TICOVA_SOUND_SERVER_START")) != 0)
        return false;
    for (int i = 0; i < 100; ++i) {
        if (ServerAnswers())
            return std::system("pactl set-default-sink ticova_null >/dev/null 2>&1") == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

struct State {
    const char* name;
    bool audioFiles;
    enum Death { Alive, Pulse, Jack } death;
    bool waitForTheEnd;  // left alone after the death (else stopped 5 ms after it)
};

constexpr State States[] = {
    {"playing MIDI", false, State::Alive, false},
    {"playing audio files", true, State::Alive, false},
    {"server dead, MIDI, Stop", false, State::Pulse, false},
    {"server dead, audio files, Stop", true, State::Pulse, false},
    {"server dead, MIDI, left alone", false, State::Pulse, true},
    {"server dead, audio files, left alone", true, State::Pulse, true},
    {"JACK dead, MIDI, Stop", false, State::Jack, false},
    {"JACK dead, audio files, left alone", true, State::Jack, true},
};

Configuration::ConfigurationData Settings(bool audioFiles, const std::string& file)
{
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = audioFiles ? Core::SoundEngines::AudioFile : Core::SoundEngines::Midi;
    settings.VisualIndicator = 0;
    settings.Bpm = 240;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        settings.Instrument[voice] = audioFiles ? 0 : Tests::RowOf(76);
    Platform::Text::Utf8ToUtf16(file, settings.File[0]);
    return settings;
}

// One state, in this (child) process. Prints its figures as "key=value" lines; the last one,
// "exit_at", is the clock time the exit begins.
// With `exiting`, the program exits in that state instead: its window stops the metronome as it
// closes, then main ends.
int Child(const State& state, bool exiting)
{
    std::optional<Tests::JackServer> jack;
    if (state.death == State::Jack) {
        jack.emplace();
        if (!jack->Available()) {
            std::printf("skip=no jackd\n");
            return 0;
        }
        Platform::AudioOutput::Instance().ChooseJack(true);
    }
    const std::string file = "/tmp/ticova-stop-bench-" + std::to_string(::getpid()) + ".wav";
    if (!Tests::WavFileBuilder({}).Samples16(std::vector<std::int16_t>(2000, 12000)).Save(file))
        return 1;
    Configuration::ConfigurationData settings = Settings(state.audioFiles, file);
    Core::Metronome& metronome = Core::Metronome::Instance();
    Handler handler;
    if (metronome.Start(handler, settings) != 0) {
        std::printf("skip=the metronome did not start\n");
        std::remove(file.c_str());
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const std::int64_t killed = Clock::Now();
    if (state.death == State::Pulse)
        KillPulse();
    else if (state.death == State::Jack)
        jack->Quit();
    if (state.waitForTheEnd) {
        while (handler.stoppedAt.load() == 0 && Clock::Now() - killed < 10'000'000'000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::int64_t at = handler.stoppedAt.load();
        std::printf("shown_stopped_ms=%.1f\n", at != 0 ? Ms(at - killed) : -1.0);
        std::printf("error=%d\n", handler.error.load());
    } else if (state.death != State::Alive) {
        // Stopped as the server dies, before the output can have noticed.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("was_playing=%d\n", metronome.IsRunning() ? 1 : 0);
    if (exiting) {
        std::printf("exit_at=%lld\n", static_cast<long long>(Clock::Now()));
        std::fflush(stdout);
        metronome.Stop();
        std::remove(file.c_str());
        Platform::AudioOutput::Instance().CloseIdle();
        return 0;
    }
    std::int64_t before = Clock::Now();
    metronome.Stop();
    std::printf("stop_ms=%.1f\n", Ms(Clock::Now() - before));

    if (state.waitForTheEnd && state.death == State::Pulse) {
        // The server comes back: the first Start plays.
        if (StartPulse()) {
            Handler again;
            before = Clock::Now();
            const std::int32_t code = metronome.Start(again, settings);
            std::printf("restart_code=%d\nrestart_ms=%.1f\n", code, Ms(Clock::Now() - before));
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            std::printf("restart_error=%d\n", again.error.load());
            before = Clock::Now();
            metronome.Stop();
            std::printf("stop_after_restart_ms=%.1f\n", Ms(Clock::Now() - before));
        }
    }
    std::remove(file.c_str());
    return 0;
}

// A JACK server that went away with a client still on it may leave its entry in the machine's
// JACK registry (which holds eight): a server of the same name, started and ended with no client,
// clears it.
void ForgetJackServer(const std::string& name)
{
    const char* arguments[] = {"jackd", "-n", name.c_str(), "-d", "dummy", "-r", "48000", "-p", "256", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t server = 0;
    if (::access("/usr/bin/jackd", X_OK) == 0 &&
        posix_spawn(&server, "/usr/bin/jackd", &actions, nullptr, const_cast<char* const*>(arguments), environ) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
}

std::string RunChild(const char* program, int state, bool exiting, std::int64_t& ended, bool& failed, pid_t& child);

// Runs one state in a child process: its output, and the clock time it ended.
std::string RunChild(const char* program, int state, bool exiting, std::int64_t& ended, bool& failed)
{
    pid_t child = 0;
    std::string output = RunChild(program, state, exiting, ended, failed, child);
    if (States[state].death == State::Jack)
        ForgetJackServer("ticova-test-" + std::to_string(child));
    return output;
}

std::string RunChild(const char* program, int state, bool exiting, std::int64_t& ended, bool& failed, pid_t& child)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return "skip=no pipe";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    const std::string index = std::to_string(state);
    char* arguments[] = {const_cast<char*>(program), const_cast<char*>("--state"), const_cast<char*>(index.c_str()),
                         const_cast<char*>(exiting ? "exit" : "stop"), nullptr};
    const int spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    std::string output;
    char buffer[256];
    for (ssize_t got; spawned == 0 && (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    int status = 0;
    if (spawned == 0)
        ::waitpid(child, &status, 0);
    ended = Clock::Now();
    ::close(pipe[0]);
    failed = spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    return output;
}

std::string Value(const std::string& output, const std::string& key)
{
    const std::size_t at = output.find(key + "=");
    if (at == std::string::npos)
        return "";
    const std::size_t end = output.find('\n', at);
    return output.substr(at + key.size() + 1, end - at - key.size() - 1);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--state") == 0)
        return Child(States[std::atoi(argv[2])], std::strcmp(argv[3], "exit") == 0);

    const bool ownServer = Tests::OwnSoundServer() > 0 && ServerAnswers();
    std::printf("%-38s %9s %9s %14s %s\n", "state", "stop ms", "exit ms", "shown stopped", "after the server is back");
    for (int i = 0; i < static_cast<int>(std::size(States)); ++i) {
        const State& state = States[i];
        if (state.death == State::Pulse && !ownServer) {
            std::printf("%-38s skipped: no sound server of its own (run under scripts/with-sound-server)\n",
                        state.name);
            continue;
        }
        std::int64_t ended = 0;
        bool failed = false;
        const std::string output = RunChild(argv[0], i, false, ended, failed);
        if (state.death == State::Pulse && !ServerAnswers())
            StartPulse();
        // The exit in the same state, from a child of its own (a run left alone has ended).
        std::string exited;
        if (!state.waitForTheEnd) {
            bool exitFailed = false;
            exited = RunChild(argv[0], i, true, ended, exitFailed);
            failed = failed || exitFailed;
        }
        if (state.death == State::Pulse && !ServerAnswers())
            StartPulse();
        if (const std::string skip = Value(output, "skip"); !skip.empty()) {
            std::printf("%-38s skipped: %s\n", state.name, skip.c_str());
            continue;
        }
        const std::string exitAt = Value(exited, "exit_at");
        const std::string exitMs = exitAt.empty() ? "-" : std::to_string(Ms(ended - std::stoll(exitAt))).substr(0, 6);
        std::string back;
        if (const std::string code = Value(output, "restart_code"); !code.empty())
            back = "start " + code + " in " + Value(output, "restart_ms") + " ms, error " +
                Value(output, "restart_error") + ", stop " + Value(output, "stop_after_restart_ms") + " ms";
        const std::string shown = Value(output, "shown_stopped_ms");
        std::printf("%-38s %9s %9s %14s %s%s\n", state.name, Value(output, "stop_ms").c_str(), exitMs.c_str(),
                    shown.empty() ? "-" : (shown + " ms").c_str(), back.c_str(), failed ? "  (child failed)" : "");
        if (Value(output, "was_playing") != "1" && !state.waitForTheEnd)
            std::printf("%-38s (the run had ended before the Stop)\n", "");
    }
    return 0;
}
