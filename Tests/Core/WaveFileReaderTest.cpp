#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Core/WaveFile.h"
#include "Platform/Text.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"

namespace {

using Tests::RecordingLog;
using Tests::WavFileBuilder;

std::vector<unsigned char> Ramp(std::size_t count)
{
    std::vector<unsigned char> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    return bytes;
}

class WaveFileReader : public ::testing::Test {
protected:
    std::string Save(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        const std::string path = folder + name;
        EXPECT_TRUE(WavFileBuilder::Save(path, bytes));
        return path;
    }
    bool Open(const std::string& path)
    {
        return file.OpenWaveFile(Platform::Text::Utf8ToUtf16(path).c_str(), format, fileSize, dataSize);
    }
    std::vector<unsigned char> Samples() const
    {
        return std::vector<unsigned char>(file.SampleData(), file.SampleData() + dataSize);
    }
    // The one entry written, which must begin with `start`.
    void ExpectOneEntry(const std::string& start, const std::string& contains = "")
    {
        ASSERT_EQ(log.entries.size(), 1u) << (log.entries.empty() ? "" : log.entries[0].text);
        EXPECT_EQ(log.entries[0].level, System::Error);
        EXPECT_EQ(log.entries[0].text.rfind(start, 0), 0u) << log.entries[0].text;
        EXPECT_NE(log.entries[0].text.find(contains), std::string::npos) << log.entries[0].text;
        log.entries.clear();
    }

    std::string folder = Tests::MakeTempFolder("wavefile");
    RecordingLog log;
    Core::WaveFile file;
    Platform::WaveFormat format{};
    std::int64_t fileSize = -1;
    std::uint32_t dataSize = 0;
};

TEST_F(WaveFileReader, ReadsTheFormatAndExactlyTheDataChunk)
{
    WavFileBuilder::Format stereo;
    stereo.channels = 2;
    stereo.samplesPerSec = 32000;
    const std::vector<unsigned char> data = Ramp(1001);
    // Trailing bytes after the data chunk are not part of the samples.
    const auto bytes = WavFileBuilder(stereo).Data(data).Pad(50, 0xEE).Bytes();
    ASSERT_TRUE(Open(Save("stereo.wav", bytes)));
    EXPECT_EQ(fileSize, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(dataSize, 1001u);
    EXPECT_EQ(Samples(), data);
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSec, 32000u);
    EXPECT_EQ(format.avgBytesPerSec, 128000u);
    EXPECT_EQ(format.blockAlign, 4);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.extraSize, 0);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(WaveFileReader, SkipsALongerFormatChunkAndOtherChunks)
{
    // An 18-byte format chunk (with its extra-size field), then a LIST chunk, then "DATA".
    const std::vector<unsigned char> data = Ramp(300);
    const std::vector<unsigned char> list = Ramp(26);
    ASSERT_TRUE(Open(Save("chunks.wav", WavFileBuilder({}, 2).Chunk("LIST", list).Chunk("DATA", data).Bytes())));
    EXPECT_EQ(dataSize, 300u);
    EXPECT_EQ(Samples(), data);
    EXPECT_EQ(format.bitsPerSample, 16);
}

// An odd-sized chunk is followed by its pad byte (a 17-byte format chunk as much as any other);
// a writer that left the pad out is read too.
TEST_F(WaveFileReader, OddSizedChunksAreFollowedByTheirPadByte)
{
    const std::vector<unsigned char> data = Ramp(40);
    ASSERT_TRUE(Open(Save("odd.wav", WavFileBuilder({}).Chunk("junk", Ramp(3)).Pad(1).Data(data).Bytes())));
    EXPECT_EQ(Samples(), data);
    ASSERT_TRUE(Open(Save("unpadded.wav", WavFileBuilder({}).Chunk("junk", Ramp(3)).Data(data).Bytes())));
    EXPECT_EQ(Samples(), data);
    ASSERT_TRUE(Open(Save("format.wav", WavFileBuilder({}, 1).Pad(1).Data(data).Bytes())));
    EXPECT_EQ(Samples(), data);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(WaveFileReader, SizesBeyondTheEndOfTheFileFailWithoutReadingThem)
{
    // A data chunk that claims 4 GB in a file of a few bytes: no huge allocation, no read.
    auto bytes = WavFileBuilder({}).Chunk("data", 0xFFFFFFF0u, Ramp(16)).Bytes();
    EXPECT_FALSE(Open(Save("huge-data.wav", bytes)));
    ExpectOneEntry("The chunk \"data\"", "claims 4294967280 bytes where 16 are left");
    EXPECT_EQ(file.SampleCapacity(), 0u);
    EXPECT_EQ(dataSize, 0u);

    // One byte too many is as bad as four gigabytes.
    bytes = WavFileBuilder({}).Chunk("data", 17, Ramp(16)).Bytes();
    EXPECT_FALSE(Open(Save("one-over.wav", bytes)));
    ExpectOneEntry("The chunk \"data\"", "claims 17 bytes where 16 are left");

    // A chunk on the way, and the format chunk itself, are held to the same rule.
    bytes = WavFileBuilder({}).Chunk("LIS\x01", 0x7FFFFFFFu, Ramp(4)).Data(Ramp(4)).Bytes();
    EXPECT_FALSE(Open(Save("huge-list.wav", bytes)));
    ExpectOneEntry("The chunk \"LIS?\"");
    bytes = WavFileBuilder({}).Data(Ramp(4)).Bytes();
    bytes[16] = 0xFF, bytes[17] = 0xFF, bytes[18] = 0xFF, bytes[19] = 0xFF;
    EXPECT_FALSE(Open(Save("huge-format.wav", bytes)));
    ExpectOneEntry("The chunk \"fmt \"");
    bytes = WavFileBuilder({}).Data(Ramp(4)).Bytes();
    bytes[16] = 15;
    EXPECT_FALSE(Open(Save("short-format.wav", bytes)));
    ExpectOneEntry("The format chunk", "15 bytes long");
}

TEST_F(WaveFileReader, FilesWithoutDataOrCutShortFail)
{
    EXPECT_FALSE(Open(Save("no-data.wav", WavFileBuilder({}).Chunk("LIST", Ramp(8)).Bytes())));
    ExpectOneEntry("The audio file", "has no data chunk");
    // A header cut after four of its eight bytes is no chunk either.
    EXPECT_FALSE(Open(Save("cut-header.wav", WavFileBuilder({}).Pad(4).Bytes())));
    ExpectOneEntry("The audio file", "has no data chunk");
    std::vector<unsigned char> bytes = WavFileBuilder({}).Bytes();
    bytes.resize(35);
    EXPECT_FALSE(Open(Save("cut-format.wav", bytes)));
    ExpectOneEntry("The audio file", "35 bytes long, too short");
    EXPECT_FALSE(Open(Save("empty.wav", {})));
    ExpectOneEntry("The audio file", "is empty");
    EXPECT_EQ(fileSize, 0);
}

TEST_F(WaveFileReader, FailedSystemCallsNameTheCallAndTheFunction)
{
    EXPECT_FALSE(Open(folder + "missing.wav"));
    ExpectOneEntry("System error: Error calling open", "Core::WaveFile::OpenWaveFile");
    // Only a regular file is opened: a folder (or a FIFO) is refused at once.
    EXPECT_FALSE(Open(Tests::MakeTempFolder("wavefile-folder.wav")));
    ExpectOneEntry("System error: Error calling open", "Description: Not a regular file");
}

TEST_F(WaveFileReader, ReusesALargerBufferAndGrowsForALargerFile)
{
    ASSERT_TRUE(Open(Save("large.wav", WavFileBuilder({}).Data(Ramp(5000)).Bytes())));
    const unsigned char* buffer = file.SampleData();
    EXPECT_EQ(file.SampleCapacity(), 5000u);

    const std::vector<unsigned char> small(100, 0x42);
    ASSERT_TRUE(Open(Save("small.wav", WavFileBuilder({}).Data(small).Bytes())));
    EXPECT_EQ(file.SampleData(), buffer);
    EXPECT_EQ(file.SampleCapacity(), 5000u);
    EXPECT_EQ(dataSize, 100u);
    EXPECT_EQ(Samples(), small);

    const std::vector<unsigned char> larger = Ramp(6000);
    ASSERT_TRUE(Open(Save("larger.wav", WavFileBuilder({}).Data(larger).Bytes())));
    EXPECT_EQ(file.SampleCapacity(), 6000u);
    EXPECT_EQ(Samples(), larger);

    // An empty data chunk is a valid, silent click.
    ASSERT_TRUE(Open(Save("silent.wav", WavFileBuilder({}).Data({}).Bytes())));
    EXPECT_EQ(dataSize, 0u);
    EXPECT_EQ(file.SampleCapacity(), 6000u);
    EXPECT_TRUE(log.entries.empty());
}

}  // namespace
