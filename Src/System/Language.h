#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "System/ILanguage.h"

namespace System {

// The user-interface texts read from a language file ("Lang/<name>.lng" beside the program):
// a UTF-8 text file with a byte-order mark, the signature line "@lng", then sections of
// numbered keys, each key holding the text of one entry. The texts live in one table of
// fixed-size wide-character entries, empty until a file fills them; loading another file
// on top keeps the entries that the new file does not define.
class Language final : public ILanguage {
public:
    static constexpr std::size_t TableSize = 172544;          // wide characters
    static constexpr std::size_t NameCapacity = 256;          // display names, zero included
    static constexpr std::size_t NamesReadLimit = 64 * 1024;  // bytes read for the display names
    static constexpr std::size_t MaxKeyLength = 63;
    static constexpr std::size_t MaxValueBytes = 771;
    static constexpr std::size_t ShortcutCapacity = 16;

    Language();
    ~Language() override;
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    // False when the table could not be allocated; such an object loads nothing.
    bool HasTable() const noexcept { return _table != nullptr; }

    // Reads Lang/<name>.lng of the language folder into the table. False when the file cannot
    // be read or does not parse; the entries stored before the failing line stay.
    bool LoadLanguageFile(std::u16string_view name);
    // The same for a file given by its path, and for a file's contents.
    bool LoadPath(const std::string& path);
    bool LoadText(std::string_view contents);

    // Reads the English and the native name of the language from the head of a file.
    static bool ReadLanguageNames(const std::string& path, char16_t (&english)[NameCapacity],
                                  char16_t (&native)[NameCapacity]);
    static bool ReadLanguageNamesFromText(std::string_view contents, char16_t (&english)[NameCapacity],
                                          char16_t (&native)[NameCapacity]);

    // The file that LoadLanguageFile reads for a name; empty for a name that is not a plain
    // file name (empty, too long, or holding a path separator).
    static std::string LanguageFilePath(std::u16string_view name);

    // Entries of a section, and the capacity of each (wide characters, zero included).
    static int EntryCount(int section) noexcept;
    static std::size_t EntryCapacity(int section) noexcept;
    // Entry `index` (key - 1) of a section; null outside it.
    const char16_t* Entry(int section, int index) const noexcept;

    bool IsDefault() const override { return false; }
    // A file can hold no empty text (an empty value is refused), so an empty entry is one the
    // file does not define: none. The menu items carry their shortcuts.
    const char16_t* Translation(int section, int index) const noexcept override;

private:
    void ComposeMenuItems() noexcept;

    char16_t* _table = nullptr;
    // The menu items with their shortcuts appended, rebuilt after every load.
    char16_t _menuItems[MenuItemCount][64 + ShortcutCapacity] = {};
};

// The folder that holds the language files shipped with the program, with a trailing '/': "Lang/"
// beside the program, or in <prefix>/share/ticova/ when installed.
std::string LanguageFolder();
// Every folder language files are looked up in, first found first: the user's own
// ($XDG_DATA_HOME/Ticova/Lang/), the shipped one, those of $XDG_DATA_DIRS; a test's folder alone.
std::vector<std::string> LanguageFolders();
// Tests read language files from a folder of their own; an empty path restores the rule above.
void SetLanguageFolderForTesting(const std::string& folder);

}  // namespace System
