#include "Core/OutputSettings.h"

#include <cmath>

#include "Configuration/ExtraSettings.h"
#include "Platform/AudioOutput.h"
#include "Platform/MidiOut.h"
#include "Platform/SoundFontSynth.h"
#include "System/ILog.h"

namespace Core {

namespace {

constexpr const char* DriverKey = "output.driver";
constexpr const char* JackDriver = "jack";
constexpr const char* HostApiKey = "output.hostapi";
constexpr const char* DeviceKey = "output.device";

constexpr const char* MidiTargetKey = "midi.target";
constexpr const char* MidiChannelKey = "midi.channel";
const char* const MidiTargetNames[3] = {"synth", "jack", "alsa"};

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

MidiChoice ReadMidiChoice(const Configuration::ExtraSettings& settings)
{
    MidiChoice choice;
    const std::string target = settings.Text(MidiTargetKey);
    for (int i = 0; i < 3; ++i)
        if (target == MidiTargetNames[i])
            choice.target = static_cast<MidiChoice::Target>(i);
    choice.channel = static_cast<int>(settings.Number(MidiChannelKey, MidiChoice::DefaultChannel, 1, 16));
    return choice;
}

void WriteMidiChoice(Configuration::ExtraSettings& settings, const MidiChoice& choice)
{
    settings.SetText(MidiTargetKey, MidiTargetNames[choice.target]);
    settings.SetNumber(MidiChannelKey, choice.channel);
}

void ApplyMidiChoice(const MidiChoice& choice)
{
    Platform::AudioOutput::Instance().SetNotice(&LogNotice);
    Platform::MidiOut::SetTarget(static_cast<Platform::MidiOut::Target>(choice.target), choice.channel);
}

std::vector<OutputEntry> ListOutputs()
{
    std::vector<OutputEntry> entries;
    for (const Platform::DeviceOutput::Entry& entry : Platform::AudioOutput::Instance().Devices())
        entries.push_back({entry.hostApi, entry.device, static_cast<int>(std::lround(entry.latency * 1000))});
    return entries;
}

std::string CurrentSoundFont()
{
    return Platform::SoundFontSynth::Instance().SoundFontFile();
}

bool ChangeSoundFont(const std::string& path, std::string& problem)
{
    Platform::SoundFontSynth& synth = Platform::SoundFontSynth::Instance();
    if (synth.ChangeSoundFont(path))
        return true;
    problem = synth.LoadProblem();
    return false;
}

}  // namespace Core
