// A metronome's window driven as a user drives it: the program is started on the X display, its
// Start button is clicked with the mouse (the X server's test events), and what the default sink plays is recorded
// from its monitor and dated by the server's timing. Prints, for five starts (the first about two
// seconds after the window appears, the others after a second and a half stopped), the time from
// the click of the mouse to the first click heard, where the first click lies on the grid of the
// clicks after it and how far any click lies from the grid; then the program's CPU of one core
// while stopped and while playing, and its peak memory. The same bench serves Ticova and a peer,
// so the two are measured alike, in the same run (Bench/first_click_peer).
//
//   first_click_window NAME X Y BPM [FIRST_MS] -- COMMAND [ARGS...]
//
// NAME is the window's title (as xdotool searches it), X Y the Start button's place in the window,
// BPM the tempo the program plays at, FIRST_MS how long after the window appears the first start
// comes (2000 unless given; 300 is a start right after launch, while the program still opens its
// output and loads its sounds). The press is the button's release, which is what a button
// acts on, sent through the X server's test events.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Clock.h"
#include "ProcessFigures.h"
#include "Support/SoundCapture.h"
#include "TimedRecorder.h"

namespace {

constexpr int Starts = 5;
constexpr int Clicks = 8;

std::string Run(const std::string& command)
{
    return Tests::FirstLineOf(command.c_str());
}

// The default sink's rate, from the server's list of sinks.
double SinkRate()
{
    const std::string line =
        Run("pactl list sinks short 2>/dev/null | grep \"^[0-9]*\\s$(pactl get-default-sink)\\s\"");
    const std::size_t hz = line.rfind("Hz");
    if (hz == std::string::npos)
        return 44100;
    std::size_t from = hz;
    while (from > 0 && std::isdigit(static_cast<unsigned char>(line[from - 1])))
        --from;
    return std::atof(line.substr(from, hz - from).c_str());
}

// The mouse, moved and clicked through the X server's test events, from this process: the
// button's release (what a button acts on) is dated the moment it was flushed to the server.
class Mouse {
public:
    bool Open(const std::string& window)
    {
        _display = XOpenDisplay(nullptr);
        int event = 0, error = 0, major = 0, minor = 0;
        _window = std::strtoul(window.c_str(), nullptr, 10);
        return _display && XTestQueryExtension(_display, &event, &error, &major, &minor);
    }
    ~Mouse()
    {
        if (_display)
            XCloseDisplay(_display);
    }
    std::int64_t Click(int x, int y)
    {
        int screenX = 0, screenY = 0;
        Window child = 0;
        XTranslateCoordinates(_display, _window, DefaultRootWindow(_display), x, y, &screenX, &screenY, &child);
        XTestFakeMotionEvent(_display, DefaultScreen(_display), screenX, screenY, CurrentTime);
        XTestFakeButtonEvent(_display, 1, True, CurrentTime);
        XSync(_display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        XTestFakeButtonEvent(_display, 1, False, CurrentTime);
        XFlush(_display);
        return Platform::Clock::Now();
    }

private:
    Display* _display = nullptr;
    Window _window = 0;
};

// Where each click of the program starts in `signal`: a rise above a quarter of the loudest
// sample, at least 0.6 of a period after the last (a click's own ringing is not a click), placed
// to the sample by matching the first click's start against it.
std::vector<long> Onsets(const std::vector<float>& signal, double period)
{
    float peak = 0;
    for (float s : signal)
        peak = std::max(peak, std::fabs(s));
    if (peak < 1e-3f)
        return {};
    const long size = static_cast<long>(signal.size());
    std::vector<long> rises;
    for (long n = 0; n < size; ++n)
        if (std::fabs(signal[n]) >= 0.25f * peak && (rises.empty() || n - rises.back() > 0.6 * period))
            rises.push_back(n);
    if (rises.empty())
        return {};
    long start = rises.front();
    while (start > 0 && rises.front() - start < 64 && std::fabs(signal[start - 1]) > 1e-4f)
        --start;
    const long lead = rises.front() - start, length = std::min<long>(256, size - start);
    std::vector<long> onsets;
    for (long rise : rises) {
        long best = rise - lead;
        double least = 1e300;
        for (long shift = rise - lead - 4; shift <= rise - lead + 4; ++shift) {
            double rest = 0;
            for (long i = 0; i < length; ++i) {
                const double d = (shift + i >= 0 && shift + i < size ? signal[shift + i] : 0.0) - signal[start + i];
                rest += d * d;
            }
            if (rest < least) {
                least = rest;
                best = shift;
            }
        }
        onsets.push_back(best);
    }
    return onsets;
}

}  // namespace

int main(int argc, char** argv)
{
    const int command = argc > 6 && std::string(argv[5]) != "--" ? 7 : 6;
    if (argc <= command || std::string(argv[command - 1]) != "--") {
        std::fprintf(stderr, "usage: first_click_window NAME X Y BPM [FIRST_MS] -- COMMAND [ARGS...]\n");
        return 2;
    }
    const std::string name = argv[1];
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    const double bpm = std::atof(argv[4]);
    const int firstMs = command == 7 ? std::atoi(argv[5]) : 2000;
    if (!Tests::SoundServerAvailable() || !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "first_click_window: needs a sound server and an X display\n");
        return 1;
    }
    const double rate = SinkRate();
    const double period = 60.0 / bpm * rate;
    Bench::TimedRecorder recorder;
    if (!recorder.Start(rate)) {
        std::fprintf(stderr, "first_click_window: cannot record the monitor\n");
        return 1;
    }
    // The recording's dating settles over the first sound the sink plays: a second of a quiet
    // tone of the bench's own, before the program starts.
    if (FILE* tone = popen("pacat --raw --format=float32le --rate=48000 --channels=1 2>/dev/null", "w")) {
        for (int n = 0; n < 48000; ++n) {
            const float sample = 0.01f * static_cast<float>(std::sin(2 * M_PI * 1000 * n / 48000.0));
            std::fwrite(&sample, sizeof sample, 1, tone);
        }
        pclose(tone);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const pid_t program = fork();
    if (program == 0) {
        execvp(argv[command], argv + command);
        _exit(127);
    }
    const std::string window =
        Run(("timeout 30 xdotool search --sync --onlyvisible --name '" + name + "' 2>/dev/null").c_str());
    if (window.empty()) {
        std::fprintf(stderr, "first_click_window: no window \"%s\" appeared\n", name.c_str());
        kill(program, SIGTERM);
        waitpid(program, nullptr, 0);
        return 1;
    }
    Mouse mouse;
    if (!mouse.Open(window)) {
        std::fprintf(stderr, "first_click_window: the X server takes no test events\n");
        kill(program, SIGTERM);
        waitpid(program, nullptr, 0);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(firstMs));

    std::vector<double> heard, first, grid;
    int missing = 0;
    std::printf("%s at %.0f bpm, sink at %.0f Hz, first start %d ms after the window appeared\n  press to heard ms:",
                name.c_str(), bpm, rate, firstMs);
    for (int start = 0; start < Starts; ++start) {
        if (start > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const std::int64_t pressed = mouse.Click(x, y);
        std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>((Clicks + 1.5) * 60000 / bpm)));
        mouse.Click(x, y);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        const auto from = static_cast<std::int64_t>(recorder.FrameAt(pressed) - rate / 5);
        const auto to = static_cast<std::int64_t>(from + rate / 5 + (Clicks + 0.5) * period);
        const std::vector<float> samples = recorder.Samples(from, to);
        std::vector<long> onsets = Onsets(samples, period);
        if (onsets.size() < 3) {
            ++missing;
            std::printf(" -");
            continue;
        }
        const std::int64_t at = recorder.TimeOf(static_cast<double>(from + onsets[0]));
        heard.push_back((at - pressed) / 1e6);
        std::printf(" %.1f", heard.back());
        std::vector<double> later;
        for (std::size_t k = 1; k < onsets.size(); ++k)
            later.push_back(static_cast<double>(onsets[k]) - k * period);
        // The grid is laid through the later clicks; the first is measured against it.
        const double origin = Bench::Median(later);
        first.push_back(static_cast<double>(onsets[0]) - origin);
        double worst = 0;
        for (std::size_t k = 1; k < onsets.size(); ++k)
            worst = std::max(worst, std::fabs(later[k - 1] - origin));
        grid.push_back(worst);
    }
    double firstWorst = 0, gridWorst = 0;
    for (double f : first)
        firstWorst = std::max(firstWorst, std::fabs(f));
    for (double g : grid)
        gridWorst = std::max(gridWorst, g);
    std::printf("\n  press to heard: first start %.1f ms, median %.1f ms, max %.1f ms; missing %d\n",
                heard.empty() ? NAN : heard.front(), Bench::Median(heard),
                heard.empty() ? NAN : *std::max_element(heard.begin(), heard.end()), missing);
    std::printf("  first click from the grid of the later ones: worst %.2f samples; any click from the grid: "
                "worst %.2f samples\n",
                firstWorst, gridWorst);

    // CPU stopped, then playing, ten seconds each, and the memory.
    double cpu = Bench::ProcessCpuSeconds(program);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double stopped = (Bench::ProcessCpuSeconds(program) - cpu) * 10;
    mouse.Click(x, y);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cpu = Bench::ProcessCpuSeconds(program);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double playing = (Bench::ProcessCpuSeconds(program) - cpu) * 10;
    mouse.Click(x, y);
    std::printf("  CPU of one core: stopped %.2f %%, playing %.2f %%; peak memory %.1f MB\n", stopped, playing,
                Bench::StatusKb(std::to_string(program), "VmHWM:") / 1024.0);
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);
    return 0;
}
