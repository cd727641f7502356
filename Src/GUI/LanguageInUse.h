#pragma once

#include <QString>

#include "GUI/LanguageTexts.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"

namespace GUI::LanguageInUse {

// The language in use (the built-in texts when no file is loaded).
inline const System::ILanguage& Texts()
{
    return System::CurrentLanguage();
}

// One of its texts as Qt shows it.
inline QString Text(const char16_t* text)
{
    return LanguageTexts::Text(text);
}

}  // namespace GUI::LanguageInUse
