#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Core/ClickTrackExport.h"
#include "Core/Metronome.h"
#include "Core/OutputSettings.h"
#include "Core/SongMidiFile.h"
#include "Core/SoundEngines.h"
#include "Core/TempoMap.h"
#include "GUI/Model/CommandLine.h"
#include "GUI/Model/InstanceLock.h"
#include "Platform/AudioOutput.h"
#include "Platform/Console.h"
#include "Platform/File.h"
#include "Platform/MidiOut.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "Platform/Thread.h"
#include "System/ILog.h"

// The sound libraries' chatter while they look for devices: kept in the log for whoever raises
// its level to Debug, never on the terminal.
static void SoundLibraryMessage(const char* message)
{
    System::Log().Write(System::Debug, "%s", message);
}

// The song of a tempo-map file; what it cannot hold is told on the terminal.
static bool ReadTempoMap(const std::string& path, Configuration::Song& song)
{
    std::string text;
    if (!Platform::File::ReadAll(path, text, Core::TempoMap::MaxText + 1) || text.size() > Core::TempoMap::MaxText) {
        std::fprintf(stderr, "ticova: the tempo map %s could not be read\n", path.c_str());
        return false;
    }
    for (const Core::TempoMap::Note& note : Core::TempoMap::Read(text, song))
        std::fprintf(stderr, "ticova: %s: %s\n", path.c_str(), Core::TempoMap::Describe(note).c_str());
    if (song.sections.empty()) {
        std::fprintf(stderr, "ticova: the tempo map %s holds no section to play\n", path.c_str());
        return false;
    }
    return true;
}

// Writes the click track the command line asks for, with the saved settings (and the preset and
// tempo it names), without a window; the exit status tells whether it was written.
static int ExportFromCommandLine(const GUI::CommandLine& line)
{
    Configuration::IConfiguration& configuration = Configuration::GetConfiguration();
    configuration.Load();
    Configuration::ExtraSettings& extraSettings = Configuration::GetExtraSettings();
    extraSettings.Load();
    if (line.preset) {
        const std::u16string name = Platform::Text::Utf8ToUtf16(*line.preset);
        if (!configuration.LoadPreset(name.c_str())) {
            std::fprintf(stderr, "ticova: there is no preset \"%s\"\n", line.preset->c_str());
            return 1;
        }
    }
    Configuration::ConfigurationData settings = configuration.GetCurrentSettings();
    if (line.bpm)
        settings.Bpm = static_cast<std::uint32_t>(*line.bpm);
    Configuration::Song song;
    if (line.tempoMap && !ReadTempoMap(*line.tempoMap, song))
        return 1;
    if (line.tempoMap && line.exportFile->size() > 4 &&
        line.exportFile->compare(line.exportFile->size() - 4, 4, ".mid") == 0) {
        // The song's grid for a sequencer: its tempo map and a note a beat.
        if (!Platform::File::ReplaceWhole(*line.exportFile, Core::SongMidiFile::Write(song))) {
            std::fprintf(stderr, "ticova: the MIDI file could not be written to %s\n", line.exportFile->c_str());
            return 1;
        }
        std::printf("%s: the song's tempo map and beats written as a MIDI file\n", line.exportFile->c_str());
        return 0;
    }
    // A copy with a window may hold changes it has not saved yet: the track is made from the
    // file, and the user is told which settings those are.
    if (GUI::InstanceLock::Held(GUI::InstanceLock::DefaultSocketPath()))
        std::fprintf(stderr,
                     "ticova: Ticova is running; the click track is made from the settings saved in %s%s%s%s, "
                     "at %u bpm (changes in its window that are not saved yet are not in it)\n",
                     Platform::DataFile("Ticova.conf").c_str(), line.preset ? " with the preset \"" : "",
                     line.preset ? line.preset->c_str() : "", line.preset ? "\"" : "",
                     static_cast<unsigned>(settings.Bpm));
    // Clicks from sound files need no SoundFont; General MIDI clicks load it when the run starts.
    if (settings.SoundEngineType != Core::SoundEngines::AudioFile)
        Platform::MidiOut::UseSoundFont(extraSettings.Text("soundfont.path"));
    // A song ends by itself; its length is its own.
    const Core::ClickTrackExport::Length length{line.bars || line.tempoMap ? Core::ClickTrackExport::Unit::Bars
                                                                           : Core::ClickTrackExport::Unit::Minutes,
                                                line.tempoMap   ? 1
                                                    : line.bars ? *line.bars
                                                                : *line.minutes};
    const Core::ClickTrackExport::Result result = Core::ClickTrackExport::Run(
        settings, *line.exportFile, length, {}, Core::CountIn::Read(extraSettings), line.tempoMap ? &song : nullptr);
    if (!result.written) {
        std::fprintf(stderr, "ticova: the click track could not be written to %s: %s\n", line.exportFile->c_str(),
                     result.error.c_str());
        return 1;
    }
    std::printf("%s: %.1f s of sound written in %.2f s (%.0f times real time)\n", line.exportFile->c_str(),
                result.seconds, result.elapsed, result.speedRatio);
    return 0;
}

// The window lives in a module of its own (Qt and all it brings are loaded only with it): beside
// the program in a build folder, in the library folder beside its bin/ folder when installed.
static int RunWindow(int argc, char* argv[])
{
    const std::string folder = Platform::ProgramFolder();
    void* module = dlopen((folder + TICOVA_WINDOW_MODULE).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!module)
        module =
            dlopen((folder + "../" TICOVA_WINDOW_MODULE_DIR "/" TICOVA_WINDOW_MODULE).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!module) {
        std::fprintf(stderr, "ticova: the window could not be loaded: %s\n", dlerror());
        return 1;
    }
    using Run = int (*)(int, char**);
    const auto run = reinterpret_cast<Run>(dlsym(module, "TicovaRunWindow"));
    if (!run) {
        std::fprintf(stderr, "ticova: the window could not be loaded: %s\n", dlerror());
        return 1;
    }
    // The module stays loaded until the process ends: its objects may be in use to the end.
    return run(argc, argv);
}

int main(int argc, char* argv[])
{
    // The options are read before any window system is needed: --help, --version and --export
    // work without a display. Arguments Ticova does not know are left to the window system (Qt's own
    // -platform, -style ...).
    const GUI::CommandLine line = GUI::CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!line.error.empty()) {
        std::fprintf(stderr, "ticova: %s\n", line.error.c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(GUI::CommandLine::Usage().c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("Ticova %s\n", TICOVA_VERSION);
        return 0;
    }
    Platform::QuietenSoundLibraries(&SoundLibraryMessage);
    if (line.exportFile)
        return ExportFromCommandLine(line);

    return RunWindow(argc, argv);
}
