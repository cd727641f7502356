#include "Configuration/FileConfiguration.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Platform/SystemError.h"
#include "Platform/Text.h"
#include "System/ILog.h"
#include "System/LogFile.h"

// The configuration file's writing side: the records as lines, written to a temporary beside
// the file and renamed over it, so that the file is always either the old one or the new one.
namespace Configuration {

namespace {

constexpr const char* SourceName = "Src/Configuration/FileConfiguration";

using Record = ConfigurationData;
constexpr int Voices = Record::NumVoices;

#define TICOVA_NUMBERED(key)                                                                                           \
    {                                                                                                                  \
        key "1", key "2", key "3", key "4", key "5", key "6", key "7", key "8", key "9", key "10", key "11", key "12"  \
    }
constexpr const char* InstrumentKeys[Voices] = TICOVA_NUMBERED("Instrument");
constexpr const char* VolumeKeys[Voices] = TICOVA_NUMBERED("Volume");
constexpr const char* SizeKeys[Voices] = TICOVA_NUMBERED("Size");
constexpr const char* ColourKeys[Voices] = TICOVA_NUMBERED("Colour");
constexpr const char* FileKeys[Voices] = TICOVA_NUMBERED("File");
#undef TICOVA_NUMBERED

// Gathers the file's lines into a fixed buffer and writes it out in large pieces.
class Writer {
public:
    explicit Writer(Platform::File& file) : _file(file) {}

    bool Failed() const { return _failed; }

    bool Finish()
    {
        Drain();
        return !_failed;
    }

    void Line(const char* text)
    {
        Make(std::strlen(text) + 2);
        Append(text, std::strlen(text));
        End();
    }

    void Integer(const char* key, std::uint32_t value)
    {
        Start(key, 16);
        auto result = std::to_chars(_buffer + _used, _buffer + sizeof _buffer, value);
        _used = static_cast<std::size_t>(result.ptr - _buffer);
        End();
    }

    // Six decimals, as "%f" writes them.
    void Float(const char* key, float value)
    {
        Start(key, 64);
        auto result = std::to_chars(_buffer + _used, _buffer + sizeof _buffer, static_cast<double>(value),
                                    std::chars_format::fixed, 6);
        if (result.ec == std::errc())
            _used = static_cast<std::size_t>(result.ptr - _buffer);
        End();
    }

    // UTF-8 of the text. A line break or a tab inside a value would end it early, so each one
    // is written as a space. A value too long for the reader would stop the reading of
    // everything after it: it is cut between characters, and the cut logged.
    void Text(const char* key, const char16_t* text, std::size_t capacity)
    {
        const std::size_t length = Platform::Text::Length(text, capacity);
        Start(key, length * 3 + 1);
        const std::size_t written =
            Platform::Text::Utf16ToUtf8(std::u16string_view(text, length), _buffer + _used, sizeof _buffer - _used);
        char* value = _buffer + _used;
        for (std::size_t i = 0; i < written; ++i)
            if (value[i] == '\r' || value[i] == '\n' || value[i] == '\t')
                value[i] = ' ';
        const std::size_t kept = System::LogFile::Utf8Prefix(value, written, FileConfiguration::ValueLimit - 1);
        if (kept < written)
            System::Log().Write(System::Warn,
                                "The value of %s is too long for the configuration file and is cut "
                                "to %zu bytes",
                                key, kept);
        _used += kept;
        End();
    }

    void Block(const Record& record)
    {
        Integer("SoundEngineType", record.SoundEngineType);
        Integer("Bpm", record.Bpm);
        Integer("GlobalVolume", record.GlobalVolume);
        Integer("BeatType", record.BeatType);
        Integer("BeatsPerBar", record.BeatsPerBar);
        Text("CustomPattern", record.CustomPattern, Record::CustomPatternCapacity);
        Text("CustomRhythm", record.CustomRhythm, Record::CustomRhythmCapacity);
        Integer("CrNumBars", record.CrNumBars);
        Integer("CrBeatsPerBar", record.CrBeatsPerBar);
        Integer("CrSubdivision", record.CrSubdivision);
        Integer("CrCompoundTime", record.CrCompoundTime);
        Integer("DisplayedSubdiv", record.DisplayedSubdiv);
        Integer("DisplayDistinct", record.DisplayDistinct);
        Integer("Subdivision1", record.Subdivision1);
        Integer("Subdivision2", record.Subdivision2);
        Integer("CompoundTime", record.CompoundTime);
        Integer("VisualIndicator", record.VisualIndicator);
        Integer("SpeedTrainer", record.SpeedTrainer);
        Integer("DurationsInBars", record.DurationsInBars);
        Integer("Logarithmic", record.Logarithmic);
        Integer("Beep", record.Beep);
        Float("From", record.From);
        Float("To", record.To);
        Float("Step", record.Step);
        Float("Duration", record.Duration);
        Float("Warmup", record.Warmup);
        Float("Warmdown", record.Warmdown);
        for (int voice = 0; voice < Voices; ++voice)
            Integer(InstrumentKeys[voice], record.Instrument[voice]);
        for (int voice = 0; voice < Voices; ++voice)
            Integer(VolumeKeys[voice], record.Volume[voice]);
        for (int voice = 0; voice < Voices; ++voice)
            Integer(SizeKeys[voice], record.Size[voice]);
        for (int voice = 0; voice < Voices; ++voice)
            Integer(ColourKeys[voice], record.Colour[voice]);
        for (int file = 0; file < Voices; ++file)
            Text(FileKeys[file], record.File[file], Record::FileCapacity);
    }

    int presetCounter = 0;

private:
    // Room for the longest line: a key, " = ", a 772-unit path in UTF-8 and the line end.
    static constexpr std::size_t Capacity = 64 * 1024;

    void Make(std::size_t bytes)
    {
        if (_used + bytes + 8 > sizeof _buffer)
            Drain();
    }
    void Start(const char* key, std::size_t valueBytes)
    {
        std::size_t keyLength = std::strlen(key);
        Make(keyLength + 3 + valueBytes + 2);
        Append(key, keyLength);
        Append(" = ", 3);
    }
    void Append(const char* text, std::size_t length)
    {
        std::memcpy(_buffer + _used, text, length);
        _used += length;
    }
    void End() { Append("\r\n", 2); }
    void Drain()
    {
        if (_used && !_failed)
            _failed = !_file.Write(_buffer, _used);
        _used = 0;
    }

    Platform::File& _file;
    char _buffer[Capacity];
    std::size_t _used = 0;
    bool _failed = false;
};

int WritePreset(const Record& preset, void* context)
{
    Writer& writer = *static_cast<Writer*>(context);
    char key[32];
    std::snprintf(key, sizeof key, "Preset%d", writer.presetCounter++);
    writer.Text(key, preset.PresetName, Record::PresetNameCapacity);
    writer.Text("Description", preset.Description, Record::DescriptionCapacity);
    writer.Block(preset);
    return 0;
}

}  // namespace

// Gives up a write: the temporary goes first, so that on a full disk the log line that follows
// has room, then the failure is kept for SaveProblem() and logged.
bool FileConfiguration::Abandon(Platform::File& file, const std::string& temporary, int error, const char* call,
                                int line)
{
    file.Close();
    if (!temporary.empty())
        Platform::File::Remove(temporary);
    _saveFailure.Note(error, call);
    System::ReportSystemErrorCode(error, SourceName, "Configuration::FileConfiguration::Save", line, "Error calling %s",
                                  call);
    return false;
}

// Flushes and closes a finished temporary file and renames it over the target, so that the
// target is either the old file or the complete new one, never half of each.
bool FileConfiguration::Commit(Platform::File& file, const std::string& temporary, const std::string& target)
{
    if (!file.Flush())
        return Abandon(file, temporary, file.Error(), file.FailedCall(), __LINE__);
    file.Close();
    int error = 0;
    if (!Platform::File::Rename(temporary, target, true, &error))
        return Abandon(file, temporary, error, "rename", __LINE__);
    return true;
}

// Opens a fresh temporary beside the target. A leftover of an earlier run is removed first;
// the name is then created anew and never followed as a link, so nobody else who can write
// the folder can point the write at another file.
bool FileConfiguration::OpenTemporary(Platform::File& file, const std::string& temporary)
{
    Platform::File::Remove(temporary);
    if (file.Open(temporary, Platform::File::Mode::CreateNew))
        return true;
    return Abandon(file, {}, file.Error(), file.FailedCall(), __LINE__);
}

// Keeps the file as it is now, byte for byte, as "<name>.bak" (replacing an older one).
bool FileConfiguration::KeepBackup(const std::string& path)
{
    const std::string backup = path + ".bak";
    int error = 0;
    const char* call = "";
    if (!Platform::File::KeepCopy(path, backup, &error, &call)) {
        if (error == ENOENT) {
            _backupPending = false;  // nothing left to keep
            return true;
        }
        Platform::File none;
        return Abandon(none, {}, error, call, __LINE__);
    }
    const std::string name = Platform::Text::Escaped(_report.stoppedText);
    if (_report.stoppedLine > 0)
        System::Log().Write(System::Warn,
                            "Configuration file reading stopped at line %d (%s); the file as it was is kept as %s",
                            _report.stoppedLine, name.c_str(), backup.c_str());
    else if (_report.tooLarge > 0)
        System::Log().Write(System::Warn,
                            "Configuration file is %lld bytes, far beyond any settings file, and is not read; it is "
                            "kept as %s",
                            static_cast<long long>(_report.tooLarge), backup.c_str());
    else if (!_report.unreadable.empty())
        System::Log().Write(System::Warn, "Configuration file could not be read; the file as it was is kept as %s",
                            backup.c_str());
    if (_report.duplicatePresets > 0)
        System::Log().Write(System::Warn,
                            "Configuration file: %d presets of a name read before are left out; the file as it was "
                            "is kept as %s",
                            _report.duplicatePresets, backup.c_str());
    _backupPending = false;
    return true;
}

bool FileConfiguration::Save()
{
    _saveFailure.Clear();
    const std::string path = Path();
    if (path.empty()) {
        _saveFailure.Note(EACCES, "");
        System::Log().Write(System::Error, "The settings are not saved: %s", Platform::DataFolderProblem().c_str());
        return false;
    }
    if (_backupPending && !KeepBackup(path))
        return false;

    // The current settings are written without their name (a block has no preset line); the
    // name stays in memory, for what the window shows and logs until the next preset.
    const std::string temporary = path + ".tmp";
    Platform::File file;
    if (!OpenTemporary(file, temporary))
        return false;
    Writer* writer = new (std::nothrow) Writer(file);
    if (!writer)
        return Abandon(file, temporary, ENOMEM, "new", __LINE__);
    writer->Line("\xEF\xBB\xBF# Metronome Configuration File");
    writer->Text("Language", _language, LanguageCapacity);
    // The description of the preset last loaded stays with the current settings.
    if (_current.Description[0] != 0)
        writer->Text("Description", _current.Description, Record::DescriptionCapacity);
    writer->Block(_current);
    writer->presetCounter = 0;
    _presets.Walk(WritePreset, writer);
    bool written = writer->Finish();
    delete writer;
    if (!written)
        return Abandon(file, temporary, file.Error(), file.FailedCall(), __LINE__);
    return Commit(file, temporary, path);
}

std::string FileConfiguration::SaveProblem() const
{
    return _saveFailure.Problem(Path());
}

}  // namespace Configuration
