#include "Configuration/FileConfiguration.h"

#include <new>

#include "Platform/Text.h"
#include "System/ILog.h"

// The configuration's presets: kept in memory, saved with the file.
namespace Configuration {

namespace {

constexpr const char* AllocationMessage =
    "Unable to allocate memory for ConfigurationData object in FileConfiguration::IsPreset";

using Record = ConfigurationData;

}  // namespace

bool FileConfiguration::CanStore(std::u16string_view text)
{
    std::size_t bytes = 0;
    for (std::size_t n = 0; n < text.size(); ++n) {
        const char16_t unit = text[n];
        // The reader ends a value at these, and skips spaces and '=' before it.
        if (unit == 0 || unit == u'#' || unit == u'\t' || unit == u'\r' || unit == u'\n' ||
            (n == 0 && (unit == u' ' || unit == u'=')))
            return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A lone surrogate would come back as U+FFFD.
            if (n + 1 == text.size() || text[n + 1] < 0xDC00 || text[n + 1] > 0xDFFF)
                return false;
            bytes += 4;
            ++n;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        } else {
            bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        }
    }
    return bytes < ValueLimit;
}

bool FileConfiguration::IsPreset(const char16_t* name)
{
    return _presets.Find(name) != nullptr;
}

bool FileConfiguration::AddPreset(const ConfigurationData& settings)
{
    Record* record = new (std::nothrow) Record();
    if (!record) {
        System::Log().Write(System::Error, "%s", AllocationMessage);
        return false;
    }
    *record = settings;
    if (!_presets.Insert(record)) {
        delete record;
        return false;
    }
    NoteChange(Change::Presets);
    return true;
}

ConfigurationData* FileConfiguration::UpdatePreset(const ConfigurationData& settings, const char16_t* name)
{
    Record* preset = _presets.Find(name);
    if (!preset)
        return nullptr;
    if (&settings == preset || Platform::Text::Compare(settings.PresetName, preset->PresetName) == 0) {
        *preset = settings;
        NoteChange(Change::Presets);
        return preset;
    }
    // A new name: another preset may hold it already. Two presets of one name cannot both be
    // found, so the rename is refused and both presets stay as they are.
    if (_presets.Find(settings.PresetName)) {
        std::string from = Platform::Text::Utf16ToUtf8(preset->PresetName);
        std::string to = Platform::Text::Utf16ToUtf8(settings.PresetName);
        System::Log().Write(System::Warn, "Preset '%s' not renamed: a preset named '%s' exists already", from.c_str(),
                            to.c_str());
        return nullptr;
    }
    // The preset moves to its new place in name order: out of the tree, renamed, back in.
    char16_t oldName[Record::PresetNameCapacity];
    Platform::Text::Copy(oldName, std::u16string_view(preset->PresetName));
    _presets.Remove(oldName);
    *preset = settings;
    _presets.Insert(preset);
    NoteChange(Change::Presets);
    return preset;
}

bool FileConfiguration::LoadPreset(const char16_t* name)
{
    Record* preset = _presets.Find(name);
    if (!preset)
        return false;
    _current = *preset;
    NoteChange(Change::Presets);
    return true;
}

bool FileConfiguration::DeletePreset(const char16_t* name)
{
    Record* preset = _presets.Remove(name);
    if (!preset)
        return false;
    delete preset;
    NoteChange(Change::Presets);
    return true;
}

void FileConfiguration::EnumeratePresets(PresetCallback callback, void* context)
{
    _presets.Walk(callback, context);
}

}  // namespace Configuration
