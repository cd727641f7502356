#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Platform/AudioOutput.h"
#include "Platform/Clock.h"
#include "Platform/MultimediaResult.h"
#include "Platform/OfflineOutput.h"
#include "Platform/WaveOut.h"

namespace {

using Platform::WaveFormat;
using Platform::WaveHeader;
using Platform::WaveOut;

WaveFormat Format(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return WaveFormat{Platform::WaveFormatPcm, channels, rate, rate * align, align, bits, 0};
}

struct Done {
    std::atomic<int> opened{0}, done{0}, closed{0};
    std::atomic<WaveHeader*> last{nullptr};
};

void Callback(WaveOut*, std::uint32_t message, std::uintptr_t instance, std::uintptr_t parameter, std::uintptr_t)
{
    auto& done = *reinterpret_cast<Done*>(instance);
    if (message == Platform::WaveOutOpened)
        ++done.opened;
    else if (message == Platform::WaveOutDone) {
        done.last = reinterpret_cast<WaveHeader*>(parameter);
        ++done.done;
    } else if (message == Platform::WaveOutClosed)
        ++done.closed;
}

class WaveOutOnNullOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        _output.UseNullOutput(true);
        _output.SetNullCapture(&_capture);
    }
    std::uint32_t Open(const WaveFormat& format)
    {
        return WaveOut::Open(&_device, &format, &Callback, reinterpret_cast<std::uintptr_t>(&_done), _output);
    }
    // Writes the header to start `ahead` (ns) after the earliest frame it could; returns that frame.
    std::int64_t WriteAt(WaveHeader& header, std::int64_t ahead)
    {
        const std::int64_t frame = _output.LeadFrame() + std::llround(ahead * _output.SampleRate() / 1e9);
        EXPECT_EQ(WaveOut::Write(_device, &header, sizeof header, frame), Platform::MmNoError);
        return frame;
    }
    void WaitFor(const std::function<bool()>& condition)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(condition());
    }
    float Left(std::int64_t frame) const { return _capture[2 * frame]; }
    float Right(std::int64_t frame) const { return _capture[2 * frame + 1]; }

    Platform::AudioOutput _output;
    std::vector<float> _capture = std::vector<float>(2 * 44100 * 5);
    Done _done;
    WaveOut::Handle _device = nullptr;
};

TEST_F(WaveOutOnNullOutput, PlaysBuffersFromTheirStampedFrameWithoutAGapAndReportsThemDone)
{
    ASSERT_EQ(Open(Format(1, 44100, 16)), Platform::MmNoError);
    EXPECT_EQ(_done.opened, 1);
    std::vector<std::int16_t> first(300), second(200);
    for (int i = 0; i < 300; ++i)
        first[i] = static_cast<std::int16_t>(100 * (i + 1));
    for (int i = 0; i < 200; ++i)
        second[i] = static_cast<std::int16_t>(-100 * (i + 1));
    WaveHeader a, b;
    a.data = reinterpret_cast<char*>(first.data());
    a.bufferLength = 600;
    b.data = reinterpret_cast<char*>(second.data());
    b.bufferLength = 400;
    ASSERT_EQ(WaveOut::PrepareHeader(_device, &a, sizeof a), Platform::MmNoError);
    ASSERT_EQ(WaveOut::PrepareHeader(_device, &b, sizeof b), Platform::MmNoError);
    const std::int64_t start = WriteAt(a, 100'000'000);
    EXPECT_EQ(WaveOut::Write(_device, &b, sizeof b), Platform::MmNoError);
    EXPECT_EQ(WaveOut::Write(_device, &b, sizeof b), Platform::WaveStillPlaying);
    EXPECT_EQ(WaveOut::Close(_device), Platform::WaveStillPlaying);
    WaitFor([&] { return _done.done == 2 && _output.FramesCaptured() > start + 600; });
    EXPECT_TRUE(a.flags & Platform::HeaderDone);
    EXPECT_EQ(_done.last, &b);
    EXPECT_EQ(Left(start - 1), 0.0f);
    EXPECT_FLOAT_EQ(Left(start), 100 / 32768.0f);
    EXPECT_FLOAT_EQ(Right(start + 299), 30000 / 32768.0f);  // a mono device sounds on both sides
    EXPECT_FLOAT_EQ(Left(start + 300), -100 / 32768.0f);    // the second buffer follows at once
    EXPECT_FLOAT_EQ(Left(start + 499), -20000 / 32768.0f);
    EXPECT_EQ(Left(start + 500), 0.0f);
    EXPECT_EQ(WaveOut::UnprepareHeader(_device, &a, sizeof a), Platform::MmNoError);
    EXPECT_EQ(WaveOut::Close(_device), Platform::MmNoError);
    EXPECT_EQ(_done.closed, 1);
}

// 8-bit stereo at half the output's rate: each source frame becomes two output frames, the
// second halfway to the next source frame.
TEST_F(WaveOutOnNullOutput, ConvertsEightBitStereoAtAnotherRate)
{
    ASSERT_EQ(Open(Format(2, 22050, 8)), Platform::MmNoError);
    std::vector<unsigned char> data = {128 + 64, 128 - 64, 128, 128, 128 + 32, 128};
    WaveHeader header;
    header.data = reinterpret_cast<char*>(data.data());
    header.bufferLength = static_cast<std::uint32_t>(data.size());
    ASSERT_EQ(WaveOut::PrepareHeader(_device, &header, sizeof header), Platform::MmNoError);
    const std::int64_t start = WriteAt(header, 100'000'000);
    WaitFor([&] { return _done.done == 1 && _output.FramesCaptured() > start + 10; });
    EXPECT_FLOAT_EQ(Left(start), 0.5f);
    EXPECT_FLOAT_EQ(Right(start), -0.5f);
    EXPECT_FLOAT_EQ(Left(start + 1), 0.25f);
    EXPECT_FLOAT_EQ(Right(start + 1), -0.25f);
    EXPECT_FLOAT_EQ(Left(start + 2), 0.0f);
    EXPECT_FLOAT_EQ(Left(start + 4), 0.25f);
    EXPECT_EQ(WaveOut::Close(_device), Platform::MmNoError);
}

TEST_F(WaveOutOnNullOutput, ResetStopsAtOnceAndReturnsEveryBuffer)
{
    ASSERT_EQ(Open(Format(2, 44100, 16)), Platform::MmNoError);
    std::vector<std::int16_t> loud(2 * 44100, 8000);
    WaveHeader header, empty;
    header.data = reinterpret_cast<char*>(loud.data());
    header.bufferLength = static_cast<std::uint32_t>(loud.size() * 2);
    ASSERT_EQ(WaveOut::PrepareHeader(_device, &header, sizeof header), Platform::MmNoError);
    ASSERT_EQ(WaveOut::PrepareHeader(_device, &empty, sizeof empty), Platform::MmNoError);
    WriteAt(header, 0);
    EXPECT_EQ(WaveOut::Write(_device, &empty, sizeof empty), Platform::MmNoError);
    EXPECT_EQ(WaveOut::UnprepareHeader(_device, &header, sizeof header), Platform::WaveStillPlaying);
    WaitFor([&] { return _output.FramesCaptured() > 8000; });
    ASSERT_FALSE(header.flags & Platform::HeaderDone);  // a second of sound is still playing
    EXPECT_EQ(WaveOut::Reset(_device), Platform::MmNoError);
    EXPECT_TRUE(header.flags & Platform::HeaderDone);
    EXPECT_TRUE(empty.flags & Platform::HeaderDone);
    const std::int64_t after = _output.FramesCaptured() + 256;
    ASSERT_LT(after + 2000, 5 * 44100);
    WaitFor([&] { return _output.FramesCaptured() > after + 2000; });
    for (std::int64_t f = after; f < after + 2000; ++f)
        ASSERT_EQ(Left(f), 0.0f) << f;
    WaitFor([&] { return _done.done == 2; });
    EXPECT_EQ(WaveOut::Close(_device), Platform::MmNoError);
}

TEST_F(WaveOutOnNullOutput, CutWithoutWaitingLetsTheNextBufferStartOnItsFrame)
{
    ASSERT_EQ(Open(Format(1, 44100, 16)), Platform::MmNoError);
    std::vector<std::int16_t> loud(44100, 8000), next(100, -8000);
    WaveHeader playing, following, empty;
    playing.data = reinterpret_cast<char*>(loud.data());
    playing.bufferLength = static_cast<std::uint32_t>(loud.size() * 2);
    following.data = reinterpret_cast<char*>(next.data());
    following.bufferLength = static_cast<std::uint32_t>(next.size() * 2);
    for (WaveHeader* header : {&playing, &following, &empty})
        ASSERT_EQ(WaveOut::PrepareHeader(_device, header, sizeof *header), Platform::MmNoError);
    WriteAt(playing, 0);
    // A buffer with no frame in it is back at once, not behind the second of sound ahead of it.
    ASSERT_EQ(WaveOut::Write(_device, &empty, sizeof empty), Platform::MmNoError);
    EXPECT_TRUE(empty.flags & Platform::HeaderDone);
    WaitFor([&] { return _output.FramesCaptured() > 4000; });
    // The cut and the write go to the audio thread together: the new buffer starts afresh on
    // its own frame, and the old one stops before it and comes back done.
    ASSERT_EQ(WaveOut::Cut(_device), Platform::MmNoError);
    const std::int64_t start = WriteAt(following, 20'000'000);
    WaitFor([&] { return _done.done == 3 && _output.FramesCaptured() > start + 200; });
    EXPECT_TRUE(playing.flags & Platform::HeaderDone);
    EXPECT_EQ(Left(start - 1), 0.0f);
    EXPECT_FLOAT_EQ(Left(start), -8000 / 32768.0f);
    EXPECT_EQ(Left(start + 100), 0.0f);
    EXPECT_EQ(WaveOut::Close(_device), Platform::MmNoError);
}

// A sound's last buffer is read a frame or two before its last frame is mixed. A write for
// another frame coming just then (a click written to a player whose last click has all but
// ended) starts on its own frame: not carried on right after the last one, nor left unplayed.
TEST(WaveOut, ASoundWrittenAsTheLastOneEndsStartsOnItsOwnFrame)
{
    std::vector<std::int16_t> first(100, 8000), second(50, -8000);
    const WaveFormat format = Format(1, 44100, 16);
    for (const int blockEnd : {108, 109, 110}) {
        Platform::OfflineOutput output(44100);
        Done done;
        WaveOut::Handle device = nullptr;
        ASSERT_EQ(WaveOut::OpenOffline(&device, &format, &Callback, reinterpret_cast<std::uintptr_t>(&done), output),
                  Platform::MmNoError);
        WaveHeader a, b;
        a.data = reinterpret_cast<char*>(first.data());
        a.bufferLength = 200;
        b.data = reinterpret_cast<char*>(second.data());
        b.bufferLength = 100;
        ASSERT_EQ(WaveOut::PrepareHeader(device, &a, sizeof a), Platform::MmNoError);
        ASSERT_EQ(WaveOut::PrepareHeader(device, &b, sizeof b), Platform::MmNoError);
        std::vector<float> mixed(2 * 500);
        ASSERT_EQ(WaveOut::Write(device, &a, sizeof a, 10), Platform::MmNoError);
        output.GetMixer().Render(mixed.data(), blockEnd);
        ASSERT_EQ(WaveOut::Write(device, &b, sizeof b, 300), Platform::MmNoError);
        output.GetMixer().Render(mixed.data() + 2 * blockEnd, 500 - blockEnd);
        for (int f = 10; f < 108; ++f)
            ASSERT_FLOAT_EQ(mixed[2 * f], 8000 / 32768.0f) << blockEnd << ": " << f;
        for (int f = 110; f < 300; ++f)
            ASSERT_EQ(mixed[2 * f], 0.0f) << blockEnd << ": " << f;
        for (int f = 300; f < 350; ++f)
            ASSERT_FLOAT_EQ(mixed[2 * f], -8000 / 32768.0f) << blockEnd << ": " << f;
        EXPECT_EQ(mixed[2 * 350], 0.0f);
        EXPECT_EQ(WaveOut::Close(device), Platform::MmNoError);
    }
}

TEST(WaveOut, RefusesBadFormatsHandlesAndHeaders)
{
    WaveOut::Handle device = nullptr;
    WaveFormat format = Format(2, 44100, 12);
    EXPECT_EQ(WaveOut::Open(&device, &format, nullptr, 0), Platform::WaveBadFormat);
    EXPECT_EQ(device, nullptr);
    format = Format(2, 44100, 16);
    format.blockAlign = 3;
    EXPECT_EQ(WaveOut::Open(&device, &format, nullptr, 0), Platform::WaveBadFormat);
    EXPECT_EQ(WaveOut::Open(&device, nullptr, nullptr, 0), Platform::MmInvalidParameter);
    WaveHeader header;
    EXPECT_EQ(WaveOut::Write(nullptr, &header, sizeof header), Platform::MmInvalidHandle);
    EXPECT_EQ(WaveOut::Reset(nullptr), Platform::MmInvalidHandle);
    EXPECT_EQ(WaveOut::Close(nullptr), Platform::MmInvalidHandle);

    Platform::AudioOutput output;
    output.UseNullOutput(true);
    format = Format(1, 48000, 24);
    ASSERT_EQ(WaveOut::Open(&device, &format, nullptr, 0, output), Platform::MmNoError);
    EXPECT_EQ(WaveOut::Write(device, &header, sizeof header), Platform::WaveUnprepared);
    EXPECT_EQ(WaveOut::PrepareHeader(device, &header, sizeof header - 1), Platform::MmInvalidParameter);
    header.bufferLength = 10;  // a length without data
    EXPECT_EQ(WaveOut::PrepareHeader(device, &header, sizeof header), Platform::MmInvalidParameter);
    EXPECT_EQ(WaveOut::Close(device), Platform::MmNoError);
}

}  // namespace
