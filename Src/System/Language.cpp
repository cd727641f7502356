#include "System/Language.h"

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Platform/Text.h"
#include "System/ILog.h"

namespace System {

namespace {

struct SectionLayout {
    const char* name;
    int entries;
    std::size_t capacity;
    std::size_t start;
};

// The sections in their order in the table; the first one holds only the display names.
// Each section starts where the one before it ends.
constexpr std::array<SectionLayout, Language::SectionCount>
Laid(std::array<SectionLayout, Language::SectionCount> layout)
{
    std::size_t start = 0;
    for (SectionLayout& section : layout) {
        section.start = start;
        start += static_cast<std::size_t>(section.entries) * section.capacity;
    }
    return layout;
}

constexpr std::array<SectionLayout, Language::SectionCount> sections = Laid({{
    {"Language", 0, 0, 0},
    {"Menu", ILanguage::MenuCount, 64, 0},
    {"MenuItems", ILanguage::MenuItemCount, 64, 0},
    {"Toolbar", ILanguage::ToolbarCount, 64, 0},
    {"Tooltip", ILanguage::TooltipCount, 256, 0},
    {"StatusInfo", ILanguage::StatusInfoCount, 512, 0},
    {"Dialog", ILanguage::LastDialogId - ILanguage::FirstDialogId + 1, 256, 0},
    {"Control", ILanguage::LastControlId - ILanguage::FirstControlId + 1, 256, 0},
    {"Message", ILanguage::MessageCount, 512, 0},
    {"MessageTitle", ILanguage::MessageTitleCount, 256, 0},
    {"Information", ILanguage::InformationCount, 512, 0},
    {"Text", ILanguage::TextCount, 256, 0},
    {"Midi", ILanguage::InstrumentCount, 128, 0},
}});

constexpr bool LayoutIsConsistent()
{
    const SectionLayout& last = sections.back();
    return last.start + static_cast<std::size_t>(last.entries) * last.capacity <= Language::TableSize;
}
static_assert(LayoutIsConsistent());

// Keys are read up to the largest section's count (at least 101); a larger number is out of
// range however many digits follow.
constexpr int HighestKey = [] {
    int highest = 101;
    for (const SectionLayout& section : sections)
        highest = section.entries > highest ? section.entries : highest;
    return highest;
}();

const char16_t* const shortcuts[ILanguage::MenuItemCount] = {
    u"\tCtrl+L", u"\tCtrl+Q", u"\tCtrl+O", u"\tCtrl+S", u"\tCtrl+A", u"\tCtrl+P", u"\tCtrl+F1", u"\tCtrl+F3",
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// A name from the file as the log shows it: a NUL byte would end the text early, so it is
// shown as '?'.
std::string Printable(std::string_view text)
{
    std::string printable(text);
    for (char& c : printable)
        if (c == '\0')
            c = '?';
    return printable;
}

// The language file being read, named in every line the reader logs (empty for text given
// without a file). Only the thread that reads sets it, for the time of one reading.
thread_local std::string_view readingFile;

struct ReadingFile {
    explicit ReadingFile(std::string_view path) : _previous(readingFile) { readingFile = path; }
    ~ReadingFile() { readingFile = _previous; }
    ReadingFile(const ReadingFile&) = delete;
    ReadingFile& operator=(const ReadingFile&) = delete;

private:
    std::string_view _previous;
};

// A parse error at level 3, followed by the file it was found in.
void WriteMessage(const char* message)
{
    if (readingFile.empty()) {
        Log().WriteText(Error, message);
        return;
    }
    const std::size_t length = std::strlen(message);
    const char* space = length > 0 && message[length - 1] == ' ' ? "" : " ";
    const std::string file(readingFile);
    Log().Write(Error, "%s%s(file %s)", message, space, file.c_str());
}

__attribute__((format(printf, 1, 2))) void Report(const char* format, ...)
{
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    WriteMessage(message);
}

// Decodes a value into a fixed-capacity entry: "\n" (backslash, n) becomes a line break and a
// NUL byte, which would end the text, becomes U+FFFD like any byte that is not UTF-8.
void DecodeValue(std::string_view value, char16_t* entry, std::size_t capacity)
{
    std::string decoded;
    decoded.reserve(value.size() + 8);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == 'n') {
            decoded += '\n';
            ++i;
        } else if (value[i] == '\0') {
            decoded += "\xEF\xBF\xBD";
        } else {
            decoded += value[i];
        }
    }
    Platform::Text::Utf8ToUtf16(decoded, entry, capacity);
}

// What kind of line the reader met.
enum class LineKind { Blank, Header, Other };

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

// Reads a language file line by line, keeping the line number for the messages. Lines end at a
// line feed; a carriage return before it belongs to the line end, as in a file read in text
// mode. Every other byte, a NUL included, is text of its line.
class LineReader {
public:
    explicit LineReader(std::string_view contents)
    {
        // The byte-order mark, when there is one: a file saved without it (as most editors do)
        // starts with its signature.
        _rest = contents.substr(0, 3) == "\xEF\xBB\xBF" ? contents.substr(3) : contents;
    }

    // The next line without its line end; false at the end of the file.
    bool Next(std::string_view& line)
    {
        if (_rest.empty())
            return false;
        std::size_t end = _rest.find('\n');
        _hadLineEnd = end != std::string_view::npos;
        line = _hadLineEnd ? _rest.substr(0, end) : _rest;
        _rest = _hadLineEnd ? _rest.substr(end + 1) : std::string_view();
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++_number;
        return true;
    }

    int Number() const { return _number; }
    bool HadLineEnd() const { return _hadLineEnd; }
    std::string_view Rest() const { return _rest; }
    void Restart(std::string_view rest, int number)
    {
        _rest = rest;
        _number = number;
    }

private:
    std::string_view _rest;
    int _number = 0;
    bool _hadLineEnd = false;
};

LineKind Classify(std::string_view line)
{
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    if (at == line.size() || line[at] == '#')
        return LineKind::Blank;
    return line[at] == '[' ? LineKind::Header : LineKind::Other;
}

// The first line must be exactly "@lng" followed by its line end.
bool CheckSignature(LineReader& reader)
{
    std::string_view line;
    if (reader.Next(line) && line == "@lng" && reader.HadLineEnd())
        return true;
    // The message holds a lone '%', so it goes to the log as plain text, never as a format.
    WriteMessage("Invalid file signature '%' found in language file. File must be saved in UTF-8 format, "
                 "with '@lng' followed by a new line as the first characters in the file. ");
    return false;
}

// Moves past lines up to and including the next header line; false (logged) at the end.
bool FindHeader(LineReader& reader, std::string_view& header)
{
    while (reader.Next(header))
        if (Classify(header) == LineKind::Header)
            return true;
    Report("Unexpected language file structure. Reached end of file when expected another file section.");
    return false;
}

// Parses a header line into a section index; false (logged) for a bad header.
bool ParseHeader(std::string_view line, int number, int& section, std::string_view& name)
{
    std::size_t open = line.find('[');
    std::string_view rest = line.substr(open + 1);
    std::size_t close = rest.find(']');
    if (close == std::string_view::npos) {
        Report("Expected closing square bracket at end of section '%s' in line %d of language file",
               Printable(rest).c_str(), number);
        return false;
    }
    name = rest.substr(0, close);
    for (int i = 0; i < Language::SectionCount; ++i) {
        if (EqualsIgnoringCase(name, sections[static_cast<std::size_t>(i)].name)) {
            section = i;
            return true;
        }
    }
    Report("Invalid section '%s' found in line %d of language file", Printable(name).c_str(), number);
    return false;
}

// Parses "key = value"; false (logged) for a line that is not a valid key line.
bool ParseKeyLine(std::string_view line, int number, KeyLine& parsed)
{
    std::size_t at = 0;
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    std::size_t keyStart = at;
    while (at < line.size() && IsKeyCharacter(line[at]))
        ++at;
    parsed.key = line.substr(keyStart, at - keyStart);
    if (parsed.key.size() > Language::MaxKeyLength) {
        Report("Invalid length for key on line %d in language file", number);
        return false;
    }
    std::string key(parsed.key);
    // Spaces and equals signs, at least one of them an equals sign. Tabs count as spaces here.
    bool equals = false;
    while (at < line.size() && (line[at] == '=' || IsBlank(line[at]))) {
        equals = equals || line[at] == '=';
        ++at;
    }
    if (!equals) {
        Report("Expected equals sign after key '%s' on line %d in language file.", key.c_str(), number);
        return false;
    }
    std::size_t valueEnd = line.find_first_of("\t#", at);
    parsed.value = line.substr(at, valueEnd == std::string_view::npos ? std::string_view::npos : valueEnd - at);
    if (parsed.value.empty()) {
        Report("No value entered for key %s on line %d in language file", key.c_str(), number);
        return false;
    }
    if (parsed.value.size() > Language::MaxValueBytes) {
        Report("Invalid length for key %s on line %d in language file", key.c_str(), number);
        return false;
    }
    return true;
}

// A text section's key read like an integer: its leading digits count ("7a" is 7, "a7" is 0).
int KeyNumber(std::string_view key)
{
    int number = 0;
    for (char c : key) {
        if (c < '0' || c > '9')
            break;
        number = number * 10 + (c - '0');
        if (number > HighestKey)
            return HighestKey + 1;  // out of range however many digits follow
    }
    return number;
}

// Searches from the reader's position for the key line `wanted`, skipping blank lines,
// comments and headers, and decodes its value into `name`.
bool FindName(LineReader& reader, std::string_view wanted, char16_t (&name)[Language::NameCapacity])
{
    std::string_view line;
    while (reader.Next(line)) {
        LineKind kind = Classify(line);
        if (kind != LineKind::Other)
            continue;
        KeyLine parsed;
        if (!ParseKeyLine(line, reader.Number(), parsed))
            return false;
        if (EqualsIgnoringCase(parsed.key, wanted)) {
            DecodeValue(parsed.value, name, Language::NameCapacity);
            return true;
        }
    }
    return false;
}

}  // namespace

Language::Language()
{
    _table = new (std::nothrow) char16_t[TableSize]();
    if (!_table)
        Log().Write(Error, "Unable to allocate memory for language array in Language class constructor");
    ComposeMenuItems();
}

Language::~Language()
{
    delete[] _table;
}

int Language::EntryCount(int section) noexcept
{
    return section >= 0 && section < SectionCount ? sections[static_cast<std::size_t>(section)].entries : 0;
}

std::size_t Language::EntryCapacity(int section) noexcept
{
    return section >= 0 && section < SectionCount ? sections[static_cast<std::size_t>(section)].capacity : 0;
}

const char16_t* Language::Entry(int section, int index) const noexcept
{
    if (!_table || index < 0 || index >= EntryCount(section))
        return nullptr;
    const SectionLayout& layout = sections[static_cast<std::size_t>(section)];
    return _table + layout.start + static_cast<std::size_t>(index) * layout.capacity;
}

std::string Language::LanguageFilePath(std::u16string_view name)
{
    if (name.empty() || name.size() > 31 || name.find(u'/') != std::u16string_view::npos ||
        name.find(u'\0') != std::u16string_view::npos || name == u"." || name == u"..")
        return {};
    const std::string file = Platform::Text::Utf16ToUtf8(name) + ".lng";
    for (const std::string& folder : LanguageFolders())
        if (Platform::File::Exists(folder + file))
            return folder + file;
    return LanguageFolder() + file;
}

bool Language::LoadLanguageFile(std::u16string_view name)
{
    std::string path = LanguageFilePath(name);
    return !path.empty() && LoadPath(path);
}

bool Language::LoadPath(const std::string& path)
{
    if (!_table)
        return false;
    // The whole file is read at once and closed before parsing.
    std::string contents;
    if (!Platform::File::ReadAll(path, contents))
        return false;
    const ReadingFile reading(path);
    return LoadText(contents);
}

bool Language::LoadText(std::string_view contents)
{
    if (!_table)
        return false;
    bool loaded = [&] {
        LineReader reader(contents);
        if (!CheckSignature(reader))
            return false;
        // The first section holds the display names, which only the language dialog reads.
        std::string_view line;
        if (!FindHeader(reader, line) || !FindHeader(reader, line))
            return false;
        int section = 0;
        std::string_view name;
        if (!ParseHeader(line, reader.Number(), section, name))
            return false;
        while (reader.Next(line)) {
            switch (Classify(line)) {
            case LineKind::Blank: continue;
            case LineKind::Header:
                if (!ParseHeader(line, reader.Number(), section, name))
                    return false;
                continue;
            case LineKind::Other: break;
            }
            KeyLine parsed;
            if (!ParseKeyLine(line, reader.Number(), parsed))
                return false;
            // Keys run from 1 to the section's entry count; a higher key would address no entry
            // of the section, so it is refused like any other bad key.
            int key = KeyNumber(parsed.key);
            if (key < 1 || key > EntryCount(section)) {
                Report("Unexpected key %s found in line %d of language file", std::string(parsed.key).c_str(),
                       reader.Number());
                return false;
            }
            const SectionLayout& layout = sections[static_cast<std::size_t>(section)];
            DecodeValue(parsed.value, _table + layout.start + static_cast<std::size_t>(key - 1) * layout.capacity,
                        layout.capacity);
        }
        return true;
    }();
    // Entries stored before a failing line stay, so the menu items follow them either way.
    ComposeMenuItems();
    return loaded;
}

bool Language::ReadLanguageNames(const std::string& path, char16_t (&english)[NameCapacity],
                                 char16_t (&native)[NameCapacity])
{
    // The names stand in the first section, at the top of the file: only its beginning is
    // read, whatever the size of the rest, up to the last whole line.
    std::string contents;
    if (!Platform::File::ReadAll(path, contents, NamesReadLimit))
        return false;
    if (contents.size() == NamesReadLimit)
        contents.erase(contents.rfind('\n') == std::string::npos ? 0 : contents.rfind('\n') + 1);
    const ReadingFile reading(path);
    return ReadLanguageNamesFromText(contents, english, native);
}

bool Language::ReadLanguageNamesFromText(std::string_view contents, char16_t (&english)[NameCapacity],
                                         char16_t (&native)[NameCapacity])
{
    LineReader reader(contents);
    if (!CheckSignature(reader))
        return false;
    std::string_view line;
    if (!FindHeader(reader, line))
        return false;
    int section = 0;
    std::string_view name;
    if (!ParseHeader(line, reader.Number(), section, name))
        return false;
    if (section != LanguageSection) {
        Report("Current section '%s' from line %d of language file doesn't match expected section '%s'",
               Printable(name).c_str(), reader.Number(), "Language");
        return false;
    }
    std::string_view afterHeader = reader.Rest();
    int headerLine = reader.Number();
    if (!FindName(reader, "LangEnglish", english))
        return false;
    reader.Restart(afterHeader, headerLine);
    return FindName(reader, "Language", native);
}

void Language::ComposeMenuItems() noexcept
{
    for (int k = 0; k < MenuItemCount; ++k) {
        const char16_t* text = Entry(MenuItemsSection, k);
        if (!text || !*text) {
            // Not in the file: the built-in item, which carries its shortcut already.
            Platform::Text::Copy(_menuItems[k], std::u16string_view(ILanguage::BuiltIn(MenuItemsSection, k)));
            continue;
        }
        std::size_t length = Platform::Text::Copy(_menuItems[k], std::u16string_view(text));
        Platform::Text::Copy(_menuItems[k] + length, std::size(_menuItems[k]) - length, shortcuts[k]);
    }
}

const char16_t* Language::Translation(int section, int index) const noexcept
{
    if (section == MenuItemsSection)
        return _table && index >= 0 && index < MenuItemCount ? _menuItems[index] : nullptr;
    const char16_t* text = Entry(section, index);
    return text && *text ? text : nullptr;
}

}  // namespace System
