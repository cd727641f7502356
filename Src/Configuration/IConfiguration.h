#pragma once

#include <functional>
#include <string>

#include "Configuration/ConfigurationData.h"
#include "Configuration/ReadReport.h"

namespace Configuration {

// The program's one store of settings: the current settings, the named presets and the name
// of the user-interface language. Every part of the program reaches it through this interface
// (GetConfiguration()). Only the main thread uses it.
class IConfiguration {
public:
    static constexpr int LanguageCapacity = 32;  // units, terminating zero included
    static constexpr int PresetNameLength = ConfigurationData::PresetNameCapacity - 1;

    // Called once per preset, in ascending name order; the result is ignored.
    using PresetCallback = int (*)(const ConfigurationData& preset, void* context);

    // Reads the configuration file; false when it is missing, unreadable or stopped at a bad
    // line (what was read before that line stays).
    virtual bool Load() = 0;
    // Writes the current settings, the language and every preset back to the file.
    virtual bool Save() = 0;
    // After a Save that failed: the folder and the reason, for telling the user; empty otherwise.
    virtual std::string SaveProblem() const { return {}; }
    // What the last Load could not take in (nothing when it read the whole file).
    virtual ReadReport LoadReport() const { return {}; }

    // What changed in memory since the file was written: a preset (added, changed, deleted or
    // loaded into the current settings), the current settings as a whole (the settings
    // dialog's OK, the language), or only the tempo or volume, which change in quick runs.
    enum class Change { Presets, Settings, TempoOrVolume };
    using ChangeObserver = std::function<void(Change)>;
    // The observer is told of every change, on the thread that made it; empty: nobody.
    virtual void SetChangeObserver(ChangeObserver observer) { (void)observer; }
    // Tells the observer of a change made in place (through GetCurrentSettings or GetLanguage).
    virtual void NoteChange(Change change) { (void)change; }
    // The current settings themselves, read and written in place.
    virtual ConfigurationData& GetCurrentSettings() = 0;
    // The language name itself (LanguageCapacity units); empty means the built-in texts.
    virtual char16_t* GetLanguage() = 0;

    virtual bool IsPreset(const char16_t* name) = 0;
    // Stores a copy of the record as a new preset under its PresetName; false (nothing added)
    // when that name is taken or the record cannot be allocated.
    virtual bool AddPreset(const ConfigurationData& settings) = 0;
    // Copies the record over the preset called `name`, its PresetName included (a different
    // name renames the preset). Returns the preset's record, or null when there is none.
    virtual ConfigurationData* UpdatePreset(const ConfigurationData& settings, const char16_t* name) = 0;
    // Copies the preset into the current settings; false when there is none.
    virtual bool LoadPreset(const char16_t* name) = 0;
    virtual bool DeletePreset(const char16_t* name) = 0;
    virtual void EnumeratePresets(PresetCallback callback, void* context) = 0;

protected:
    // Never deleted through this interface.
    ~IConfiguration() = default;
};

// The process-wide configuration object, created with default settings on first use.
IConfiguration& GetConfiguration();

// Tests install their own configuration object (nullptr restores the process-wide one).
void SetConfigurationForTesting(IConfiguration* configuration);

}  // namespace Configuration
