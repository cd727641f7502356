#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "Platform/File.h"
#include "Platform/Text.h"
#include "Support/TestEnvironment.h"
#include "System/LogFile.h"

using System::LogFile;

namespace {

// 18:05:09 on 7 March 2014, the local time of every line written by these tests.
Platform::LocalTime FixedTime()
{
    return Platform::LocalTime{7, 3, 2014, 18, 5, 9};
}

constexpr const char* Stamp = "Date: 07/03/2014  Time: 18:05:09  ";

std::string Contents(const std::string& path)
{
    std::string contents;
    Platform::File::ReadAll(path, contents);
    return contents;
}

void WriteBytes(const std::string& path, std::size_t size)
{
    Platform::File file;
    ASSERT_TRUE(file.Open(path, Platform::File::Mode::CreateTruncate));
    ASSERT_TRUE(file.Write(std::string(size, 'o').data(), size));
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        _folder = Tests::MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        _path = _folder + "Ticova.log";
    }
    void TearDown() override { System::SetLogForTesting(nullptr); }

    std::string _folder;
    std::string _path;
};

}  // namespace

TEST_F(LogFileTest, WritesTheExactLineWithLevelWordAndCrLf)
{
    LogFile log(_path, FixedTime);
    log.Write(3, "Invalid length for key in configuration file");
    log.Write(4, "%s %d%%", "Played", 5);
    EXPECT_EQ(Contents(_path),
              std::string(Stamp) + "[Error]  Invalid length for key in configuration file\r\n" + Stamp +
                  "[Warn]  Played 5%\r\n");
}

TEST_F(LogFileTest, EveryLevelHasItsWordAndTheThresholdDropsHigherLevels)
{
    LogFile log(_path, FixedTime);
    log.SetLevel(7);
    for (int level = 0; level <= 7; ++level)
        log.Write(level, "m");
    const char* const words[] = {"Emergency", "Alert", "Critical", "Error", "Warn", "Notice", "Information", "Debug"};
    std::string expected;
    for (const char* word : words)
        expected += std::string(Stamp) + "[" + word + "]  m\r\n";
    EXPECT_EQ(Contents(_path), expected);

    // A fresh log keeps level 6 and drops level 7; a lower threshold drops more.
    std::filesystem::remove(_path);
    LogFile fresh(_path, FixedTime);
    fresh.Write(7, "debug");
    fresh.WriteWide(7, L"debug");
    fresh.Write(6, "information");
    fresh.SetLevel(3);
    fresh.Write(4, "warning");
    fresh.WriteWide(4, L"warning");
    fresh.Write(3, "error");
    EXPECT_EQ(Contents(_path), std::string(Stamp) + "[Information]  information\r\n" + Stamp + "[Error]  error\r\n");
}

TEST_F(LogFileTest, WideMessagesAreConvertedAndNotFormattedTwice)
{
    LogFile log(_path, FixedTime);
    log.WriteWide(3, L"Cannot open %ls (%d)", L"/home/me/100%s \u00E9t\u00E9.wav", 2);
    EXPECT_EQ(Contents(_path),
              std::string(Stamp) + "[Error]  Cannot open /home/me/100%s \xC3\xA9t\xC3\xA9.wav (2)\r\n");
}

TEST_F(LogFileTest, LongLinesAreCutTo1024BytesAndKeepTheirLineBreak)
{
    LogFile log(_path, FixedTime);
    log.Write(3, "%s", std::string(2000, 'x').c_str());
    log.WriteWide(4, L"%ls", std::wstring(3000, L'\u00E9').c_str());
    log.Write(3, "next");
    const std::string contents = Contents(_path);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < contents.size();) {
        std::size_t end = contents.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(contents.substr(at, end + 2 - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 3u);
    // The whole line with its zero fills the buffer exactly.
    EXPECT_EQ(lines[0].size(), LogFile::LineCapacity - 1);
    EXPECT_EQ(lines[0].rfind(std::string(Stamp) + "[Error]  xxx", 0), 0u);
    // Two-byte characters are cut between characters: after the odd-length "[Warn]" stamp only an
    // even number of bytes fits, so the line stays valid UTF-8 one byte short of the buffer.
    EXPECT_EQ(lines[1].size(), LogFile::LineCapacity - 2);
    EXPECT_EQ(Platform::Text::Utf16ToUtf8(Platform::Text::Utf8ToUtf16(lines[1])), lines[1]);
    EXPECT_EQ(lines[2], std::string(Stamp) + "[Error]  next\r\n");
}

TEST_F(LogFileTest, RotatesAbove2MegabytesToAFileNamedAfterTheLocalTime)
{
    LogFile log(_path, FixedTime);
    const std::string rotated = _folder + "07032014180509.log";

    // Exactly 2 MB is not yet over the limit.
    WriteBytes(_path, 2097152);
    log.Write(3, "kept");
    EXPECT_FALSE(std::filesystem::exists(rotated));
    EXPECT_GT(std::filesystem::file_size(_path), 2097152u);

    log.Write(3, "first of the new file");
    EXPECT_EQ(Contents(_path), std::string(Stamp) + "[Error]  first of the new file\r\n");
    const std::string old = Contents(rotated);
    EXPECT_EQ(old.size(), 2097152u + std::string(Stamp).size() + std::string("[Error]  kept\r\n").size());
    EXPECT_EQ(old.substr(old.size() - 6), "kept\r\n");
}

TEST_F(LogFileTest, SecondRotationInTheSameSecondKeepsAppendingToTheOverSizeFile)
{
    LogFile log(_path, FixedTime);
    const std::string rotated = _folder + "07032014180509.log";
    WriteBytes(_path, 2097153);
    log.Write(3, "one");
    ASSERT_EQ(std::filesystem::file_size(rotated), 2097153u);

    WriteBytes(_path, 2097160);
    log.Write(3, "two");
    // The rename found its name taken: nothing was replaced, the line went to the big file.
    EXPECT_EQ(std::filesystem::file_size(rotated), 2097153u);
    const std::string line = std::string(Stamp) + "[Error]  two\r\n";
    const std::string contents = Contents(_path);
    EXPECT_EQ(contents.size(), 2097160u + line.size());
    EXPECT_EQ(contents.substr(2097160), line);
}

TEST_F(LogFileTest, ANonWritableLogLosesTheLineQuietly)
{
    LogFile log(_folder + "missing-folder/Ticova.log", FixedTime);
    log.Write(3, "lost");
    EXPECT_FALSE(std::filesystem::exists(_folder + "missing-folder"));
}

// Another user who can write the folder cannot make the log append to a file of the user's
// through a link, nor hang the program with a FIFO under the log's name.
TEST_F(LogFileTest, LinksAndFifosInPlaceOfTheLogAreNotWrittenThrough)
{
    const std::string victim = _folder + "victim";
    WriteBytes(victim, 3);
    std::filesystem::create_symlink(victim, _path);
    LogFile log(_path, FixedTime);
    log.Write(3, "through the link");
    EXPECT_EQ(Contents(victim), "ooo");

    std::filesystem::remove(_path);
    ASSERT_EQ(::mkfifo(_path.c_str(), 0600), 0);
    log.Write(3, "into the pipe");  // returns at once
    EXPECT_TRUE(std::filesystem::is_fifo(_path));
}

// The log tells which files the user plays and when: it is the user's alone, as the settings are.
TEST_F(LogFileTest, TheLogIsPrivateToTheUser)
{
    LogFile log(_path, FixedTime);
    log.Write(3, "private");
    struct stat status {};
    ASSERT_EQ(::stat(_path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(LogFileTest, SystemErrorEntryHasTheMultiLineShape)
{
    LogFile log(_path, FixedTime);
    System::SetLogForTesting(&log);
    errno = ENOENT;
    System::ReportSystemError("Src/Core/WaveFile", "Core::WaveFile::OpenWaveFile", 42, "Error calling %s", "open");
    System::ReportSystemErrorCode(EPERM, "Src/Core/Timer", "Core::Timer::SetThreadPriority", 7,
                                  "Error calling pthread_setschedparam");
    EXPECT_EQ(Contents(_path),
              std::string(Stamp) +
                  "[Error]  System error: Error calling open\r\n"
                  "\tFile: Src/Core/WaveFile\r\n"
                  "\tFunction: Core::WaveFile::OpenWaveFile\r\n"
                  "\tLine: 42\r\n"
                  "\tError Code 2\r\n"
                  "\tDescription: No such file or directory\r\n" +
                  Stamp +
                  "[Error]  System error: Error calling pthread_setschedparam\r\n"
                  "\tFile: Src/Core/Timer\r\n"
                  "\tFunction: Core::Timer::SetThreadPriority\r\n"
                  "\tLine: 7\r\n"
                  "\tError Code 1\r\n"
                  "\tDescription: Operation not permitted\r\n");
}

TEST_F(LogFileTest, SystemErrorMessageIsCutAt255Characters)
{
    LogFile log(_path, FixedTime);
    System::SetLogForTesting(&log);
    System::ReportSystemErrorCode(ENOENT, "F", "G", 1, "%s", std::string(400, 'm').c_str());
    const std::string contents = Contents(_path);
    EXPECT_NE(contents.find("System error: " + std::string(255, 'm') + "\r\n\tFile: F\r\n"), std::string::npos);
}

TEST_F(LogFileTest, ThreadStartErrorIsOneLineAndReturnsFalse)
{
    LogFile log(_path, FixedTime);
    System::SetLogForTesting(&log);
    EXPECT_FALSE(System::ReportThreadStartError(EAGAIN));
    EXPECT_EQ(Contents(_path),
              std::string(Stamp) + "[Error]  Error calling pthread_create: Resource temporarily unavailable\r\n");
}

TEST_F(LogFileTest, LinesFromConcurrentWritersNeverInterleave)
{
    LogFile log(_path, FixedTime);
    constexpr int writers = 4;
    constexpr int linesEach = 100;
    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer)
        threads.emplace_back([&log, writer] {
            // Long lines make a torn write likely to show if appends were not exclusive.
            const std::string padding(600, static_cast<char>('a' + writer));
            for (int n = 0; n < linesEach; ++n)
                log.Write(3, "writer %d line %d %s", writer, n, padding.c_str());
        });
    for (std::thread& thread : threads)
        thread.join();

    std::istringstream contents(Contents(_path));
    const std::regex shape(R"(Date: 07/03/2014  Time: 18:05:09  \[Error\]  writer (\d) line (\d+) ([a-d])\3{599}\r)");
    std::set<std::pair<int, int>> seen;
    std::string line;
    while (std::getline(contents, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line.substr(0, 80);
        EXPECT_EQ(match[3].str()[0], 'a' + std::stoi(match[1]));
        seen.emplace(std::stoi(match[1]), std::stoi(match[2]));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(writers * linesEach));
}
