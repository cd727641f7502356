#pragma once

#include <memory>
#include <string_view>

#include "System/ILanguage.h"

namespace System {

// Sets up the language object for a configured language name, at start-up and after the user
// picks another language. An empty name means the built-in English texts (a DefaultLanguage),
// any other name the language file of that name (a Language). When the current object is of
// the other kind it is destroyed and one of the right kind is created; a Language that stays
// loads the new file on top of its table, so entries the new file leaves out keep the previous
// file's texts. The object is installed as the current language (CurrentLanguage()).
// On failure (no object, or the file does not load) the entry "Unable to initialise
// language. ..." is logged and false returned; the object, possibly partly loaded, stays in
// `current` for the caller to replace.
bool SetUpLanguage(std::unique_ptr<ILanguage>& current, std::u16string_view name);

}  // namespace System
