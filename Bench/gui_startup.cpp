// Start-up time of the program: from starting the process to its window being shown on the
// X display. Run it under an X server (for example xvfb-run -a build/Bench/gui_startup).
// Each run starts build/ticova, polls the display (xdotool) for its viewable window, then
// ends the program. Polling costs a few milliseconds per look, which bounds the resolution.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Platform/Clock.h"
#include "Platform/ProgramFolder.h"

extern char** environ;

namespace {

// A viewable window of the program's class named "Ticova" (the toolkit also makes an unmapped
// helper window of that name, which does not count).
bool WindowShown()
{
    FILE* pipe = ::popen("xdotool search --onlyvisible --classname '^ticova$' 2>/dev/null", "r");
    if (!pipe)
        return false;
    char line[256];
    bool shown = false;
    while (std::fgets(line, sizeof line, pipe))
        if (std::strlen(line) > 1)
            shown = true;
    ::pclose(pipe);
    return shown;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "gui_startup needs an X display (try: xvfb-run -a %s)\n", argv[0]);
        return 2;
    }
    std::string program = argc > 1 ? argv[1] : Platform::ProgramFolder() + "../ticova";
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    if (WindowShown()) {
        std::fprintf(stderr, "a Ticova window is open already; close it first\n");
        return 2;
    }
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        char* args[] = {program.data(), nullptr};
        pid_t child = 0;
        const std::int64_t start = Platform::Clock::Now();
        if (::posix_spawn(&child, program.c_str(), nullptr, nullptr, args, environ) != 0) {
            std::perror("posix_spawn");
            return 1;
        }
        double ms = -1;
        while (Platform::Clock::Now() - start < 10'000'000'000) {
            if (WindowShown()) {
                ms = static_cast<double>(Platform::Clock::Now() - start) / 1e6;
                break;
            }
        }
        ::kill(child, SIGTERM);
        ::waitpid(child, nullptr, 0);
        if (ms < 0) {
            std::fprintf(stderr, "run %d: no window within 10 s\n", run + 1);
            return 1;
        }
        std::printf("run %d: window shown after %.1f ms\n", run + 1, ms);
        times.push_back(ms);
        ::usleep(200000);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to a shown window: median %.1f ms, best %.1f ms, worst %.1f ms (%d runs)\n",
                times[times.size() / 2], times.front(), times.back(), runs);
    return 0;
}
