#pragma once

#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Tests {

// A private JACK server on its dummy driver for one test: its own server name (so it meets no
// other server on the machine), started here and ended with the test. Available() is false when
// jackd is not installed or did not come up; the test then skips. The dummy driver counts a cycle
// that wakes even a little late as lost, so a test of many clients across a minute takes a longer
// period than the default's 5.3 ms (on a virtual machine those come every second or so).
class JackServer {
public:
    static constexpr int Rate = 48000;
    static constexpr int Period = 256;

    explicit JackServer(int period = Period)
    {
        _name = "ticova-test-" + std::to_string(::getpid());
        ::setenv("JACK_DEFAULT_SERVER", _name.c_str(), 1);
        ::setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        // The probes below fail until the server is up, each with a few lines of JACK's.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        if (::access("/usr/bin/jackd", X_OK) != 0)
            return;
        const std::string rate = std::to_string(Rate), frames = std::to_string(period);
        const char* arguments[] = {"jackd", "-n",         _name.c_str(), "-d",           "dummy",
                                   "-r",    rate.c_str(), "-p",          frames.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&_pid, "/usr/bin/jackd", &actions, nullptr, const_cast<char* const*>(arguments), environ) != 0)
            _pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        // Up once a client can connect.
        for (int attempt = 0; _pid != 0 && attempt < 100 && !_up; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (jack_client_t* probe = jack_client_open("probe", JackNoStartServer, nullptr)) {
                jack_client_close(probe);
                _up = true;
            }
        }
    }
    ~JackServer()
    {
        Quit();
        ::unsetenv("JACK_DEFAULT_SERVER");
    }
    // The server goes away under its clients (it is told to end, not killed: a killed one would
    // leave its entry in the machine's JACK registry, which holds only a few).
    void Quit()
    {
        if (_pid != 0) {
            ::kill(_pid, SIGTERM);
            ::waitpid(_pid, nullptr, 0);
            _pid = 0;
        }
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool Available() const { return _up; }

private:
    std::string _name;
    pid_t _pid = 0;
    bool _up = false;
};

// A JACK client recording two audio ports and a MIDI port into buffers fixed beforehand, each
// sample and event with the server's frame time.
class JackRecorder {
public:
    struct MidiEvent {
        std::int64_t frame;
        std::uint8_t bytes[3];
    };

    explicit JackRecorder(std::int64_t frames) : _left(static_cast<std::size_t>(frames)), _events(256)
    {
        _client = jack_client_open("recorder", JackNoStartServer, nullptr);
        if (!_client)
            return;
        _in[0] = jack_port_register(_client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        _in[1] = jack_port_register(_client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        _midiIn = jack_port_register(_client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(_client, &JackRecorder::Process, this);
        jack_activate(_client);
    }
    ~JackRecorder()
    {
        if (_client)
            jack_client_close(_client);
    }
    bool Open() const { return _client != nullptr; }
    // Connects the recorder's ports to these; recording starts with the next cycle.
    bool Connect(const std::string& left, const std::string& midi)
    {
        return jack_connect(_client, left.c_str(), jack_port_name(_in[0])) == 0 &&
            jack_connect(_client, midi.c_str(), jack_port_name(_midiIn)) == 0;
    }
    // Whether the port named `from` is connected to the one named `to`.
    bool Connected(const std::string& from, const std::string& to) const
    {
        jack_port_t* port = jack_port_by_name(_client, from.c_str());
        return port && jack_port_connected_to(port, to.c_str());
    }
    void StartRecording() { _recording.store(true, std::memory_order_release); }
    bool Full() const { return _recorded.load(std::memory_order_acquire) >= static_cast<std::int64_t>(_left.size()); }
    // The server frame of the first recorded sample.
    std::int64_t FirstFrame() const { return _firstFrame.load(std::memory_order_acquire); }
    const std::vector<float>& Left() const { return _left; }
    std::vector<MidiEvent> Events() const
    {
        return {_events.begin(), _events.begin() + _eventCount.load(std::memory_order_acquire)};
    }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto& recorder = *static_cast<JackRecorder*>(self);
        if (!recorder._recording.load(std::memory_order_acquire))
            return 0;
        const std::int64_t cycleFrame = jack_last_frame_time(recorder._client);
        if (recorder._recorded.load(std::memory_order_relaxed) == 0)
            recorder._firstFrame.store(cycleFrame, std::memory_order_release);
        // Each sample at the place of its frame: a cycle the server skipped leaves silence.
        std::int64_t done = cycleFrame - recorder._firstFrame.load(std::memory_order_relaxed);
        const auto* left = static_cast<const float*>(jack_port_get_buffer(recorder._in[0], frames));
        for (jack_nframes_t i = 0; i < frames && done < static_cast<std::int64_t>(recorder._left.size()); ++i)
            recorder._left[static_cast<std::size_t>(done++)] = left[i];
        void* midi = jack_port_get_buffer(recorder._midiIn, frames);
        int count = recorder._eventCount.load(std::memory_order_relaxed);
        for (std::uint32_t i = 0; i < jack_midi_get_event_count(midi); ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, midi, i) != 0 || event.size != 3 ||
                count >= static_cast<int>(recorder._events.size()))
                continue;
            recorder._events[static_cast<std::size_t>(count++)] = {cycleFrame + event.time,
                                                                   {event.buffer[0], event.buffer[1], event.buffer[2]}};
        }
        recorder._eventCount.store(count, std::memory_order_release);
        recorder._recorded.store(std::max<std::int64_t>(done, 1), std::memory_order_release);
        return 0;
    }

    jack_client_t* _client = nullptr;
    jack_port_t* _in[2] = {nullptr, nullptr};
    jack_port_t* _midiIn = nullptr;
    std::vector<float> _left;
    std::vector<MidiEvent> _events;
    std::atomic<bool> _recording{false};
    std::atomic<std::int64_t> _recorded{0};
    std::atomic<std::int64_t> _firstFrame{0};
    std::atomic<int> _eventCount{0};
};

}  // namespace Tests
