#include "Core/OutputSettings.h"

#include <cmath>

#include "Configuration/ExtraSettings.h"
#include "Platform/AudioOutput.h"
#include "System/ILog.h"

namespace Core {

namespace {

constexpr const char* DriverKey = "output.driver";
constexpr const char* JackDriver = "jack";
constexpr const char* HostApiKey = "output.hostapi";
constexpr const char* DeviceKey = "output.device";

void LogNotice(const char* message)
{
    System::Log().WriteText(System::Warn, message);
}

}  // namespace

OutputChoice ReadOutputChoice(const Configuration::ExtraSettings& settings)
{
    OutputChoice choice;
    choice.jack = settings.Text(DriverKey) == JackDriver;
    choice.device = settings.Text(DeviceKey);
    if (!choice.device.empty())
        choice.hostApi = settings.Text(HostApiKey);
    return choice;
}

void WriteOutputChoice(Configuration::ExtraSettings& settings, const OutputChoice& choice)
{
    if (choice.jack)
        settings.SetText(DriverKey, JackDriver);
    else
        settings.Remove(DriverKey);
    if (choice.device.empty()) {
        settings.Remove(HostApiKey);
        settings.Remove(DeviceKey);
        return;
    }
    settings.SetText(HostApiKey, choice.hostApi);
    settings.SetText(DeviceKey, choice.device);
}

void ApplyOutputChoice(const OutputChoice& choice)
{
    Platform::AudioOutput& output = Platform::AudioOutput::Instance();
    output.SetNotice(&LogNotice);
    output.ChooseDevice(choice.hostApi, choice.device);
    output.ChooseJack(choice.jack);
}

std::vector<OutputEntry> ListOutputs()
{
    std::vector<OutputEntry> entries;
    for (const Platform::DeviceOutput::Entry& entry : Platform::AudioOutput::Instance().Devices())
        entries.push_back({entry.hostApi, entry.device, static_cast<int>(std::lround(entry.latency * 1000))});
    return entries;
}

}  // namespace Core
