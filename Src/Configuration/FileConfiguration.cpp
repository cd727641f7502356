#include "Configuration/FileConfiguration.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Platform/SystemError.h"
#include "Platform/Text.h"
#include "System/ILog.h"
#include "System/LogFile.h"

namespace Configuration {

namespace {

constexpr const char* SourceName = "Src/Configuration/FileConfiguration";
constexpr const char* AllocationMessage =
    "Unable to allocate memory for ConfigurationData object in FileConfiguration::IsPreset";

using Record = ConfigurationData;
constexpr int Voices = Record::NumVoices;

enum class Kind : std::uint8_t { Integer, IntegerArray, Float, Text, Language };
enum class TextField : std::uint8_t { None, Description, CustomPattern, CustomRhythm, File };

// One key of the file: its name in lower case (keys match without regard to case), the field
// it fills and the range accepted for a number.
struct Key {
    char name[24];
    Kind kind;
    std::uint32_t Record::*integer;
    std::uint32_t (Record::*integers)[Voices];
    float Record::*real;
    TextField text;
    int index;
    double low;
    double high;
};

constexpr int KeyCount = 19 + 6 + 4 * Voices + 3 + Voices + 1;

struct KeyTable {
    std::array<Key, KeyCount> keys{};
    int count = 0;

    void Add(const char* name, Key key)
    {
        std::size_t n = 0;
        for (; name[n] && n < sizeof key.name - 1; ++n)
            key.name[n] = static_cast<char>(name[n] >= 'A' && name[n] <= 'Z' ? name[n] - 'A' + 'a' : name[n]);
        key.name[n] = 0;
        keys[static_cast<std::size_t>(count++)] = key;
    }
    void Integer(const char* name, std::uint32_t Record::*field, double low, double high)
    {
        Add(name, Key{{}, Kind::Integer, field, nullptr, nullptr, TextField::None, 0, low, high});
    }
    void Integers(const char* name, std::uint32_t (Record::*field)[Voices], double low, double high)
    {
        for (int voice = 0; voice < Voices; ++voice) {
            char numbered[24];
            std::snprintf(numbered, sizeof numbered, "%s%d", name, voice + 1);
            Add(numbered, Key{{}, Kind::IntegerArray, nullptr, field, nullptr, TextField::None, voice, low, high});
        }
    }
    void Float(const char* name, float Record::*field, double low, double high)
    {
        Add(name, Key{{}, Kind::Float, nullptr, nullptr, field, TextField::None, 0, low, high});
    }
    void Text(const char* name, TextField field, int index = 0)
    {
        Add(name, Key{{}, Kind::Text, nullptr, nullptr, nullptr, field, index, 0, 0});
    }

    KeyTable()
    {
        Integer("SoundEngineType", &Record::SoundEngineType, 0, 1);
        Integer("Bpm", &Record::Bpm, 10, 400);
        Integer("GlobalVolume", &Record::GlobalVolume, 0, 100);
        Integer("BeatType", &Record::BeatType, 0, 3);
        Integer("BeatsPerBar", &Record::BeatsPerBar, 2, 60);
        Integer("CrNumBars", &Record::CrNumBars, 0, 4);
        Integer("CrBeatsPerBar", &Record::CrBeatsPerBar, 0, 16);
        Integer("CrSubdivision", &Record::CrSubdivision, 0, 8);
        Integer("CrCompoundTime", &Record::CrCompoundTime, 0, 1);
        Integer("DisplayedSubdiv", &Record::DisplayedSubdiv, 0, 8);
        Integer("DisplayDistinct", &Record::DisplayDistinct, 0, 1);
        Integer("Subdivision1", &Record::Subdivision1, 0, 8);
        Integer("Subdivision2", &Record::Subdivision2, 0, 8);
        Integer("CompoundTime", &Record::CompoundTime, 0, 1);
        Integer("VisualIndicator", &Record::VisualIndicator, 0, 1);
        Integer("SpeedTrainer", &Record::SpeedTrainer, 0, 1);
        Integer("DurationsInBars", &Record::DurationsInBars, 0, 1);
        Integer("Logarithmic", &Record::Logarithmic, 0, 1);
        Integer("Beep", &Record::Beep, 0, 1);
        Float("From", &Record::From, 0, 1);
        Float("To", &Record::To, 0, 1);
        Float("Step", &Record::Step, 0.0001, 1);
        Float("Duration", &Record::Duration, 0.01, 1000);
        Float("Warmup", &Record::Warmup, 0, 1000);
        Float("Warmdown", &Record::Warmdown, 0, 1000);
        Integers("Instrument", &Record::Instrument, 0, 46);
        Integers("Volume", &Record::Volume, 0, 127);
        Integers("Size", &Record::Size, 0, 7);
        Integers("Colour", &Record::Colour, 0, 11);
        Text("Description", TextField::Description);
        Text("CustomPattern", TextField::CustomPattern);
        Text("CustomRhythm", TextField::CustomRhythm);
        for (int file = 0; file < Voices; ++file) {
            char numbered[24];
            std::snprintf(numbered, sizeof numbered, "File%d", file + 1);
            Text(numbered, TextField::File, file);
        }
        Add("Language", Key{{}, Kind::Language, nullptr, nullptr, nullptr, TextField::None, 0, 0, 0});
        slots.fill(-1);
        for (int index = 0; index < count; ++index) {
            const char* name = keys[static_cast<std::size_t>(index)].name;
            std::size_t slot = Hash(name, std::strlen(name)) & (Slots - 1);
            while (slots[slot] >= 0)
                slot = (slot + 1) & (Slots - 1);
            slots[slot] = static_cast<std::int16_t>(index);
        }
    }

    // `lower` is the key in lower case, `length` its length.
    const Key* Find(const char* lower, std::size_t length) const
    {
        for (std::size_t slot = Hash(lower, length) & (Slots - 1);; slot = (slot + 1) & (Slots - 1)) {
            int index = slots[slot];
            if (index < 0)
                return nullptr;
            const Key& key = keys[static_cast<std::size_t>(index)];
            if (std::strncmp(key.name, lower, length) == 0 && key.name[length] == 0)
                return &key;
        }
    }

private:
    static constexpr std::size_t Slots = 256;  // a power of two, well above KeyCount

    static std::size_t Hash(const char* text, std::size_t length)
    {
        std::uint32_t hash = 2166136261u;
        for (std::size_t n = 0; n < length; ++n)
            hash = (hash ^ static_cast<unsigned char>(text[n])) * 16777619u;
        return hash;
    }

    std::array<std::int16_t, Slots> slots{};
};

const KeyTable& Keys()
{
    static const KeyTable table;
    return table;
}

bool IsKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal integer as the C library reads one: leading white space and a sign allowed,
// reading stops at the first non-digit, no digits give 0. Saturates instead of overflowing.
std::int64_t ParseInteger(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        if (value < INT64_MAX / 10)
            value = value * 10 + (text[at] - '0');
        else
            value = INT64_MAX;
    }
    return negative ? -value : value;
}

// A decimal floating-point number with "." as the decimal point, whatever the locale; no
// number gives 0. Returns false for a number too large for a 32-bit float.
bool ParseFloat(std::string_view text, double& value)
{
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at]))
        ++at;
    if (at < text.size() && text[at] == '+' && at + 1 < text.size() && text[at + 1] != '-')
        ++at;
    value = 0;
    auto result = std::from_chars(text.data() + at, text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        return false;
    if (result.ec != std::errc())
        value = 0;
    return value >= -static_cast<double>(FLT_MAX) && value <= static_cast<double>(FLT_MAX);
}

// UTF-8 into a text field, cut to fit; plain ASCII, the common case, is widened directly.
void Decode(std::string_view utf8, char16_t* destination, std::size_t capacity)
{
    std::size_t n = 0;
    while (n < utf8.size() && n < capacity - 1 && static_cast<unsigned char>(utf8[n]) < 0x80) {
        destination[n] = static_cast<char16_t>(utf8[n]);
        ++n;
    }
    if (n == utf8.size() || n == capacity - 1)
        destination[n] = 0;
    else
        Platform::Text::Utf8ToUtf16(utf8.substr(n), destination + n, capacity - n);
}

char16_t* TextOf(Record& record, TextField field, int index, std::size_t& capacity)
{
    switch (field) {
    case TextField::Description: capacity = Record::DescriptionCapacity; return record.Description;
    case TextField::CustomPattern: capacity = Record::CustomPatternCapacity; return record.CustomPattern;
    case TextField::CustomRhythm: capacity = Record::CustomRhythmCapacity; return record.CustomRhythm;
    case TextField::File: capacity = Record::FileCapacity; return record.File[index];
    case TextField::None: break;
    }
    capacity = 0;
    return nullptr;
}

}  // namespace

// The state of one reading of the file: the record being filled and the preset counter.
struct FileConfiguration::Reader {
    FileConfiguration& owner;
    Record* target;
    Record* orphan = nullptr;  // a preset whose name was taken by an earlier one
    int presetCounter = 0;
    bool applied = false;

    explicit Reader(FileConfiguration& configuration) : owner(configuration), target(&configuration._current) {}
    ~Reader() { delete orphan; }

    // Applies one line of up to LineBufferSize - 1 bytes, without its line feed. False when
    // the line stops the reading.
    bool Line(std::string_view line)
    {
        // The line is a C string: a zero byte ends it.
        if (!line.empty() && std::memchr(line.data(), 0, line.size()))
            line = line.substr(0, line.find('\0'));
        std::size_t at = 0;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at == line.size() || line[at] == '\n' || line[at] == '#')
            return true;

        std::size_t keyStart = at;
        while (at < line.size() && IsKeyCharacter(line[at]))
            ++at;
        std::size_t keyLength = at - keyStart;
        if (keyLength >= KeyLimit) {
            System::Log().Write(System::Error, "Invalid length for key in configuration file");
            return false;
        }
        char key[KeyLimit];
        std::memcpy(key, line.data() + keyStart, keyLength);
        key[keyLength] = 0;

        bool equals = false;
        while (at < line.size() && (line[at] == ' ' || line[at] == '=')) {
            equals = equals || line[at] == '=';
            ++at;
        }
        if (!equals) {
            System::Log().Write(System::Error, "Expected equals sign after key '%s' in configuration file", key);
            return false;
        }

        std::size_t valueStart = at;
        while (at < line.size() && line[at] != '\n' && line[at] != '\t' && line[at] != '#')
            ++at;
        std::string_view value = line.substr(valueStart, at - valueStart);
        if (value.size() >= ValueLimit) {
            System::Log().Write(System::Error, "Invalid length for key %s in configuration file", key);
            return false;
        }

        if (!Apply(key, value))
            return false;
        applied = true;
        return true;
    }

    bool Apply(const char* key, std::string_view value)
    {
        char lower[KeyLimit];
        std::size_t n = 0;
        for (; key[n]; ++n)
            lower[n] = static_cast<char>(key[n] >= 'A' && key[n] <= 'Z' ? key[n] - 'A' + 'a' : key[n]);
        lower[n] = 0;
        const Key* found = Keys().Find(lower, n);
        if (!found)
            return PresetLine(key, value);

        switch (found->kind) {
        case Kind::Integer:
        case Kind::IntegerArray: {
            std::int64_t number = ParseInteger(value);
            if (number >= found->low && number <= found->high) {
                std::uint32_t& field = found->kind == Kind::Integer ? target->*(found->integer)
                                                                    : (target->*(found->integers))[found->index];
                field = static_cast<std::uint32_t>(number);
            }
            break;
        }
        case Kind::Float: {
            double number;
            if (ParseFloat(value, number)) {
                float rounded = static_cast<float>(number);
                if (rounded >= static_cast<float>(found->low) && rounded <= static_cast<float>(found->high))
                    target->*(found->real) = rounded;
            }
            break;
        }
        case Kind::Text: {
            if (value.empty())
                break;
            std::size_t capacity;
            char16_t* text = TextOf(*target, found->text, found->index, capacity);
            Decode(value, text, capacity);
            break;
        }
        case Kind::Language:
            if (!value.empty())
                Decode(value, owner._language, LanguageCapacity);
            break;
        }
        return true;
    }

    // "Preset<n>", with n the number of presets read so far, starts the next preset's block.
    bool PresetLine(const char* key, std::string_view value)
    {
        char expected[32];
        std::snprintf(expected, sizeof expected, "Preset%d", presetCounter);
        if (std::strcmp(key, expected) != 0)
            return false;
        Record* record = new (std::nothrow) Record();
        if (!record) {
            System::Log().Write(System::Error, "%s", AllocationMessage);
            return false;
        }
        Decode(value, record->PresetName, Record::PresetNameCapacity);
        ++presetCounter;
        delete orphan;
        orphan = nullptr;
        target = record;
        if (!owner._presets.Insert(record)) {
            // Its lines are read into this record, which is then dropped: the first preset of
            // a name is the one kept.
            const std::string name = Platform::Text::Escaped(value);
            System::Log().Write(System::Warn,
                                "Preset '%s' appears more than once in configuration file; "
                                "the later one is dropped",
                                name.c_str());
            orphan = record;
            ++owner._report.duplicatePresets;
            owner._backupPending = true;
        }
        return true;
    }
};

FileConfiguration::FileConfiguration(std::string path) : _path(std::move(path)) {}

std::string FileConfiguration::Path() const
{
    return _path.empty() ? Platform::DataFile("Ticova.conf") : _path;
}

bool FileConfiguration::Load()
{
    _report = {};
    const std::string path = Path();
    if (path.empty())
        return false;  // no data folder of the user's own: nothing to read
    _report.file = path;
    _report.backup = path + ".bak";
    // Temporaries left by a run that was killed while saving: the file itself is whole (the
    // rename never happened), and they would otherwise stay for good.
    Platform::File::Remove(path + ".tmp");
    Platform::File::Remove(path + ".bak.tmp");
    const bool read = [&] {
        Platform::File file;
        if (!file.Open(path, Platform::File::Mode::Read)) {
            // A file that is there but cannot be read is kept before anything is written over it.
            if (file.Error() != ENOENT)
                NoteUnreadable(Platform::ErrorText(file.Error()));
            else
                _current.SetFirstStartVoices();
            return false;
        }
        const std::int64_t size = file.Size();
        if (size > SizeLimit) {
            _report.tooLarge = size;
            _backupPending = true;
            return false;
        }
        std::string contents;
        try {
            if (size > 0)
                contents.reserve(static_cast<std::size_t>(size));
            char buffer[65536];
            for (;;) {
                long count = file.Read(buffer, sizeof buffer);
                if (count < 0) {
                    NoteUnreadable(Platform::ErrorText(file.Error()));
                    return false;
                }
                if (count == 0)
                    break;
                contents.append(buffer, static_cast<std::size_t>(count));
                if (static_cast<std::int64_t>(contents.size()) > SizeLimit) {
                    _report.tooLarge = static_cast<std::int64_t>(contents.size());
                    _backupPending = true;
                    return false;
                }
            }
        } catch (const std::bad_alloc&) {
            System::Log().Write(System::Error, "Unable to allocate memory for the configuration file");
            NoteUnreadable("not enough memory");
            return false;
        }
        file.Close();
        return Read(contents);
    }();
    // What was not taken in is kept at once, so that the user can be told where it is.
    if (_backupPending)
        _report.backupKept = KeepBackup(path);
    return read;
}

bool FileConfiguration::Read(std::string_view contents)
{
    // Skip the byte-order mark, when there is one.
    if (contents.size() >= 3 && contents.compare(0, 3, "\xEF\xBB\xBF") == 0)
        contents.remove_prefix(3);
    // Lines end with a line feed (a carriage return before it is part of the line end); a file
    // with carriage returns alone, as old Mac editors wrote them, ends its lines with those.
    const char lineEnd =
        contents.find('\n') == std::string_view::npos && contents.find('\r') != std::string_view::npos ? '\r' : '\n';

    Reader reader(*this);
    int lineNumber = 0;
    while (!contents.empty()) {
        ++lineNumber;
        std::size_t end = contents.find(lineEnd);
        std::string_view body = contents.substr(0, end);
        contents.remove_prefix(end == std::string_view::npos ? contents.size() : end + 1);
        // Read as text: a carriage return before the line feed is dropped.
        if (end != std::string_view::npos && !body.empty() && body.back() == '\r')
            body.remove_suffix(1);

        // A line longer than the line buffer is taken as several lines. (The line feed itself
        // ends a line just as the end of the buffer does, so it is not passed on.)
        do {
            std::string_view piece = body.substr(0, LineBufferSize - 1);
            body.remove_prefix(piece.size());
            if (!reader.Line(piece)) {
                NoteStop(lineNumber, piece);
                return false;
            }
        } while (!body.empty());
    }
    return reader.applied;
}

void FileConfiguration::NoteStop(int line, std::string_view text)
{
    _backupPending = true;
    _report.stoppedLine = line;
    std::string& shown = _report.stoppedText;
    shown.clear();
    // The start of the line, cut between characters.
    const std::size_t length = System::LogFile::Utf8Prefix(text.data(), text.size(), 95);
    for (std::size_t n = 0; n < length; ++n) {
        const char c = text[n];
        shown += c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
    }
    while (!shown.empty() && shown.back() == ' ')
        shown.pop_back();
}

void FileConfiguration::NoteUnreadable(const std::string& reason)
{
    _backupPending = true;
    _report.unreadable = reason.empty() ? std::string("unknown error") : reason;
}

void FileConfiguration::NoteChange(Change change)
{
    if (_observer)
        _observer(change);
}

}  // namespace Configuration
