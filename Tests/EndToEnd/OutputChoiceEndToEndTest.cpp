#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/AudioOutput.h"
#include "Platform/MultimediaResult.h"

namespace {

std::vector<std::string> notices;

// Through a real sound server: a device the sound system lists opens as chosen; one that is gone
// leaves the default output, which plays, and a notice names the one missing.
TEST(OutputChoice, AListedDeviceOpensAndAMissingOneFallsBackToTheDefault)
{
    Platform::AudioOutput output;
    output.SetNotice([](const char* message) { notices.emplace_back(message); });
    const std::vector<Platform::DeviceOutput::Entry> devices = output.Devices();
    ASSERT_FALSE(devices.empty());
    if (output.Acquire() != Platform::MmNoError)
        GTEST_SKIP() << "no sound output here";
    output.Release();
    output.CloseIdle();

    output.ChooseDevice(devices[0].hostApi, devices[0].device);
    ASSERT_EQ(output.Acquire(), Platform::MmNoError) << devices[0].hostApi << ": " << devices[0].device;
    output.Release();
    EXPECT_TRUE(notices.empty());

    output.ChooseDevice("ALSA", "a sound card unplugged long ago");
    ASSERT_EQ(output.Acquire(), Platform::MmNoError);
    EXPECT_TRUE(output.Running());
    output.Release();
    output.CloseIdle();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("a sound card unplugged long ago"), std::string::npos) << notices[0];
}

}  // namespace
