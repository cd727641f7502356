#pragma once

#include <string>
#include <string_view>

#include "Configuration/ConfigurationData.h"
#include "Configuration/IConfiguration.h"
#include "Configuration/PresetTree.h"
#include "Configuration/SaveFailure.h"

namespace Platform {
class File;
}

namespace Configuration {

// The configuration file "Ticova.conf": UTF-8 "Key = value" lines, the current settings
// first, then one block per preset. Read once at start-up; written whole (a temporary renamed
// over it) whenever the window saves, which it does soon after every change and at exit. A
// file not read whole is kept byte for byte as "Ticova.conf.bak" first.
class FileConfiguration final : public IConfiguration {
public:
    static constexpr std::size_t LineBufferSize = 900;  // bytes per line read, zero included
    static constexpr std::size_t KeyLimit = 64;         // a key this long or longer is refused
    static constexpr std::size_t ValueLimit = 772;      // a value this long or longer is refused
    // A file larger than this is far beyond any real one (a thousand presets of the longest
    // values fill 16 MB): it is not read, only kept.
    static constexpr std::int64_t SizeLimit = 64 << 20;

    // The file "Ticova.conf" in the program's data folder.
    FileConfiguration() = default;
    // Another file, for tests and tools.
    explicit FileConfiguration(std::string path);
    ~FileConfiguration() = default;
    FileConfiguration(const FileConfiguration&) = delete;
    FileConfiguration& operator=(const FileConfiguration&) = delete;

    bool Load() override;
    bool Save() override;
    std::string SaveProblem() const override;
    ReadReport LoadReport() const override { return _report; }
    void SetChangeObserver(ChangeObserver observer) override { _observer = std::move(observer); }
    void NoteChange(Change change) override;

    // True when the text, as a value of the file, reads back exactly as it is: short enough
    // for the reader, no character that ends a value early or is skipped before it, and no
    // lone surrogate.
    static bool CanStore(std::u16string_view text);
    ConfigurationData& GetCurrentSettings() override { return _current; }
    char16_t* GetLanguage() override { return _language; }

    bool IsPreset(const char16_t* name) override;
    bool AddPreset(const ConfigurationData& settings) override;
    ConfigurationData* UpdatePreset(const ConfigurationData& settings, const char16_t* name) override;
    bool LoadPreset(const char16_t* name) override;
    bool DeletePreset(const char16_t* name) override;
    void EnumeratePresets(PresetCallback callback, void* context) override;

    // Applies configuration text as Load applies the file's contents (byte-order mark
    // included, if any); returns what Load would return.
    bool Read(std::string_view contents);

    std::string Path() const;
    const PresetTree& Presets() const noexcept { return _presets; }

private:
    struct Reader;

    bool KeepBackup(const std::string& path);
    bool OpenTemporary(Platform::File& file, const std::string& temporary);
    bool Commit(Platform::File& file, const std::string& temporary, const std::string& target);
    bool Abandon(Platform::File& file, const std::string& temporary, int error, const char* call, int line);
    void NoteStop(int line, std::string_view text);
    void NoteUnreadable(const std::string& reason);

    ConfigurationData _current;
    PresetTree _presets;
    char16_t _language[LanguageCapacity] = {};
    std::string _path;

    // Set when Load did not take in the whole of an existing file (stopped at a bad line, left
    // out presets of a repeated name, could not read it): it is kept as "<name>.bak" at once,
    // or, when that fails, before the file is first written over.
    bool _backupPending = false;
    ReadReport _report;
    ChangeObserver _observer;
    // Why the last Save failed (an error number and the call), for SaveProblem().
    SaveFailure _saveFailure;
};

}  // namespace Configuration
