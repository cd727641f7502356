#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "Configuration/ConfigurationData.h"
#include "Core/ClickTrackExport.h"
#include "Core/MidiSoundEngine.h"
#include "Core/PercussionTable.h"
#include "Platform/Text.h"
#include "Support/InstrumentClicks.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"

namespace {

using Core::ClickTrackExport;

// A track as its two channels summed (some instruments sound on one side only).
struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<float> mono;
};

Decoded Decode(const std::string& path)
{
    Decoded decoded;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return decoded;
    decoded.rate = info.samplerate;
    decoded.channels = info.channels;
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    for (sf_count_t i = 0; i < info.frames; ++i)
        decoded.mono.push_back(frames[static_cast<std::size_t>(i * info.channels)] +
                               frames[static_cast<std::size_t>(i * info.channels + 1)]);
    return decoded;
}

Configuration::ConfigurationData MidiSettings(std::uint32_t bpm)
{
    Configuration::ConfigurationData settings;
    settings.SoundEngineType = 0;
    settings.Bpm = bpm;
    settings.Subdivision1 = 0;
    settings.Subdivision2 = 0;
    settings.VisualIndicator = 0;
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    settings.Beep = 0;
    for (int voice = 0; voice < Configuration::ConfigurationData::NumVoices; ++voice)
        settings.Volume[voice] = 100;
    settings.Instrument[0] = Tests::RowOf(56);  // accent: cowbell
    settings.Instrument[1] = Tests::RowOf(37);  // beats: side stick
    return settings;
}

// The onsets of the clicks in a track: the templates of the notes of voices 0 and 1.
std::vector<long> Onsets(const Configuration::ConfigurationData& settings, const Decoded& decoded)
{
    std::vector<std::vector<float>> sounds;
    for (int voice : {0, 1}) {
        const Platform::Sound* sound = Platform::SoundFontSynth::Instance().Prepare(
            Core::PercussionTable::Note(settings.Instrument[voice]),
            Core::MidiSoundEngine::VoiceVelocity(settings, voice), decoded.rate);
        std::vector<float> mono;
        for (std::int64_t i = 0; sound && i < sound->frames; ++i)
            mono.push_back(sound->samples[2 * i] + sound->samples[2 * i + 1]);
        sounds.push_back(mono);
    }
    std::vector<long> onsets;
    for (const Tests::Hit& hit : Tests::FindHits(decoded.mono, sounds))
        onsets.push_back(hit.onset);
    return onsets;
}

class ClickTrackExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (access(Platform::SoundFontSynth::Instance().SoundFontFile().c_str(), R_OK) != 0)
            GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
    std::string Path(const char* name) const { return Tests::DataFolder() + name; }
};

// Bars of four at an even period into WAV, and a period of a fractional frame count into FLAC:
// every click on frame round(k x period), the file exactly the length asked. A count-in (here
// the side stick of the beats) comes first on the same grid, the length counted after it.
TEST_F(ClickTrackExportTest, EveryClickLandsOnItsGridFrameInWavAndFlac)
{
    struct Case {
        const char* file;
        std::uint32_t beatType;
        std::uint32_t bpm;
        ClickTrackExport::Length length;
        std::int64_t frames;
        Core::CountIn::Length countIn = Core::CountIn::Length::Off;
    };
    const Case cases[] = {
        {"bars.wav", 1, 120, {ClickTrackExport::Unit::Bars, 4}, 4 * 4 * 22050},
        {"minutes.flac", 0, 233, {ClickTrackExport::Unit::Minutes, 0.25}, 661500},
        {"count-in.wav", 1, 120, {ClickTrackExport::Unit::Bars, 2}, (4 + 2 * 4) * 22050, Core::CountIn::Length::Bars},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto settings = MidiSettings(c.bpm);
        settings.BeatType = c.beatType;
        settings.BeatsPerBar = 4;
        Core::CountIn countIn;
        countIn.length = c.countIn;
        const ClickTrackExport::Result result = ClickTrackExport::Run(settings, Path(c.file), c.length, {}, countIn);
        ASSERT_TRUE(result.written) << result.error;
        std::printf("[ figures ] %s: %.1f s of sound in %.3f s, %.0f times real time\n", c.file, result.seconds,
                    result.elapsed, result.speedRatio);

        const Decoded decoded = Decode(Path(c.file));
        ASSERT_EQ(decoded.rate, 44100);
        ASSERT_EQ(decoded.channels, 2);
        EXPECT_EQ(static_cast<std::int64_t>(decoded.mono.size()), c.frames);
        const double period = 44100.0 * 60.0 / c.bpm;
        const std::vector<long> onsets = Onsets(settings, decoded);
        ASSERT_EQ(static_cast<double>(onsets.size()), std::ceil(static_cast<double>(c.frames) / period));
        for (std::size_t k = 0; k < onsets.size(); ++k)
            EXPECT_EQ(onsets[k], std::llround(static_cast<double>(k) * period)) << "click " << k;
    }
}

// A rhythm of the step sequencer: a click on every step that holds one, steps of half a beat.
TEST_F(ClickTrackExportTest, AStepSequencerRhythmPlaysEachStepOnItsFrame)
{
    auto settings = MidiSettings(120);
    settings.BeatType = 3;
    settings.CrNumBars = 1;
    settings.CrBeatsPerBar = 2;
    settings.CrSubdivision = 2;
    settings.CrCompoundTime = 0;
    Platform::Text::Copy(settings.CustomRhythm, u"1 21");
    const std::string path = Path("rhythm.wav");
    const ClickTrackExport::Result result = ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Bars, 4});
    ASSERT_TRUE(result.written) << result.error;

    const Decoded decoded = Decode(path);
    EXPECT_EQ(decoded.mono.size(), 4u * 44100);
    std::vector<long> expected;
    for (long step = 0; step < 16; ++step)
        if (step % 4 != 1)
            expected.push_back(step * 11025);
    EXPECT_EQ(Onsets(settings, decoded), expected);
}

// The speed trainer's whole run, 360 to 400 bpm: it starts on the first stage's period, ends on
// the last one's, only ever speeds up, and the file ends a second after the run.
TEST_F(ClickTrackExportTest, TheTrainersWholeRunIsWrittenAndEndsWithIt)
{
    auto settings = MidiSettings(400);
    settings.BeatType = 1;
    settings.BeatsPerBar = 4;
    settings.SpeedTrainer = 1;
    settings.From = 0.9f;
    settings.Duration = 0.1f;  // six seconds in ten stages
    const std::string path = Path("trainer.wav");
    const ClickTrackExport::Result result = ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Bars, 1});
    ASSERT_TRUE(result.written) << result.error;

    const Decoded decoded = Decode(path);
    const std::vector<long> onsets = Onsets(settings, decoded);
    ASSERT_GT(onsets.size(), 20u);
    EXPECT_EQ(onsets[0], 0);
    EXPECT_EQ(onsets[1] - onsets[0], 7350);                                       // 360 bpm
    EXPECT_NEAR(onsets[onsets.size() - 1] - onsets[onsets.size() - 2], 6615, 1);  // 400 bpm
    for (std::size_t k = 2; k < onsets.size(); ++k)
        EXPECT_LE(onsets[k] - onsets[k - 1], onsets[k - 1] - onsets[k - 2] + 1) << "click " << k;
    // The run ends within a beat of its last click; the file rings on one second beyond.
    const long runEnd = static_cast<long>(decoded.mono.size()) - 44100;
    EXPECT_GE(runEnd, onsets.back());
    EXPECT_LT(runEnd, onsets.back() + 6615);
}

// The audio-file engine through its wave players: a click file whose first sample is its
// loudest starts exactly on each tick's frame.
TEST_F(ClickTrackExportTest, AudioFileClicksLandOnTheirFramesToo)
{
    std::vector<std::int16_t> click(400);
    for (std::size_t i = 0; i < click.size(); ++i)
        click[i] = static_cast<std::int16_t>(20000 * (i % 2 ? -1 : 1) * (1.0 - static_cast<double>(i) / 400.0));
    const std::string clickPath = Path("click-sound.wav");
    ASSERT_TRUE(Tests::WavFileBuilder({}).Samples16(click).Save(clickPath));

    auto settings = MidiSettings(233);
    settings.SoundEngineType = 1;
    settings.BeatType = 1;
    settings.BeatsPerBar = 3;
    settings.Instrument[0] = 0;
    settings.Instrument[1] = 0;
    Platform::Text::Utf8ToUtf16(clickPath, settings.File[0]);
    const std::string path = Path("audio-files.wav");
    const ClickTrackExport::Result result = ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Bars, 8});
    ASSERT_TRUE(result.written) << result.error;

    const Decoded decoded = Decode(path);
    std::vector<long> onsets;
    long quiet = 1000;
    for (std::size_t n = 0; n < decoded.mono.size(); ++n) {
        if (std::fabs(decoded.mono[n]) > 0.1f && quiet >= 1000)
            onsets.push_back(static_cast<long>(n));
        quiet = std::fabs(decoded.mono[n]) > 0.001f ? 0 : quiet + 1;
    }
    const double period = 44100.0 * 60.0 / 233;
    ASSERT_EQ(onsets.size(), 24u);
    for (std::size_t k = 0; k < onsets.size(); ++k)
        EXPECT_EQ(onsets[k], std::llround(static_cast<double>(k) * period)) << "click " << k;
}

// A cancelled export and one that cannot write leave no file behind, and say why.
TEST_F(ClickTrackExportTest, ACancelledOrFailedExportLeavesNoFile)
{
    const auto settings = MidiSettings(120);
    const std::string path = Path("cancelled.wav");
    const ClickTrackExport::Result cancelled =
        ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Minutes, 60}, [](double) { return false; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.written);
    EXPECT_NE(access(path.c_str(), F_OK), 0);

    const ClickTrackExport::Result unwritable =
        ClickTrackExport::Run(settings, Path("no/such/folder.wav"), {ClickTrackExport::Unit::Bars, 1});
    EXPECT_FALSE(unwritable.written);
    EXPECT_FALSE(unwritable.error.empty());

    EXPECT_FALSE(ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Bars, 0}).written);
    EXPECT_FALSE(ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Minutes, 1e9}).written);
}

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// The names in a folder (a temporary left behind shows here).
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

// An export over a file keeps it whole until the new track is complete: a cancel, or a disk that
// fills (here a file-size limit), leaves it byte for byte, with nothing left beside it; a
// complete export replaces it, keeping its permissions, and through a symbolic link replaces
// the file the link leads to.
TEST_F(ClickTrackExportTest, AnExportReplacesAFileOnlyWhenComplete)
{
    const std::string folder = Tests::MakeTempFolder("export-over");
    const std::string path = folder + "track.wav";
    const std::string precious = "an earlier track, which must survive a failed export";
    std::ofstream(path, std::ios::binary) << precious;
    chmod(path.c_str(), 0640);
    const auto settings = MidiSettings(120);

    const ClickTrackExport::Result cancelled =
        ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Minutes, 60}, [](double) { return false; });
    EXPECT_TRUE(cancelled.cancelled);

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const ClickTrackExport::Result full = ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Bars, 8});
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(full.written);
    EXPECT_FALSE(full.error.empty());
    EXPECT_EQ(Contents(path), precious);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"track.wav"});

    const std::string link = folder + "link.wav";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    const ClickTrackExport::Result replaced = ClickTrackExport::Run(settings, link, {ClickTrackExport::Unit::Bars, 1});
    ASSERT_TRUE(replaced.written) << replaced.error;
    struct stat status {};
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link itself was replaced";
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(Decode(path).rate, 44100);
    EXPECT_EQ(Names(folder).size(), 2u);
}

// What is not a regular file is refused at once, with a message that says so: a FIFO with no
// reader (opening it would wait for one forever), a device, a folder.
TEST_F(ClickTrackExportTest, AnExportRefusesWhatIsNotARegularFile)
{
    const std::string folder = Tests::MakeTempFolder("export-special");
    const std::string fifo = folder + "pipe.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto settings = MidiSettings(120);
    for (const std::string& path : {fifo, std::string("/dev/null"), folder + "."}) {
        SCOPED_TRACE(path);
        auto run = std::async(std::launch::async, [&] {
            return ClickTrackExport::Run(settings, path, {ClickTrackExport::Unit::Bars, 1});
        });
        if (run.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the export waits";
            // A reader lets a writer blocked on the FIFO go on to its end.
            const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
            char buffer[65536];
            while (run.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
                (void)!read(reader, buffer, sizeof buffer);
            close(reader);
        }
        const ClickTrackExport::Result result = run.get();
        EXPECT_FALSE(result.written);
        EXPECT_NE(result.error.find("not a regular file"), std::string::npos) << result.error;
    }
    struct stat status {};
    ASSERT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

}  // namespace
