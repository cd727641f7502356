// Feeds arbitrary bytes to the language file reader: the table loader (twice, the second load
// on top of the first, as a language change does) and the display-name reader.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "SilentLog.h"
#include "System/ILog.h"
#include "System/Language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fuzz::SilentLog log;
    static System::Language* language = [] {
        System::SetLogForTesting(&log);
        return new System::Language();
    }();
    std::string_view contents(reinterpret_cast<const char*>(data), size);
    language->LoadText(contents);
    for (int section = 0; section < System::Language::SectionCount; ++section)
        for (int i = 0; i < System::Language::EntryCount(section); ++i)
            if (const char16_t* text = language->Entry(section, i))
                (void)std::u16string_view(text).size();
    for (int k = 0; k < System::ILanguage::MenuItemCount; ++k)
        (void)std::u16string_view(language->GetMenuItemText(k)).size();
    char16_t english[System::Language::NameCapacity];
    char16_t native[System::Language::NameCapacity];
    if (System::Language::ReadLanguageNamesFromText(contents, english, native)) {
        (void)std::u16string_view(english).size();
        (void)std::u16string_view(native).size();
    }
    return 0;
}
