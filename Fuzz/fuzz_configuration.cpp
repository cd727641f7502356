// Two checks of the configuration file.
//
// Reading: arbitrary bytes are read, what was read is written and read back. Nothing may crash,
// leak or trip the sanitizers, a file written by Save must always read to its end, and (for input
// without carriage returns, which the writer turns into spaces) writing what was read back gives
// the same file again.
//
// Writing: every field of the current settings and of two presets is filled from the input,
// saved and loaded. Every text the file can store (CanStore, the check the dialogs use) comes
// back exactly; every number comes back, or (out of its range) as its default; a value that
// cannot be stored never costs another field or preset.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

#include "../Tests/Support/RecordFields.h"
#include "Configuration/FileConfiguration.h"
#include "Platform/File.h"
#include "Platform/Text.h"
#include "SilentLog.h"
#include "System/ILog.h"

namespace {

using Configuration::ConfigurationData;
using Configuration::FileConfiguration;

const std::string& Folder()
{
    // Every run saves (and syncs) three times: TMPDIR=/dev/shm makes that cheap.
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/ticova-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        return std::string(made ? made : "/tmp") + "/";
    }();
    return folder;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void ReadWriteRead(const std::uint8_t* data, std::size_t size, const std::string& path)
{
    FileConfiguration first(path);
    first.Read(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool plain = std::memchr(data, '\r', size) == nullptr;
    // Save over a file that is not there: no backup to keep, only the write and its rename.
    Platform::File::Remove(path);
    Check(first.Save());

    FileConfiguration second(path);
    Check(second.Load());
    std::string written;
    Check(Platform::File::ReadAll(path, written));
    Platform::File::Remove(path);
    Check(second.Save());
    std::string rewritten;
    Check(Platform::File::ReadAll(path, rewritten) && (!plain || rewritten == written));
    Platform::File::Remove(path);
}

// Text of up to capacity - 1 units: mostly ASCII (with the characters the file treats
// specially), some CJK, some arbitrary units including lone surrogates.
template <std::size_t N>
void FillText(FuzzedDataProvider& input, char16_t (&text)[N], bool noTilde = false)
{
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, N - 1);
    std::size_t n = 0;
    for (; n < length && input.remaining_bytes() > 0; ++n) {
        const std::uint8_t byte = input.ConsumeIntegral<std::uint8_t>();
        char16_t unit = byte;
        if (byte >= 0xF0)
            unit = input.ConsumeIntegral<std::uint16_t>();
        else if (byte >= 0x80)
            unit = static_cast<char16_t>(0x4E00 + byte);
        if (unit == 0 || (noTilde && unit == u'~'))
            unit = u'_';
        text[n] = unit;
    }
    text[n] = 0;
}

template <std::size_t N>
void ExpectText(const char16_t (&written)[N], const char16_t (&read)[N])
{
    if (FileConfiguration::CanStore(std::u16string_view(written)))
        Check(Platform::Text::Compare(written, read) == 0);
}

void ExpectNumber(std::uint32_t written, std::uint32_t read, std::uint32_t fallback)
{
    Check(read == written || read == fallback);
}

// Floats are written with six decimals.
void ExpectNumber(float written, float read, float fallback)
{
    Check(std::fabs(static_cast<double>(read) - static_cast<double>(written)) <=
              5e-7 + 1e-6 * std::fabs(static_cast<double>(written)) ||
          read == fallback);
}

void FillRecord(FuzzedDataProvider& input, ConfigurationData& record)
{
    for (std::uint32_t* field :
         {&record.SoundEngineType, &record.Bpm, &record.GlobalVolume, &record.BeatType, &record.BeatsPerBar,
          &record.CrNumBars, &record.CrBeatsPerBar, &record.CrSubdivision, &record.CrCompoundTime,
          &record.DisplayedSubdiv, &record.DisplayDistinct, &record.Subdivision1, &record.Subdivision2,
          &record.CompoundTime, &record.VisualIndicator, &record.SpeedTrainer, &record.DurationsInBars,
          &record.Logarithmic, &record.Beep})
        *field = input.ConsumeIntegralInRange<std::uint32_t>(0, 420);
    for (float* field : {&record.From, &record.To, &record.Step, &record.Duration, &record.Warmup, &record.Warmdown})
        *field = input.ConsumeFloatingPointInRange<float>(-1.0f, 1100.0f);
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        record.Instrument[voice] = input.ConsumeIntegralInRange<std::uint32_t>(0, 130);
        record.Volume[voice] = input.ConsumeIntegralInRange<std::uint32_t>(0, 130);
        record.Size[voice] = input.ConsumeIntegralInRange<std::uint32_t>(0, 130);
        record.Colour[voice] = input.ConsumeIntegralInRange<std::uint32_t>(0, 130);
    }
    FillText(input, record.Description);
    FillText(input, record.CustomPattern);
    FillText(input, record.CustomRhythm);
    for (auto& file : record.File)
        FillText(input, file);
}

void ExpectRecord(const ConfigurationData& written, const ConfigurationData& read, bool withDescription)
{
    const ConfigurationData fallback;
    for (auto field : Tests::RecordFields::Integers)
        ExpectNumber(written.*field, read.*field, fallback.*field);
    for (auto field : Tests::RecordFields::Floats)
        ExpectNumber(written.*field, read.*field, fallback.*field);
    for (int voice = 0; voice < ConfigurationData::NumVoices; ++voice) {
        ExpectNumber(written.Instrument[voice], read.Instrument[voice], fallback.Instrument[voice]);
        ExpectNumber(written.Volume[voice], read.Volume[voice], fallback.Volume[voice]);
        ExpectNumber(written.Size[voice], read.Size[voice], fallback.Size[voice]);
        ExpectNumber(written.Colour[voice], read.Colour[voice], fallback.Colour[voice]);
        ExpectText(written.File[voice], read.File[voice]);
    }
    if (withDescription)
        ExpectText(written.Description, read.Description);
    ExpectText(written.CustomPattern, read.CustomPattern);
    ExpectText(written.CustomRhythm, read.CustomRhythm);
}

void WriteRead(const std::uint8_t* data, std::size_t size, const std::string& path)
{
    FuzzedDataProvider input(data, size);
    FileConfiguration first(path);
    FillRecord(input, first.GetCurrentSettings());
    char16_t language[FileConfiguration::LanguageCapacity];
    FillText(input, language);
    Platform::Text::Copy(first.GetLanguage(), FileConfiguration::LanguageCapacity, std::u16string_view(language));
    // A preset of any name first; the last one's name ("~~~~" sorts after every other) cannot
    // be what the first's turns into.
    ConfigurationData any;
    FillText(input, any.PresetName, true);
    FillRecord(input, any);
    const bool anyAdded = any.PresetName[0] != 0 && first.AddPreset(any);
    ConfigurationData last;
    Platform::Text::Copy(last.PresetName, std::u16string_view(u"~~~~"));
    FillRecord(input, last);
    Check(first.AddPreset(last));

    Platform::File::Remove(path);
    Check(first.Save());
    FileConfiguration second(path);
    Check(second.Load());
    Platform::File::Remove(path);

    ExpectText(language, *reinterpret_cast<char16_t(*)[FileConfiguration::LanguageCapacity]>(second.GetLanguage()));
    ExpectRecord(first.GetCurrentSettings(), second.GetCurrentSettings(), true);
    Check(second.LoadPreset(last.PresetName));
    ExpectRecord(last, second.GetCurrentSettings(), true);
    if (anyAdded && FileConfiguration::CanStore(std::u16string_view(any.PresetName))) {
        Check(second.LoadPreset(any.PresetName));
        ExpectRecord(any, second.GetCurrentSettings(), true);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static Fuzz::SilentLog log;
    System::SetLogForTesting(&log);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = Folder() + "Ticova.conf";
    ReadWriteRead(data, size, path);
    WriteRead(data, size, path);
    return 0;
}
