#include "GUI/LanguageTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVariant>

#include "GUI/ControlId.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {
// The property of a menu or menu item that takes its text from the "Text" group: its number.
constexpr const char* TextNumberProperty = "textNumber";
}  // namespace

void LanguageTexts::SetTextNumber(QObject* item, int number)
{
    item->setProperty(TextNumberProperty, number);
}

QString LanguageTexts::Text(const char16_t* text)
{
    return text ? QString::fromUtf16(text) : QString();
}

QString LanguageTexts::MenuText(const char16_t* text)
{
    // A shortcut written after a tab ("&Language\tCtrl+L") would be shown as written, in English,
    // beside the others the menu shows from the items' own key sequences in the language of the
    // desktop ("Strg+K"): the menu shows them all.
    return Text(text).section(u'\t', 0, 0);
}

void LanguageTexts::ApplyMenuTexts(QMenuBar* menuBar, const System::ILanguage& language)
{
    if (!menuBar)
        return;
    int menuIndex = 0;
    int itemIndex = 0;
    // Menus and items added later carry the number of their text in the "Text" group
    // (TextNumberProperty); the others keep the numbers of their groups, counted in order.
    const auto numbered = [&](QAction* action) {
        const QVariant number = action->property(TextNumberProperty);
        if (!number.isValid())
            return false;
        if (const char16_t* text = language.GetText(number.toInt()))
            action->setText(MenuText(text));
        return true;
    };
    for (QAction* menuAction : menuBar->actions()) {
        if (!numbered(menuAction))
            if (const char16_t* title = language.GetMenuTitle(menuIndex++))
                menuAction->setText(Text(title));
        QMenu* menu = menuAction->menu();
        if (!menu)
            continue;
        for (QAction* item : menu->actions()) {
            if (item->isSeparator() || numbered(item))
                continue;
            if (const char16_t* text = language.GetMenuItemText(itemIndex++))
                item->setText(MenuText(text));
        }
    }
    menuBar->update();
}

void LanguageTexts::ApplyDialogTexts(QWidget* dialog, int dialogId, const System::ILanguage& language)
{
    if (!dialog)
        return;
    if (const char16_t* caption = language.GetDialogCaption(dialogId))
        dialog->setWindowTitle(Text(caption));
    const auto widgets = dialog->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        int id = ControlId(widget);
        if (id < System::ILanguage::FirstControlId || id > System::ILanguage::LastControlId)
            continue;
        const char16_t* text = language.GetDialogControlText(id);
        if (!text)
            continue;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(Text(text));
        else if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(Text(text));
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            group->setTitle(Text(text));
    }
}

void LanguageTexts::FillInstrumentList(QComboBox* list, const System::ILanguage& language)
{
    if (!list)
        return;
    for (int row = 0; row < System::ILanguage::InstrumentCount; ++row)
        list->addItem(Text(language.GetInstrumentName(row)));
}

}  // namespace GUI
