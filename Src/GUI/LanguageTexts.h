#pragma once

#include <QString>

class QComboBox;
class QMenuBar;
class QObject;
class QWidget;

namespace System {
class ILanguage;
}

namespace GUI {

// Puts the language's texts on Qt widgets, which the language object itself knows nothing of.
class LanguageTexts {
public:
    // A language text as a QString; null gives an empty string.
    static QString Text(const char16_t* text);
    // A menu item's text without the shortcut a language may write after a tab.
    static QString MenuText(const char16_t* text);

    // The titles of the menu bar's three menus, then their items in order, separators skipped.
    // An item added beyond the fixed ones carries the number of its text in the Text group
    // (SetTextNumber) and takes that text instead, without counting as one of them.
    static void ApplyMenuTexts(QMenuBar* menuBar, const System::ILanguage& language);
    static void SetTextNumber(QObject* item, int number);
    // The caption of dialog 101..104 and the texts of its controls 1001..1095 (found by their
    // identifiers); a text the language does not give leaves the widget as it is.
    static void ApplyDialogTexts(QWidget* dialog, int dialogId, const System::ILanguage& language);
    // Appends the percussion instrument names to a list, in the order of the percussion table.
    static void FillInstrumentList(QComboBox* list, const System::ILanguage& language);
};

}  // namespace GUI
