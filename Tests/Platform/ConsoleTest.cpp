#include <gtest/gtest.h>

#include <portaudio.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Platform/Console.h"

namespace {

std::vector<std::string> libraryMessages;

void Collect(const char* message)
{
    libraryMessages.push_back(message);
}

// Runs `work` with standard error sent to a file, and gives back what was written there.
template <typename Work>
std::string StandardErrorOf(Work work)
{
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(capture), STDERR_FILENO);
    work();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::string text;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture))
        text += static_cast<char>(c);
    std::fclose(capture);
    return text;
}

}  // namespace

// Looking for sound devices (every ALSA card and plug-in, JACK) prints nothing on standard error:
// whatever the libraries say goes to the sink, and the devices are still found.
TEST(Console, SoundLibrariesLookForDevicesWithoutAWordOnTheTerminal)
{
    Platform::QuietenSoundLibraries(&Collect);
    int devices = -1;
    const std::string printed = StandardErrorOf([&devices] {
        ASSERT_EQ(Pa_Initialize(), paNoError);
        devices = Pa_GetDeviceCount();
        Pa_Terminate();
    });
    Platform::QuietenSoundLibraries(nullptr);
    EXPECT_EQ(printed, "");
    EXPECT_GE(devices, 0);
    for (const std::string& message : libraryMessages)
        EXPECT_TRUE(message.rfind("ALSA ", 0) == 0 || message.rfind("JACK ", 0) == 0) << message;
}

TEST(Console, WritesToStandardErrorAsItIs)
{
    EXPECT_EQ(StandardErrorOf([] { Platform::WriteStandardError("a line\n", 7); }), "a line\n");
    EXPECT_FALSE(StandardErrorOf([] { EXPECT_FALSE(Platform::StandardErrorIsTerminal()); }).size());
}
