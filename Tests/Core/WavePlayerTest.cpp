#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Core/WaveFile.h"
#include "Core/WavePlayer.h"
#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/Text.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"
#include "System/MultimediaError.h"

namespace {

using Core::WaveFile;
using Core::WavePlayer;
using Tests::WavFileBuilder;

void WaitFor(const std::function<bool()>& condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(condition());
}

bool AllHeadersDone(const WavePlayer& player)
{
    for (int i = 0; i < WavePlayer::BufferCount; ++i)
        if (!(player.Header(i).flags.load() & Platform::HeaderDone))
            return false;
    return true;
}

std::vector<std::int16_t> Ramp16(std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<int>((i * 37) % 60000) - 30000);
    return samples;
}

TEST(WavePlayerScaling, SixteenBitSamplesAreScaledAndTruncatedTowardZero)
{
    const std::vector<std::int16_t> samples = {-32768, -3, -1, 0, 1, 3, 32767, 12345};
    std::vector<unsigned char> bytes(2 * samples.size() + 1);
    std::memcpy(bytes.data(), samples.data(), 2 * samples.size());
    bytes.back() = 0x5A;  // an odd trailing byte is kept as it is
    std::vector<unsigned char> copy(bytes.size());

    WavePlayer::ScaleSamples(bytes.data(), copy.data(), static_cast<std::uint32_t>(bytes.size()), 16, 127);
    EXPECT_EQ(copy, bytes);

    WavePlayer::ScaleSamples(bytes.data(), copy.data(), static_cast<std::uint32_t>(bytes.size()), 16, 64);
    std::vector<std::int16_t> scaled(samples.size());
    std::memcpy(scaled.data(), copy.data(), 2 * samples.size());
    EXPECT_EQ(scaled, (std::vector<std::int16_t>{-16513, -1, 0, 0, 0, 1, 16512, 6221}));
    EXPECT_EQ(copy.back(), 0x5A);

    WavePlayer::ScaleSamples(bytes.data(), copy.data(), static_cast<std::uint32_t>(bytes.size()), 16, 0);
    std::memcpy(scaled.data(), copy.data(), 2 * samples.size());
    EXPECT_EQ(scaled, std::vector<std::int16_t>(samples.size(), 0));
}

TEST(WavePlayerScaling, EightBitSamplesAreUnsignedAroundTheirMiddle)
{
    const std::vector<unsigned char> samples = {0, 1, 127, 128, 129, 200, 255};
    std::vector<unsigned char> copy(samples.size());
    WavePlayer::ScaleSamples(samples.data(), copy.data(), 7, 8, 127);
    EXPECT_EQ(copy, samples);
    WavePlayer::ScaleSamples(samples.data(), copy.data(), 7, 8, 64);
    // -128 * 64/127 = -64.5 -> -64; 127 * 64/127 = 64; silence stays silence.
    EXPECT_EQ(copy, (std::vector<unsigned char>{64, 64, 128, 128, 128, 164, 192}));
    WavePlayer::ScaleSamples(samples.data(), copy.data(), 7, 8, 0);
    EXPECT_EQ(copy, std::vector<unsigned char>(7, 128));
}

TEST(WaveFilePool, PlayerCountGrowsWithFileLengthAndIsCapped)
{
    EXPECT_EQ(WaveFile::PlayerCountFor(30000, 3), 3);
    EXPECT_EQ(WaveFile::PlayerCountFor(102399, 3), 3);
    EXPECT_EQ(WaveFile::PlayerCountFor(102400, 3), 4);
    EXPECT_EQ(WaveFile::PlayerCountFor(250000, 6), 8);
    EXPECT_EQ(WaveFile::PlayerCountFor(5 * 1048576, 3), 20);
    EXPECT_EQ(WaveFile::PlayerCountFor(0, 25), 20);
}

// Files and players on the null output, which captures what it plays.
class WaveFileOnNullOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        Platform::AudioOutput::Instance().UseNullOutput(true);
        Platform::AudioOutput::Instance().SetNullCapture(&capture);
    }
    void TearDown() override
    {
        Platform::AudioOutput::Instance().SetNullCapture(nullptr);
        Platform::AudioOutput::Instance().UseNullOutput(false);
    }

    std::u16string Save(const std::string& name, const WavFileBuilder& builder)
    {
        const std::string path = folder + name;
        EXPECT_TRUE(builder.Save(path));
        return Platform::Text::Utf8ToUtf16(path);
    }
    std::u16string Click16(const std::string& name, const std::vector<std::int16_t>& samples)
    {
        return Save(name, WavFileBuilder({}).Samples16(samples));
    }
    static std::uint64_t TotalStreamed(const WaveFile& file)
    {
        std::uint64_t total = 0;
        for (int i = 0; i < file.PlayersInUse(); ++i)
            total += file.Players()[i].Streamed();
        return total;
    }

    std::string folder = Tests::MakeTempFolder("waveplayer");
    std::vector<float> capture = std::vector<float>(2 * 44100 * 2);
};

TEST_F(WaveFileOnNullOutput, PlayersAreUsedInTurnAndEachStreamsItsClick)
{
    WaveFile file;
    ASSERT_TRUE(file.PreparePlayers(Click16("short.wav", Ramp16(1000)).c_str(), 3));
    EXPECT_EQ(file.PlayersInUse(), 3);
    EXPECT_EQ(file.LastUsed(), -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(file.Players()[i].IsOpen());

    std::vector<int> order;
    for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(file.Play(127));
        order.push_back(file.LastUsed());
        const std::uint64_t expected = static_cast<std::uint64_t>(k + 1);
        WaitFor([&] { return TotalStreamed(file) == expected; });
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(file.Players()[0].Streamed(), 2u);
    EXPECT_EQ(file.Players()[1].Streamed(), 1u);
    EXPECT_EQ(file.GetLastResult(), 0u);
}

TEST_F(WaveFileOnNullOutput, ClickIsWrittenAsFullBuffersThenTheRestThenEmptyBuffers)
{
    // 10,000 bytes: one full buffer of 8,192, one of 1,808 followed by zero bytes, and the
    // ten other buffers written empty.
    const std::vector<std::int16_t> samples = Ramp16(5000);
    WaveFile file;
    ASSERT_TRUE(file.PreparePlayers(Click16("click.wav", samples).c_str(), 1));
    const WavePlayer& player = file.Players()[0];
    // Make the buffers dirty first, so that the zero bytes are really written.
    ASSERT_TRUE(file.Play(127));
    WaitFor([&] { return player.Streamed() == 1 && AllHeadersDone(player); });

    ASSERT_TRUE(file.Play(127));
    WaitFor([&] { return player.Streamed() == 2 && AllHeadersDone(player); });
    EXPECT_EQ(player.Header(0).bufferLength, 8192u);
    EXPECT_EQ(std::memcmp(player.Buffer(0), samples.data(), 8192), 0);
    EXPECT_EQ(player.Header(1).bufferLength, 1808u);
    EXPECT_EQ(std::memcmp(player.Buffer(1), reinterpret_cast<const unsigned char*>(samples.data()) + 8192, 1808), 0);
    for (std::uint32_t b = 1808; b < 8192; ++b)
        ASSERT_EQ(player.Buffer(1)[b], 0) << b;
    for (int i = 2; i < WavePlayer::BufferCount; ++i)
        EXPECT_EQ(player.Header(i).bufferLength, 0u) << i;
}

TEST_F(WaveFileOnNullOutput, OnlyThePlayerThatPlaysRescalesItsCopy)
{
    // 20,000 bytes: the copy is rescaled buffer by buffer as it is streamed.
    const std::vector<std::int16_t> samples = Ramp16(10000);
    WaveFile file;
    ASSERT_TRUE(file.PreparePlayers(Click16("rescale.wav", samples).c_str(), 3));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(file.Players()[i].ScaledVolume(), WavePlayer::Unscaled);
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(file.Play(127));
    WaitFor([&] { return TotalStreamed(file) == 3; });

    ASSERT_TRUE(file.Play(64));
    WaitFor([&] { return TotalStreamed(file) == 4; });
    EXPECT_EQ(file.Players()[0].ScaledVolume(), 64);
    EXPECT_EQ(file.Players()[1].ScaledVolume(), 127);
    EXPECT_EQ(file.Players()[2].ScaledVolume(), 127);
    std::vector<unsigned char> expected(20000);
    WavePlayer::ScaleSamples(reinterpret_cast<const unsigned char*>(samples.data()), expected.data(), 20000, 16, 64);
    EXPECT_EQ(std::memcmp(file.Players()[0].ScaledCopy(), expected.data(), 20000), 0);
    EXPECT_EQ(std::memcmp(file.Players()[1].ScaledCopy(), samples.data(), 20000), 0);

    ASSERT_TRUE(file.Play(64));
    WaitFor([&] { return TotalStreamed(file) == 5; });
    EXPECT_EQ(file.Players()[1].ScaledVolume(), 64);
    EXPECT_EQ(file.Players()[2].ScaledVolume(), 127);
}

TEST_F(WaveFileOnNullOutput, ClickStartsAtTheTimeItWasAskedForAtItsVolume)
{
    std::vector<std::int16_t> samples(400, 16384);
    WaveFile file;
    ASSERT_TRUE(file.PreparePlayers(Click16("placed.wav", samples).c_str(), 2));
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    WaitFor([&] { return output.NullStartTime() != 0; });

    // Asked for a frame 150 ms ahead, as a tick names its frame.
    const std::int64_t start = output.LeadFrame() + 6615;
    ASSERT_TRUE(file.Play(127, start));
    WaitFor([&] { return output.FramesCaptured() > start + 500; });
    EXPECT_EQ(capture[2 * (start - 1)], 0.0f);
    EXPECT_FLOAT_EQ(capture[2 * start], 0.5f);
    EXPECT_FLOAT_EQ(capture[2 * (start + 399)], 0.5f);
    EXPECT_EQ(capture[2 * (start + 400)], 0.0f);
}

TEST_F(WaveFileOnNullOutput, NextTurnOfAPlayerCutsItsPreviousClick)
{
    // One player, a click of 0.4 s, asked for again 0.1 s after it began: the first is cut
    // (never doubled up with the second) and the second plays whole.
    std::vector<std::int16_t> samples(17640, 8192);
    WaveFile file;
    ASSERT_TRUE(file.PreparePlayers(Click16("long.wav", samples).c_str(), 1));
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    WaitFor([&] { return output.NullStartTime() != 0; });
    const std::int64_t first = output.LeadFrame() + 4410;
    ASSERT_TRUE(file.Play(127, first));
    WaitFor([&] { return file.Players()[0].Streamed() == 1; });
    const std::int64_t secondStart = first + 4410;
    WaitFor([&] { return output.LeadFrame() > secondStart - 1000; });
    ASSERT_TRUE(file.Play(127, secondStart));
    WaitFor([&] { return output.FramesCaptured() > secondStart + 17640 + 100; });
    for (std::int64_t f = first; f < secondStart + 17640 + 100; ++f)
        ASSERT_LE(capture[2 * f], 0.25f + 1e-6f) << f;
    EXPECT_FLOAT_EQ(capture[2 * secondStart], 0.25f);
    EXPECT_FLOAT_EQ(capture[2 * (secondStart + 17639)], 0.25f);
    EXPECT_EQ(capture[2 * (secondStart + 17640)], 0.0f);
    // The first click was cut before the second began: silence in between.
    EXPECT_EQ(capture[2 * (secondStart - 1)], 0.0f);
}

TEST_F(WaveFileOnNullOutput, PoolIsReusedWhenLargeEnoughAndClosingLeavesItInPlace)
{
    WaveFile file;
    const std::u16string path = Click16("pool.wav", Ramp16(2000));
    ASSERT_TRUE(file.PreparePlayers(path.c_str(), 8));
    const WavePlayer* players = file.Players();
    const unsigned char* samples = file.SampleData();
    EXPECT_EQ(file.PlayersAllocated(), 8);

    file.ClosePlayers();
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(file.Players()[i].IsOpen());
    EXPECT_EQ(file.Players(), players);

    ASSERT_TRUE(file.PreparePlayers(path.c_str(), 3));
    EXPECT_EQ(file.Players(), players);
    EXPECT_EQ(file.SampleData(), samples);
    EXPECT_EQ(file.PlayersInUse(), 3);
    EXPECT_EQ(file.PlayersAllocated(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(file.Players()[i].IsOpen(), i < 3) << i;

    ASSERT_TRUE(file.PreparePlayers(path.c_str(), 10));
    EXPECT_EQ(file.PlayersAllocated(), 10);
    EXPECT_EQ(file.PlayersInUse(), 10);

    // An empty path leaves the file as it is.
    ASSERT_TRUE(file.PreparePlayers(u"", 2));
    EXPECT_EQ(file.PlayersInUse(), 10);
}

TEST_F(WaveFileOnNullOutput, PlayWithoutADeviceFailsWithItsOwnCode)
{
    Tests::RecordingLog log;
    WaveFile file;
    EXPECT_FALSE(file.Play(100));
    EXPECT_EQ(file.GetLastResult(), System::NoAudioFileResult);
    ASSERT_TRUE(file.PreparePlayers(Click16("closed.wav", Ramp16(100)).c_str(), 2));
    file.ClosePlayers();
    EXPECT_FALSE(file.Play(100));
    EXPECT_EQ(file.LastUsed(), 0);
    EXPECT_EQ(file.GetLastResult(), System::NoAudioFileResult);
    ASSERT_EQ(log.entries.size(), 2u);
    for (const auto& entry : log.entries) {
        EXPECT_EQ(entry.level, System::Warn);
        EXPECT_EQ(entry.text, "Attempting to play sound when _waveOutHandle not initialised");
    }
}

TEST_F(WaveFileOnNullOutput, UnplayableFormatFailsThePreparationWithTheDevicesCode)
{
    Tests::RecordingLog log;
    WavFileBuilder::Format format;
    format.bitsPerSample = 12;
    WaveFile file;
    EXPECT_FALSE(file.PreparePlayers(
        Save("twelve.wav", WavFileBuilder(format).Data(std::vector<unsigned char>(90))).c_str(), 2));
    EXPECT_EQ(file.LastUsed(), 0);
    EXPECT_EQ(file.GetLastResult(), 32u);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].text.rfind("Multimedia error: Error calling WaveOut::Open", 0), 0u);
    EXPECT_NE(log.entries[0].text.find("Core::WavePlayer::OpenAudioDevice"), std::string::npos);
}

TEST_F(WaveFileOnNullOutput, ClosingOrDestroyingWhileAClickStreamsWaitsForTheThread)
{
    // Long clicks keep every player's thread streaming; closing and destroying must not free
    // the buffers under them (AddressSanitizer watches this).
    const std::u16string path = Click16("stream.wav", Ramp16(300000));
    for (int round = 0; round < 3; ++round) {
        auto file = std::make_unique<WaveFile>();
        ASSERT_TRUE(file->PreparePlayers(path.c_str(), 1));
        ASSERT_EQ(file->PlayersInUse(), 6);
        for (int k = 0; k < 6; ++k)
            ASSERT_TRUE(file->Play(100 - k));
        if (round == 0) {
            file->ClosePlayers();
        } else if (round == 1) {
            ASSERT_TRUE(file->PreparePlayers(path.c_str(), 1));  // rereads the buffer the threads read
        }
        file.reset();
    }
}

}  // namespace
