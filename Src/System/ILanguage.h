#pragma once

namespace System {

// The user-interface texts: every text the user sees that is not fixed in a window's layout.
// Texts are addressed by group and number. The GUI applies them to its widgets (menu bar,
// toolbar, dialogs, instrument lists) by asking for them here, so this interface needs no
// toolkit. Every returned string belongs to the language object and stays valid until the
// object is destroyed or reloaded; callers fetch texts again after a language change.
// A number outside a group gives null.
class ILanguage {
public:
    static constexpr int MenuCount = 3;      // drop-down menus of the menu bar
    static constexpr int MenuItemCount = 8;  // menu items, separators not counted
    static constexpr int ToolbarCount = 4;   // toolbar buttons
    static constexpr int TooltipCount = 4;
    static constexpr int StatusInfoCount = 15;
    static constexpr int FirstDialogId = 101;  // dialogs whose captions a language translates
    static constexpr int LastDialogId = 104;
    static constexpr int FirstControlId = 1001;  // controls whose texts a language translates
    // Added at the end of their groups, so that older language files keep their numbers: the
    // Sound Settings page's group box and column headings (1096 to 1100), the messages from 53
    // on, the titles from 22 on and the texts from 16 on (the big flash and the setlists from 18).
    static constexpr int LastControlId = 1100;
    static constexpr int MessageCount = 56;
    static constexpr int MessageTitleCount = 23;
    static constexpr int InformationCount = 57;
    static constexpr int TextCount = 205;
    static constexpr int InstrumentCount = 47;
    // The toolbar button with command identifier N has tooltip N - FirstToolbarCommand.
    static constexpr int FirstToolbarCommand = 32773;

    // The sections of texts, in the order a language file holds them; the first one holds
    // only the language's display names.
    enum Section : int {
        LanguageSection = 0,
        MenuSection,
        MenuItemsSection,
        ToolbarSection,
        TooltipSection,
        StatusInfoSection,
        DialogSection,
        ControlSection,
        MessageSection,
        MessageTitleSection,
        InformationSection,
        TextSection,
        MidiSection,
        SectionCount
    };

    virtual ~ILanguage() = default;

    // True for the built-in English texts.
    virtual bool IsDefault() const = 0;
    // The language's own text of entry `index` of `section`; null where it has none, and the
    // built-in English text stands in.
    virtual const char16_t* Translation(int section, int index) const noexcept = 0;
    // The built-in English text of entry `index` of `section` (null: none; the dialogs carry
    // their English texts already, so there are none for them).
    static const char16_t* BuiltIn(int section, int index) noexcept;

    // Every text by its group, the language's own or else the built-in one. A language only
    // gives its translations; these are the same for all (virtual for a test's stand-in).

    // Title of drop-down menu 0..2 of the main menu bar ("&File").
    virtual const char16_t* GetMenuTitle(int index) const { return Text(MenuSection, index); }
    // Item 0..7 of the drop-down menus, counted across all of them, skipping separators,
    // with its shortcut after a tab ("&Language\tCtrl+L").
    virtual const char16_t* GetMenuItemText(int index) const { return Text(MenuItemsSection, index); }
    // Text of toolbar button 0..3.
    virtual const char16_t* GetToolbarText(int index) const { return Text(ToolbarSection, index); }
    // Caption for dialog 101..104; null leaves the caption the dialog already has.
    virtual const char16_t* GetDialogCaption(int dialogId) const
    {
        return Translation(DialogSection, dialogId - FirstDialogId);
    }
    // Text for a dialog's control 1001..1100 when a dialog is translated; null leaves the
    // control's text as it is, an empty string empties it.
    virtual const char16_t* GetDialogControlText(int controlId) const
    {
        return Translation(ControlSection, controlId - FirstControlId);
    }

    virtual const char16_t* GetTooltip(int index) const { return Text(TooltipSection, index); }        // 0..3
    virtual const char16_t* GetStatusInfo(int index) const { return Text(StatusInfoSection, index); }  // 0..14
    // Caption of a main-window control by its identifier.
    virtual const char16_t* GetControlText(int controlId) const
    {
        return Text(ControlSection, controlId - FirstControlId);
    }
    virtual const char16_t* GetMessage(int index) const { return Text(MessageSection, index); }            // 0..55
    virtual const char16_t* GetMessageTitle(int index) const { return Text(MessageTitleSection, index); }  // 0..22
    virtual const char16_t* GetInformation(int index) const { return Text(InformationSection, index); }    // 0..56
    virtual const char16_t* GetText(int index) const { return Text(TextSection, index); }                  // 0..195
    // 0..46, percussion table order.
    virtual const char16_t* GetInstrumentName(int row) const { return Text(MidiSection, row); }

private:
    const char16_t* Text(int section, int index) const
    {
        const char16_t* text = Translation(section, index);
        return text != nullptr ? text : BuiltIn(section, index);
    }
};

// The process-wide language object: the built-in English texts unless another one was
// installed. Texts are read from any thread (the multimedia error report reads messages on
// the thread that met the error); the object is replaced only on the user-interface thread
// while nothing plays.
ILanguage& CurrentLanguage();

// Installs the language object that CurrentLanguage() returns; nullptr restores the built-in
// texts. The caller keeps ownership and keeps the object alive while it is installed.
void SetCurrentLanguage(ILanguage* language);

}  // namespace System
