#pragma once

// Recording what the sound server plays (parec on the default sink's monitor) and finding the
// clicks in it. Header-only: shared by the end-to-end tests and the click timing benchmark.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace Tests {

// How many times a recording the sound server spoiled (an underflow, a click lost or off the frame
// grid) is made again before a test judges the last one: a machine shared with other jobs can
// spoil several in a row, while a real fault spoils every one.
constexpr int Recordings = 5;

// The sound server scripts/with-sound-server started for this run (its process, from the file the
// script names; it says how to start it again too), or 0: a server that was running already is
// never touched.
inline pid_t OwnSoundServer()
{
    const char* file = std::getenv("TICOVA_SOUND_SERVER_PIDFILE");
    if (!file || !std::getenv("TICOVA_SOUND_SERVER_START"))
        return 0;
    std::ifstream in(file);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// Runs a command and returns its first output line, or "" when it fails.
inline std::string FirstLineOf(const char* command)
{
    std::string line;
    if (FILE* pipe = popen(command, "r")) {
        char buffer[512];
        if (fgets(buffer, sizeof buffer, pipe))
            line = buffer;
        if (pclose(pipe) != 0)
            line.clear();
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// True when a sound server answers.
inline bool SoundServerAvailable()
{
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

// Records the default sink's monitor (or the source named) as 32-bit float stereo at `rate`
// while it lives.
class MonitorRecorder {
public:
    explicit MonitorRecorder(int rate = 44100, std::string source = {})
    {
        if (source.empty()) {
            const std::string sink = FirstLineOf("pactl get-default-sink 2>/dev/null");
            if (sink.empty())
                return;
            source = sink + ".monitor";
        }
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::string device = "--device=" + source;
        std::string rateArg = "--rate=" + std::to_string(rate);
        const char* argv[] = {"parec",        device.c_str(),       "--raw", "--format=float32le", rateArg.c_str(),
                              "--channels=2", "--latency-msec=200", nullptr};
        if (posix_spawnp(&_pid, "parec", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            _pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        if (_pid <= 0) {
            close(pipeEnds[0]);
            return;
        }
        _fd = pipeEnds[0];
        _reader = std::thread([this] {
            float buffer[2048];
            ssize_t got;
            std::size_t pending = 0;
            char* bytes = reinterpret_cast<char*>(buffer);
            while ((got = read(_fd, bytes + pending, sizeof buffer - pending)) > 0) {
                pending += static_cast<std::size_t>(got);
                const std::size_t frames = pending / (2 * sizeof(float));
                {
                    std::lock_guard guard(_lock);
                    for (std::size_t i = 0; i < frames; ++i)
                        _left.push_back(buffer[2 * i]);
                    _bytes += frames;
                }
                const std::size_t used = frames * 2 * sizeof(float);
                std::copy(bytes + used, bytes + pending, bytes);
                pending -= used;
            }
        });
    }
    ~MonitorRecorder() { Stop(); }

    bool Recording() const { return _pid > 0; }
    // Waits (at most five seconds) until the recorder has delivered its first samples, so that
    // nothing played from now on is missed; false if it never did.
    bool WaitUntilRecording()
    {
        for (int i = 0; i < 500 && Recording(); ++i) {
            if (Frames() > 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::size_t Frames()
    {
        std::lock_guard guard(_lock);
        return _bytes;
    }
    // The left channel recorded so far.
    std::vector<float> Snapshot()
    {
        std::lock_guard guard(_lock);
        return _left;
    }
    // Stops the recorder (the process this object started) and returns the left channel.
    std::vector<float> Stop()
    {
        if (_pid > 0) {
            kill(_pid, SIGTERM);
            waitpid(_pid, nullptr, 0);
            _pid = -1;
        }
        if (_reader.joinable())
            _reader.join();
        if (_fd >= 0)
            close(_fd);
        _fd = -1;
        std::lock_guard guard(_lock);
        return _left;
    }

private:
    pid_t _pid = -1;
    int _fd = -1;
    std::thread _reader;
    std::mutex _lock;
    std::vector<float> _left;
    std::size_t _bytes = 0;
};

// Finds each copy of `click` (one channel of the sound that was played) in `signal`: the first
// sample above a threshold marks a click, the exact shift is the one that leaves the least of it
// when the click is taken away, and taking it away uncovers the next click even where the two
// overlap. Returns the frame at which each click starts.
inline std::vector<long> FindClicks(std::vector<float> signal, const std::vector<float>& click)
{
    std::vector<long> onsets;
    if (click.empty())
        return onsets;
    float peak = 0;
    for (float s : click)
        peak = std::max(peak, std::fabs(s));
    const float threshold = 0.25f * peak;
    long lead = 0;
    while (lead < static_cast<long>(click.size()) && std::fabs(click[lead]) < threshold)
        ++lead;
    const long window = std::min<long>(static_cast<long>(click.size()), 256);
    const long size = static_cast<long>(signal.size());
    for (long n = 0; n < size; ++n) {
        if (std::fabs(signal[n]) < threshold)
            continue;
        long best = n - lead;
        double bestEnergy = 1e300;
        for (long shift = n - lead - 4; shift <= n - lead + 4; ++shift) {
            double energy = 0;
            for (long i = 0; i < window; ++i) {
                const long at = shift + i;
                const double rest = (at >= 0 && at < size ? signal[at] : 0.0) - click[i];
                energy += rest * rest;
            }
            if (energy < bestEnergy) {
                bestEnergy = energy;
                best = shift;
            }
        }
        // Sound that is no copy of the click (a click cut short where the output ran dry, or
        // what taking away a click it never held left of the signal) keeps most of its energy
        // whichever way the click is laid on it. It is stepped over, not taken away: taking a
        // click from it would only leave more to find there, a click a sample, without end.
        double found = 0;
        for (long i = 0; i < window; ++i) {
            const long at = best + i;
            const double sample = at >= 0 && at < size ? signal[at] : 0.0;
            found += sample * sample;
        }
        if (bestEnergy > 0.5 * found) {
            while (n + 1 < size && std::fabs(signal[n + 1]) >= threshold)
                ++n;
            continue;
        }
        for (long i = 0; i < static_cast<long>(click.size()); ++i)
            if (best + i >= 0 && best + i < size)
                signal[best + i] -= click[i];
        onsets.push_back(best);
        n = std::max(n, best);
    }
    return onsets;
}

// Splits onsets into runs separated by more than `gap` frames of silence.
inline std::vector<std::vector<long>> SplitRuns(const std::vector<long>& onsets, long gap)
{
    std::vector<std::vector<long>> runs;
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        if (i == 0 || onsets[i] - onsets[i - 1] > gap)
            runs.emplace_back();
        runs.back().push_back(onsets[i]);
    }
    return runs;
}

// Spacing and straightness of a run of clicks that should be `nominal` frames apart.
struct ClickFigures {
    int clicks = 0;
    double spacingMean = 0, spacingP99 = 0, spacingMax = 0;  // |spacing - nominal|, in frames
    double lineP99 = 0, lineMax = 0;                         // distance from the fitted line
    double tempoPpm = 0;                                     // fitted spacing against nominal
};

inline double Percentile99(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(std::ceil(0.99 * values.size())) - 1];
}

inline ClickFigures Measure(const std::vector<long>& onsets, double nominal)
{
    ClickFigures f;
    f.clicks = static_cast<int>(onsets.size());
    if (onsets.size() < 3)
        return f;
    std::vector<double> spacing;
    double sum = 0;
    for (std::size_t i = 1; i < onsets.size(); ++i) {
        const double error = std::fabs(static_cast<double>(onsets[i] - onsets[i - 1]) - nominal);
        spacing.push_back(error);
        sum += error;
        f.spacingMax = std::max(f.spacingMax, error);
    }
    f.spacingMean = sum / static_cast<double>(spacing.size());
    f.spacingP99 = Percentile99(spacing);
    const double n = static_cast<double>(onsets.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        const double x = static_cast<double>(i), y = static_cast<double>(onsets[i] - onsets[0]);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double intercept = (sy - slope * sx) / n;
    std::vector<double> distance;
    for (std::size_t i = 0; i < onsets.size(); ++i) {
        const double d =
            std::fabs(static_cast<double>(onsets[i] - onsets[0]) - (intercept + slope * static_cast<double>(i)));
        distance.push_back(d);
        f.lineMax = std::max(f.lineMax, d);
    }
    f.lineP99 = Percentile99(distance);
    f.tempoPpm = (slope - nominal) / nominal * 1e6;
    return f;
}

// Whether the clicks lie on a grid of `period` frames, each rounded to the nearest frame from
// the exact grid: every spacing is then within one frame of the period. `detail` lists the
// spacings for a failure message.
inline bool OnTheFrameGrid(const std::vector<long>& onsets, double period, std::string& detail)
{
    bool exact = onsets.size() >= 2;
    detail = "spacings (period " + std::to_string(period) + "):";
    for (std::size_t i = 1; i < onsets.size(); ++i) {
        const double spacing = static_cast<double>(onsets[i] - onsets[i - 1]);
        exact = exact && std::fabs(spacing - period) <= 1.0;
        detail += " " + std::to_string(onsets[i] - onsets[i - 1]);
    }
    return exact;
}

}  // namespace Tests
