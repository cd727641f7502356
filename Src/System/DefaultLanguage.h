#pragma once

#include "System/ILanguage.h"

namespace System {

// The built-in English texts. It has no state; every text is a constant string.
class DefaultLanguage : public ILanguage {
public:
    bool IsDefault() const override { return true; }

    const char16_t* GetMenuTitle(int index) const override;
    const char16_t* GetMenuItemText(int index) const override;
    const char16_t* GetToolbarText(int index) const override;
    // The dialogs carry their English texts already: these two leave them (null).
    const char16_t* GetDialogCaption(int dialogId) const override;
    const char16_t* GetDialogControlText(int controlId) const override;

    const char16_t* GetTooltip(int index) const override;
    const char16_t* GetStatusInfo(int index) const override;
    const char16_t* GetControlText(int controlId) const override;
    const char16_t* GetMessage(int index) const override;
    const char16_t* GetMessageTitle(int index) const override;
    const char16_t* GetInformation(int index) const override;
    const char16_t* GetText(int index) const override;
    const char16_t* GetInstrumentName(int row) const override;
};

}  // namespace System
