#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "Core/VerifyAudioFile.h"
#include "Platform/Text.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "Support/WavFileBuilder.h"

namespace {

using Tests::RecordingLog;
using Tests::WavFileBuilder;

int Verify(const std::string& path)
{
    return Core::VerifyAudioFile(Platform::Text::Utf8ToUtf16(path).c_str());
}

// A well-formed file of exactly `fileSize` bytes with the given rate and sample size.
std::string MakeFile(const std::string& name, std::uint32_t rate, std::uint16_t bits, std::size_t fileSize)
{
    const std::string path = Tests::MakeTempFolder("verify") + name;
    WavFileBuilder::Format format;
    format.samplesPerSec = rate;
    format.bitsPerSample = bits;
    WavFileBuilder builder(format);
    const std::size_t header = builder.Bytes().size() + 8;
    builder.Data(std::vector<unsigned char>(fileSize - header, 0x80));
    EXPECT_TRUE(builder.Save(path));
    return path;
}

TEST(VerifyAudioFile, AcceptsSmallFilesAtOrBelowCdRate)
{
    RecordingLog log;
    EXPECT_EQ(Verify(MakeFile("cd.wav", 44100, 16, 30000)), Core::AudioFileAcceptable);
    EXPECT_EQ(Verify(MakeFile("low.wav", 22050, 8, 100 * 1024)), Core::AudioFileAcceptable);
    EXPECT_EQ(Verify(MakeFile("limit.wav", 44100, 16, 1048576)), Core::AudioFileAcceptable);
    EXPECT_TRUE(log.entries.empty());
}

TEST(VerifyAudioFile, FilesAboveOneMegabyteAreUsableButLarge)
{
    EXPECT_EQ(Verify(MakeFile("just-over.wav", 44100, 16, 1048577)), Core::AudioFileLarge);
    EXPECT_EQ(Verify(MakeFile("two-mb.wav", 44100, 16, 2 * 1048576)), Core::AudioFileLarge);
    EXPECT_TRUE(Core::IsUsableAudioFile(Core::AudioFileLarge));
    EXPECT_TRUE(Core::IsUsableAudioFile(Core::AudioFileAcceptable));
    for (int code = 1; code <= 5; ++code)
        EXPECT_FALSE(Core::IsUsableAudioFile(code)) << code;
    EXPECT_FALSE(Core::IsUsableAudioFile(Core::AudioFileInvalid));
}

TEST(VerifyAudioFile, RateAndSampleSizeAreTestedBeforeTheSize)
{
    EXPECT_EQ(Verify(MakeFile("48k.wav", 48000, 16, 4000)), Core::AudioFileInvalid);
    EXPECT_EQ(Verify(MakeFile("48k-large.wav", 48000, 16, 2 * 1048576)), Core::AudioFileInvalid);
    EXPECT_EQ(Verify(MakeFile("24bit.wav", 44100, 24, 4000)), Core::AudioFileInvalid);
    EXPECT_EQ(Verify(MakeFile("44101.wav", 44101, 16, 4000)), Core::AudioFileInvalid);
}

TEST(VerifyAudioFile, MissingFileLeavesNothingInTheLog)
{
    RecordingLog log;
    EXPECT_EQ(Verify(Tests::MakeTempFolder("verify-missing") + "nowhere.wav"), Core::AudioFileMissing);
    EXPECT_TRUE(log.entries.empty());
}

TEST(VerifyAudioFile, FileThatCannotBeOpenedIsLoggedAsASystemError)
{
    // A socket exists in the file system but refuses open(), even for a privileged user.
    const std::string path = Tests::MakeTempFolder("verify-socket") + "click.wav";
    int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    RecordingLog log;
    EXPECT_EQ(Verify(path), Core::AudioFileNotOpened);
    ::close(listener);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].level, System::Error);
    EXPECT_EQ(log.entries[0].text.rfind("System error: Error calling open", 0), 0u) << log.entries[0].text;
    EXPECT_NE(log.entries[0].text.find("Core::VerifyAudioFile"), std::string::npos);
}

// A FIFO (with no writer, whose open would block) or a folder under a voice's name: refused at
// once as not a regular file, nothing hangs.
TEST(VerifyAudioFile, AnythingButARegularFileIsNotOpened)
{
    const std::string path = Tests::MakeTempFolder("verify-fifo") + "click.wav";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    RecordingLog log;
    EXPECT_EQ(Verify(path), Core::AudioFileNotOpened);
    EXPECT_EQ(Verify(Tests::MakeTempFolder("verify-folder.wav")), Core::AudioFileNotOpened);
    ASSERT_EQ(log.entries.size(), 2u);
    for (const auto& entry : log.entries) {
        EXPECT_EQ(entry.text.rfind("System error: Error calling open", 0), 0u) << entry.text;
        EXPECT_NE(entry.text.find("Not a regular file"), std::string::npos) << entry.text;
    }
}

TEST(VerifyAudioFile, UnreadableOrTruncatedHeaderGivesFive)
{
    RecordingLog log;
    // A file that ends inside its format block is not judged on bytes that are not there.
    const std::string path = Tests::MakeTempFolder("verify-short") + "short.wav";
    std::vector<unsigned char> bytes = WavFileBuilder({}).Bytes();
    bytes.resize(30);
    ASSERT_TRUE(WavFileBuilder::Save(path, bytes));
    EXPECT_EQ(Verify(path), Core::AudioFileHeaderUnreadable);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_NE(log.entries[0].text.find("ends after 30 bytes"), std::string::npos) << log.entries[0].text;

    log.entries.clear();
    ASSERT_TRUE(WavFileBuilder::Save(path, {}));
    EXPECT_EQ(Verify(path), Core::AudioFileHeaderUnreadable);
    EXPECT_EQ(log.entries.size(), 1u);
}

}  // namespace
