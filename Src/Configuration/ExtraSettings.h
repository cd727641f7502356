#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Configuration/ReadReport.h"
#include "Configuration/SaveFailure.h"

namespace Configuration {

// The second settings file, "Ticova.extras" beside "Ticova.conf": the settings of features the
// main file has no key for (count-in, setlists, output choice ...). The main file's reader stops
// at a key it does not know, so they never go there.
//
// UTF-8 "key = value" lines; '#' starts a comment line. Keys are letters, digits, '.', '_' and
// '-'; a value runs to the end of its line, with "\\", "\n", "\r" and "\t" escaped. Keys this
// copy does not use are kept and written back. A missing file is the defaults; a damaged line
// is skipped with a log line, and a file not read whole (damaged lines, too large, unreadable)
// is kept byte for byte as "<name>.bak" at once (or, when that fails, before it is first written
// over). Saved whole through a temporary file and a rename.
//
// Used by the window's thread only.
class ExtraSettings {
public:
    // A larger file is not read (a hundred setlists of five hundred long names stay far below).
    static constexpr std::size_t SizeLimit = 16 << 20;
    static constexpr std::size_t KeyLimit = 128;

    // The file in the program's data folder.
    ExtraSettings() = default;
    // Another file, for tests and tools.
    explicit ExtraSettings(std::string path) : _path(std::move(path)) {}

    // False when the file exists but could not be read (the defaults are then used).
    bool Load();
    bool Save();
    // Applies file text as Load does; the count of lines skipped.
    int Read(std::string_view contents);
    std::string Write() const;
    std::string Path() const;

    static bool IsKey(std::string_view key);

    bool Has(std::string_view key) const;
    std::string Text(std::string_view key, std::string_view fallback = {}) const;
    // The number, or fallback when missing, malformed or outside [low, high].
    std::int64_t Number(std::string_view key, std::int64_t fallback, std::int64_t low, std::int64_t high) const;
    bool Flag(std::string_view key, bool fallback) const;

    // False (nothing stored) for a key IsKey refuses.
    bool SetText(std::string_view key, std::string_view value);
    bool SetNumber(std::string_view key, std::int64_t value);
    bool SetFlag(std::string_view key, bool value);
    void Remove(std::string_view key);
    // Removes every key that begins with prefix.
    void RemovePrefix(std::string_view prefix);
    // Every key that begins with prefix, in order.
    std::vector<std::string> Keys(std::string_view prefix) const;

    bool Changed() const noexcept { return _changed; }
    // After a Save that failed: the folder and the reason, for telling the user; empty otherwise.
    std::string SaveProblem() const;
    // What the last Load could not take in.
    const ReadReport& LoadReport() const noexcept { return _report; }
    // Called after every change of a value, on the thread that made it; empty: nobody.
    void SetChangeObserver(std::function<void()> observer) { _observer = std::move(observer); }

private:
    void Change();
    bool KeepBackup(const std::string& path);
    bool Fail(int error, const char* call, int line);

    std::map<std::string, std::string, std::less<>> _values;
    std::string _path;
    bool _changed = false;
    bool _backupPending = false;
    ReadReport _report;
    std::function<void()> _observer;
    SaveFailure _saveFailure;
};

// The program's one instance.
ExtraSettings& GetExtraSettings();

}  // namespace Configuration
