// Times Load and Save of a configuration file holding 10,000 presets, every field set and
// every audio file path filled. Usage: config_load_save [folder]  (default: a fresh folder in /tmp)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "Configuration/FileConfiguration.h"
#include "Platform/File.h"
#include "Platform/Text.h"

namespace {

constexpr int PresetCount = 10000;
constexpr int Rounds = 5;

double Milliseconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Processor time of this process in ms, in user space and in the kernel: on a busy machine
// the wall-clock figure includes waiting for the processor and, for Save, for the disk.
struct Processor {
    double user;
    double system;
};

Processor ProcessorMilliseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& time) { return time.tv_sec * 1e3 + time.tv_usec / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

}  // namespace

int main(int argc, char** argv)
{
    std::string folder;
    if (argc > 1) {
        folder = std::string(argv[1]) + "/";
    } else {
        char pattern[] = "/tmp/ticova-bench-XXXXXX";
        folder = std::string(::mkdtemp(pattern)) + "/";
    }
    const std::string path = folder + "Ticova.conf";

    {
        Configuration::FileConfiguration source(path);
        for (int n = 0; n < PresetCount; ++n) {
            Configuration::ConfigurationData preset;
            std::string name = "Preset number " + std::to_string(n * 7919 % PresetCount);
            Platform::Text::Utf8ToUtf16(name, preset.PresetName);
            Platform::Text::Utf8ToUtf16("Practice at a steady tempo, then speed up " + std::to_string(n),
                                        preset.Description);
            preset.Bpm = 40 + static_cast<std::uint32_t>(n % 300);
            preset.From = 0.6f;
            Platform::Text::Utf8ToUtf16("3+3+2", preset.CustomPattern);
            for (int file = 0; file < Configuration::ConfigurationData::NumVoices; ++file)
                Platform::Text::Utf8ToUtf16(
                    "/home/player/Music/Click sounds/click " + std::to_string(file + 1) + ".wav", preset.File[file]);
            source.AddPreset(preset);
        }
        if (!source.Save()) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
    }
    std::string contents;
    Platform::File::ReadAll(path, contents);
    std::printf("file: %s, %d presets, %.1f MB\n", path.c_str(), PresetCount, contents.size() / 1e6);

    for (int round = 1; round <= Rounds; ++round) {
        Configuration::FileConfiguration configuration(path);
        Processor p0 = ProcessorMilliseconds();
        auto start = std::chrono::steady_clock::now();
        bool loaded = configuration.Load();
        auto afterLoad = std::chrono::steady_clock::now();
        Processor p1 = ProcessorMilliseconds();
        bool saved = configuration.Save();
        auto afterSave = std::chrono::steady_clock::now();
        Processor p2 = ProcessorMilliseconds();
        std::printf(
            "round %d: Load %6.1f ms (user %5.1f, kernel %5.1f)%s   Save %6.1f ms (user %5.1f, kernel %5.1f)%s\n",
            round, Milliseconds(afterLoad - start), p1.user - p0.user, p1.system - p0.system, loaded ? "" : " FAILED",
            Milliseconds(afterSave - afterLoad), p2.user - p1.user, p2.system - p1.system, saved ? "" : " FAILED");
    }
    if (argc <= 1) {
        Platform::File::Remove(path);
        ::rmdir(folder.c_str());
    }
    return 0;
}
