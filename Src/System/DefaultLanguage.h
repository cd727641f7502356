#pragma once

#include "System/ILanguage.h"

namespace System {

// The built-in English texts (ILanguage::BuiltIn) alone. It has no state.
class DefaultLanguage : public ILanguage {
public:
    bool IsDefault() const override { return true; }
    const char16_t* Translation(int, int) const noexcept override { return nullptr; }
};

}  // namespace System
