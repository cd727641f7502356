#include "System/LanguageSetUp.h"

#include <new>

#include "System/DefaultLanguage.h"
#include "System/ILog.h"
#include "System/Language.h"

namespace System {

bool SetUpLanguage(std::unique_ptr<ILanguage>& current, std::u16string_view name)
{
    const bool wantDefault = name.empty();
    const bool rightKind =
        current && (wantDefault ? current->IsDefault() : dynamic_cast<Language*>(current.get()) != nullptr);
    if (!rightKind) {
        // Nobody may read texts from the object while it is being replaced.
        SetCurrentLanguage(nullptr);
        current.reset();
        if (wantDefault)
            current.reset(new (std::nothrow) DefaultLanguage());
        else
            current.reset(new (std::nothrow) Language());
    }
    SetCurrentLanguage(current.get());
    bool ready = current != nullptr;
    if (ready && !wantDefault)
        ready = static_cast<Language*>(current.get())->LoadLanguageFile(name);
    if (!ready)
        Log().Write(Error, "Unable to initialise language. There may be an issue with the selected language file.");
    return ready;
}

}  // namespace System
