#include "Configuration/ExtraSettings.h"

#include <cerrno>
#include <charconv>

#include "Platform/File.h"
#include "Platform/ProgramFolder.h"
#include "Platform/SystemError.h"
#include "Platform/Text.h"
#include "System/ILog.h"

namespace Configuration {

namespace {

constexpr std::string_view Header = "# Ticova: settings beyond Ticova.conf\n";

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool Unescape(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t n = 0; n < text.size(); ++n) {
        const char c = text[n];
        if (c == 0)
            return false;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++n == text.size())
            return false;
        switch (text[n]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: return false;
        }
    }
    return true;
}

// Text that a UTF-16 round trip gives back unchanged: no broken sequence, no lone surrogate.
bool IsUtf8(std::string_view text)
{
    return Platform::Text::Utf16ToUtf8(Platform::Text::Utf8ToUtf16(text)) == text;
}

void Escape(std::string_view text, std::string& out)
{
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c; break;
        }
    }
}

}  // namespace

std::string ExtraSettings::Path() const
{
    return _path.empty() ? Platform::DataFile("Ticova.extras") : _path;
}

bool ExtraSettings::IsKey(std::string_view key)
{
    if (key.empty() || key.size() > KeyLimit)
        return false;
    for (const char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
              c == '-'))
            return false;
    return true;
}

int ExtraSettings::Read(std::string_view contents)
{
    if (contents.substr(0, 3) == "\xEF\xBB\xBF")
        contents.remove_prefix(3);
    int skipped = 0;
    int lineNumber = 0;
    std::string value;
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        std::string_view line = contents.substr(0, end);
        contents = end == std::string_view::npos ? std::string_view{} : contents.substr(end + 1);
        ++lineNumber;
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        const std::string_view key = equals == std::string_view::npos ? line : Trim(line.substr(0, equals));
        if (equals == std::string_view::npos || !IsKey(key) || !Unescape(Trim(line.substr(equals + 1)), value) ||
            !IsUtf8(value)) {
            ++skipped;
            if (skipped <= 10)
                System::Log().Write(System::Warn, "Settings file %s: line %d skipped (%s)", Path().c_str(), lineNumber,
                                    Platform::Text::Escaped(std::string(line.substr(0, 60))).c_str());
            continue;
        }
        _values.insert_or_assign(std::string(key), value);
    }
    return skipped;
}

bool ExtraSettings::Load()
{
    _values.clear();
    _changed = false;
    _backupPending = false;
    _report = {};
    const std::string path = Path();
    if (path.empty())
        return true;
    _report.file = path;
    _report.backup = path + ".bak";
    Platform::File::Remove(path + ".tmp");
    Platform::File::Remove(path + ".bak.tmp");
    if (!Platform::File::Exists(path))
        return true;
    std::string contents;
    Platform::File file;
    bool read = file.Open(path, Platform::File::Mode::Read);
    if (read && file.Size() > static_cast<std::int64_t>(SizeLimit))
        _report.tooLarge = file.Size();
    else if (!read || !Platform::File::ReadAll(path, contents, SizeLimit + 1))
        _report.unreadable = Platform::ErrorText(read ? EIO : file.Error());
    else if (contents.size() > SizeLimit)
        _report.tooLarge = static_cast<std::int64_t>(contents.size());
    file.Close();
    if (_report.tooLarge > 0 || !_report.unreadable.empty()) {
        System::Log().Write(System::Warn, "Settings file %s could not be read; the defaults are used", path.c_str());
        _backupPending = true;
        _report.backupKept = KeepBackup(path);
        return false;
    }
    _report.skippedLines = Read(contents);
    if (_report.skippedLines > 0) {
        _backupPending = true;
        _report.backupKept = KeepBackup(path);
    }
    return true;
}

// The file as it is now, byte for byte, as "<name>.bak".
bool ExtraSettings::KeepBackup(const std::string& path)
{
    int error = 0;
    const char* call = "";
    if (!Platform::File::KeepCopy(path, path + ".bak", &error, &call)) {
        if (error == ENOENT) {
            _backupPending = false;
            return true;
        }
        return Fail(error, call, __LINE__);
    }
    System::Log().Write(System::Warn, "Settings file %s was not read whole; the file as it was is kept as %s.bak",
                        path.c_str(), path.c_str());
    _backupPending = false;
    return true;
}

bool ExtraSettings::Fail(int error, const char* call, int line)
{
    _saveFailure.Note(error, call);
    System::ReportSystemErrorCode(error, "Src/Configuration/ExtraSettings", "Configuration::ExtraSettings::Save", line,
                                  "Error calling %s", call);
    return false;
}

std::string ExtraSettings::Write() const
{
    std::string text(Header);
    for (const auto& [key, value] : _values) {
        text += key;
        text += " = ";
        Escape(value, text);
        text += '\n';
    }
    return text;
}

bool ExtraSettings::Save()
{
    _saveFailure.Clear();
    const std::string path = Path();
    if (path.empty()) {
        _saveFailure.Note(EACCES, "");
        return false;
    }
    if (_backupPending && !KeepBackup(path))
        return false;
    int error = 0;
    const char* call = "";
    if (!Platform::File::ReplaceWhole(path, Write(), &error, &call))
        return Fail(error, call, __LINE__);
    _changed = false;
    return true;
}

std::string ExtraSettings::SaveProblem() const
{
    return _saveFailure.Problem(Path());
}

void ExtraSettings::Change()
{
    _changed = true;
    if (_observer)
        _observer();
}

bool ExtraSettings::Has(std::string_view key) const
{
    return _values.find(key) != _values.end();
}

std::string ExtraSettings::Text(std::string_view key, std::string_view fallback) const
{
    const auto found = _values.find(key);
    return found == _values.end() ? std::string(fallback) : found->second;
}

std::int64_t ExtraSettings::Number(std::string_view key, std::int64_t fallback, std::int64_t low,
                                   std::int64_t high) const
{
    const auto found = _values.find(key);
    if (found == _values.end())
        return fallback;
    const std::string& text = found->second;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return fallback;
    return value;
}

bool ExtraSettings::Flag(std::string_view key, bool fallback) const
{
    const auto found = _values.find(key);
    if (found == _values.end())
        return fallback;
    if (found->second == "true" || found->second == "1")
        return true;
    if (found->second == "false" || found->second == "0")
        return false;
    return fallback;
}

bool ExtraSettings::SetText(std::string_view key, std::string_view value)
{
    if (!IsKey(key) || value.find('\0') != std::string_view::npos || !IsUtf8(value))
        return false;
    const auto found = _values.find(key);
    if (found != _values.end() && found->second == value)
        return true;
    _values.insert_or_assign(std::string(key), std::string(value));
    Change();
    return true;
}

bool ExtraSettings::SetNumber(std::string_view key, std::int64_t value)
{
    return SetText(key, std::to_string(value));
}

bool ExtraSettings::SetFlag(std::string_view key, bool value)
{
    return SetText(key, value ? "true" : "false");
}

void ExtraSettings::Remove(std::string_view key)
{
    const auto found = _values.find(key);
    if (found != _values.end()) {
        _values.erase(found);
        Change();
    }
}

void ExtraSettings::RemovePrefix(std::string_view prefix)
{
    bool removed = false;
    for (auto at = _values.lower_bound(prefix); at != _values.end() && at->first.starts_with(prefix);) {
        at = _values.erase(at);
        removed = true;
    }
    if (removed)
        Change();
}

std::vector<std::string> ExtraSettings::Keys(std::string_view prefix) const
{
    std::vector<std::string> keys;
    for (auto at = _values.lower_bound(prefix); at != _values.end() && at->first.starts_with(prefix); ++at)
        keys.push_back(at->first);
    return keys;
}

ExtraSettings& GetExtraSettings()
{
    static ExtraSettings settings;
    return settings;
}

}  // namespace Configuration
