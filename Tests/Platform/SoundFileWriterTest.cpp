#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Platform/File.h"
#include "Platform/SoundFileWriter.h"
#include "Support/TestEnvironment.h"

namespace {

std::vector<short> ReadShorts(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<short> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

class SoundFileWriterTest : public testing::TestWithParam<const char*> {};

// Sounds and stretches of silence, crossing the writer's blocks, come out of the file exactly as
// libsndfile's own conversion of the same floats writes them, clipping included; a WAV file is
// libsndfile's byte for byte, its silence (at the end too) left as holes that read as zeros.
TEST_P(SoundFileWriterTest, GatheredSoundAndSilenceMatchLibsndfilesOwnConversion)
{
    const std::string folder = Tests::MakeTempFolder("SoundFileWriter");
    const std::string path = folder + "/track" + GetParam(), reference = folder + "/reference" + GetParam();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> level(-1.2f, 1.2f);
    std::vector<float> expected;

    Platform::SoundFileWriter writer;
    ASSERT_TRUE(writer.Open(path, 44100, 2)) << writer.Error();
    for (const int frames : {1000, 50000, 333, 70000, 12}) {
        std::vector<float> sound(static_cast<std::size_t>(frames) * 2);
        for (float& sample : sound)
            sample = level(random);
        ASSERT_TRUE(writer.Write(sound.data(), frames));
        ASSERT_TRUE(writer.WriteSilence(frames / 2 + 17));
        expected.insert(expected.end(), sound.begin(), sound.end());
        expected.resize(expected.size() + static_cast<std::size_t>(frames / 2 + 17) * 2, 0.0f);
    }
    ASSERT_TRUE(writer.WriteSilence(100000));
    expected.resize(expected.size() + 200000, 0.0f);
    ASSERT_TRUE(writer.Commit()) << writer.Error();

    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = (Platform::SoundFileWriter::IsFlac(reference) ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(reference.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_float(file, expected.data(), static_cast<sf_count_t>(expected.size() / 2));
    sf_close(file);

    const std::vector<short> written = ReadShorts(path);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_EQ(written, ReadShorts(reference));
    if (!Platform::SoundFileWriter::IsFlac(path)) {
        std::string ours, theirs;
        ASSERT_TRUE(Platform::File::ReadAll(path, ours) && Platform::File::ReadAll(reference, theirs));
        EXPECT_TRUE(ours == theirs);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundFileWriterTest, testing::Values(".wav", ".flac"));

}  // namespace
