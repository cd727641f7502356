#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Tests {

// A copy of the program as a user runs it: the binary, its window module and its languages in a
// folder of their own (the settings live beside the program), its own runtime folder (so it
// meets no other copy), the window offscreen, output and diagnostics to a log in the folder.
class ProgramCopy {
public:
    ProgramCopy(const std::string& folder, const std::string& configuration, const std::string& extras)
        : _folder(folder)
    {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder + "/run", ignored);
        ::chmod((folder + "/run").c_str(), 0700);
        const std::string built = TICOVA_BINARY_DIR;
        fs::copy_file(built + "/ticova", folder + "/ticova", ignored);
        if (fs::exists(built + "/ticova-window.so"))
            fs::copy_file(built + "/ticova-window.so", folder + "/ticova-window.so", ignored);
        fs::copy(built + "/Lang", folder + "/Lang", fs::copy_options::recursive, ignored);
        std::ofstream(folder + "/Ticova.conf") << "\xEF\xBB\xBF# Metronome Configuration File\n" << configuration;
        std::ofstream(folder + "/Ticova.extras") << "# Ticova: settings beyond Ticova.conf\n" << extras;
        _ready = fs::exists(folder + "/ticova");
    }
    ~ProgramCopy() { End(); }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    bool Start(const std::vector<std::string>& arguments)
    {
        _pid = Spawn(arguments);
        return _pid > 0;
    }
    // What a user types in a terminal while this copy runs: the commands are handed over to it.
    bool Tell(const std::vector<std::string>& arguments)
    {
        const pid_t pid = Spawn(arguments);
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // Asked to end, as the desktop does; waited for.
    void End()
    {
        if (_pid <= 0)
            return;
        ::kill(_pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(_pid, nullptr, WNOHANG) == _pid) {
                _pid = 0;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(_pid, SIGKILL);
        ::waitpid(_pid, nullptr, 0);
        _pid = 0;
    }
    bool Ready() const { return _ready; }

private:
    pid_t Spawn(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> words{_folder + "/ticova"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> settings{"XDG_RUNTIME_DIR=" + _folder + "/run", "QT_QPA_PLATFORM=offscreen"};
        for (char** variable = environ; *variable; ++variable) {
            const std::string text = *variable;
            if (text.rfind("XDG_RUNTIME_DIR=", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
                text.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0)
                settings.push_back(text);
        }
        std::vector<char*> envp;
        for (std::string& setting : settings)
            envp.push_back(setting.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = _folder + "/output.log";
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    std::string _folder;
    pid_t _pid = 0;
    bool _ready = false;
};

// A PulseAudio server of the test's own whose sink is a client of the JACK server the test
// runs (module-jack-sink, connected to the server's playback ports): what a program plays to it
// can be recorded on the JACK server's clock beside the JACK players. Its clients find it
// through the environment set here (PULSE_SERVER and the rest), which the program copies get.
class PulseOnJack {
public:
    static bool Installed()
    {
        return ::access("/usr/bin/pulseaudio", X_OK) == 0 &&
            std::system("ls /usr/lib/pulse-*/modules/module-jack-sink.so >/dev/null 2>&1") == 0;
    }

    explicit PulseOnJack(const std::string& folder) : _folder(folder)
    {
        std::error_code ignored;
        std::filesystem::create_directories(folder + "/pulse", ignored);
        std::filesystem::create_directories(folder + "/state", ignored);
        std::filesystem::create_directories(folder + "/config/pulse", ignored);
        std::ofstream(folder + "/config/pulse/client.conf") << "autospawn = no\n";
        ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        ::setenv("PULSE_RUNTIME_PATH", (folder + "/pulse").c_str(), 1);
        ::setenv("PULSE_STATE_PATH", (folder + "/state").c_str(), 1);
        ::setenv("PULSE_SERVER", ("unix:" + folder + "/pulse/native").c_str(), 1);
        ::setenv("PULSE_CLIENTCONFIG", (folder + "/config/pulse/client.conf").c_str(), 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        const std::string native = "module-native-protocol-unix auth-anonymous=1 socket=" + folder + "/pulse/native";
        const char* arguments[] = {"pulseaudio",
                                   "--daemonize=no",
                                   "--system=no",
                                   "-n",
                                   "--exit-idle-time=-1",
                                   "--disallow-exit=yes",
                                   "--use-pid-file=no",
                                   "--realtime=yes",
                                   "--load=module-jack-sink sink_name=jack_out channels=2",
                                   nullptr,
                                   nullptr};
        const std::string load = "--load=" + native;
        arguments[9] = load.c_str();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = folder + "/pulse.log";
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawn(&_pid, "/usr/bin/pulseaudio", &actions, nullptr, const_cast<char* const*>(arguments),
                        environ) != 0)
            _pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; _pid > 0 && i < 100 && !_up; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            _up = std::system("pactl info >/dev/null 2>&1") == 0;
        }
    }
    ~PulseOnJack()
    {
        if (_pid > 0) {
            ::kill(_pid, SIGTERM);
            ::waitpid(_pid, nullptr, 0);
        }
    }
    PulseOnJack(const PulseOnJack&) = delete;
    PulseOnJack& operator=(const PulseOnJack&) = delete;

    bool Up() const { return _up; }
    static constexpr const char* LeftPort = "PulseAudio JACK Sink:front-left";

private:
    std::string _folder;
    pid_t _pid = 0;
    bool _up = false;
};

// LinkHut, the session's own sample peer, on a terminal of the test's (a pty): the test presses
// its keys and reads its status line (Link on, peers, quantum, start/stop sync, playing, tempo).
class LinkHutPeer {
public:
    static bool Installed() { return ::access("/usr/bin/LinkHut", X_OK) == 0; }

    LinkHutPeer()
    {
        _pid = ::forkpty(&_terminal, nullptr, nullptr, nullptr);
        if (_pid == 0) {
            ::execl("/usr/bin/LinkHut", "LinkHut", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (_pid < 0)
            return;
        _reader = std::thread([this] { Read(); });
    }
    ~LinkHutPeer()
    {
        if (_pid > 0) {
            Press('q');
            for (int i = 0; i < 40 && ::waitpid(_pid, nullptr, WNOHANG) != _pid; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (::kill(_pid, 0) == 0) {
                ::kill(_pid, SIGTERM);
                ::waitpid(_pid, nullptr, 0);
            }
        }
        _done = true;
        if (_reader.joinable())
            _reader.join();
        if (_terminal >= 0)
            ::close(_terminal);
    }
    LinkHutPeer(const LinkHutPeer&) = delete;
    LinkHutPeer& operator=(const LinkHutPeer&) = delete;

    bool Running() const { return _pid > 0; }
    // A key pressed before LinkHut has set up its terminal is lost: presses wait for its first
    // status line.
    void Press(char key, int times = 1)
    {
        for (int i = 0; i < 200 && Status().size() < 5; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (int i = 0; i < times; ++i) {
            (void)!::write(_terminal, &key, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }
    // Presses `key` until `done` holds, at most three times, each press given 1.5 s to show: a
    // busy machine can lose a key between LinkHut's looks at its terminal.
    template <typename Done>
    bool PressUntil(char key, Done done)
    {
        for (int press = 0; press < 3; ++press) {
            Press(key);
            for (int i = 0; i < 30 && !done(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (done())
                return true;
        }
        return false;
    }
    bool SetLink(bool on)
    {
        return PressUntil('a', [&] { return Enabled() == on; });
    }
    bool SetPlaying(bool on)
    {
        return PressUntil(' ', [&] { return Playing() == on; });
    }
    bool SetStartStopSync(bool on)
    {
        return PressUntil('s', [&] { return StartStopSync() == on; });
    }
    // Steps the tempo `steps` times up (e) or down (w), each step seen before the next.
    bool StepTempo(int steps)
    {
        for (int i = 0; i < std::abs(steps); ++i) {
            const double target = std::round(Tempo()) + (steps > 0 ? 1 : -1);
            if (!PressUntil(steps > 0 ? 'e' : 'w', [&] { return std::abs(Tempo() - target) < 0.01; }))
                return false;
        }
        return true;
    }
    // The last status line it printed, its fields split at '|'.
    std::vector<std::string> Status() const
    {
        std::lock_guard lock(_mutex);
        std::vector<std::string> fields;
        std::string field;
        for (char c : _status) {
            if (c == '|') {
                fields.push_back(field);
                field.clear();
            } else if (c != ' ') {
                field += c;
            }
        }
        fields.push_back(field);
        return fields;
    }
    std::string StatusLine() const
    {
        std::lock_guard lock(_mutex);
        return _status;
    }
    int Peers() const
    {
        const std::vector<std::string> fields = Status();
        return fields.size() > 1 ? std::atoi(fields[1].c_str()) : -1;
    }
    double Tempo() const
    {
        const std::vector<std::string> fields = Status();
        return fields.size() > 4 ? std::atof(fields[4].c_str()) : 0;
    }
    bool Playing() const
    {
        const std::vector<std::string> fields = Status();
        return fields.size() > 3 && fields[3].find("[playing]") != std::string::npos;
    }
    bool Enabled() const
    {
        const std::vector<std::string> fields = Status();
        return !fields.empty() && fields[0] == "yes";
    }
    bool StartStopSync() const
    {
        const std::vector<std::string> fields = Status();
        return fields.size() > 3 && fields[3].rfind("yes", 0) == 0;
    }

private:
    void Read()
    {
        std::string line;
        while (!_done) {
            pollfd ready{_terminal, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            char buffer[512];
            const ssize_t got = ::read(_terminal, buffer, sizeof buffer);
            if (got <= 0)
                return;
            for (ssize_t i = 0; i < got; ++i) {
                if (buffer[i] != '\r' && buffer[i] != '\n') {
                    line += buffer[i];
                    continue;
                }
                if (line.find('|') != std::string::npos) {
                    std::lock_guard lock(_mutex);
                    _status = line;
                }
                line.clear();
            }
        }
    }

    pid_t _pid = -1;
    int _terminal = -1;
    std::thread _reader;
    std::atomic<bool> _done{false};
    mutable std::mutex _mutex;
    std::string _status;
};

}  // namespace Tests
