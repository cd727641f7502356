#include <gtest/gtest.h>

#include <string>

#include "System/DefaultLanguage.h"

namespace {

using System::DefaultLanguage;
using System::ILanguage;

std::u16string Text(const char16_t* text)
{
    return text ? std::u16string(text) : std::u16string(u"<null>");
}

TEST(DefaultLanguage, MenuAndToolbarTextsInTheOrderTheWindowAppliesThem)
{
    DefaultLanguage language;
    EXPECT_TRUE(language.IsDefault());
    EXPECT_EQ(Text(language.GetMenuTitle(0)), u"&File");
    EXPECT_EQ(Text(language.GetMenuTitle(2)), u"&Help");
    EXPECT_EQ(Text(language.GetMenuItemText(0)), u"&Language\tCtrl+L");
    EXPECT_EQ(Text(language.GetMenuItemText(3)), u"&Sound Settings...\tCtrl+S");
    EXPECT_EQ(Text(language.GetMenuItemText(7)), u"&About\tCtrl+F3");
    EXPECT_EQ(Text(language.GetToolbarText(0)), u"Options");
    EXPECT_EQ(Text(language.GetToolbarText(3)), u"Presets");
    // The dialogs already carry the English texts: nothing to apply.
    EXPECT_EQ(language.GetDialogCaption(101), nullptr);
    EXPECT_EQ(language.GetDialogControlText(1001), nullptr);
}

TEST(DefaultLanguage, TooltipsStatusTextsAndControlCaptions)
{
    DefaultLanguage language;
    EXPECT_EQ(Text(language.GetTooltip(32775 - ILanguage::FirstToolbarCommand)),
              u"Edit The Filenames And Paths For Audio Files");
    EXPECT_EQ(Text(language.GetTooltip(0)), u"Edit The Metronome Options");
    EXPECT_EQ(Text(language.GetStatusInfo(0)), u"Opens the language selection window");
    EXPECT_EQ(Text(language.GetStatusInfo(14)), u"Enables setting of the tempo via left clicking with the mouse");
    EXPECT_EQ(Text(language.GetControlText(1001)), u"Start");
    EXPECT_EQ(Text(language.GetControlText(1005)), u"Volume");
    EXPECT_EQ(Text(language.GetControlText(1082)), u"&Play");
    EXPECT_EQ(language.GetControlText(1006), nullptr);
    EXPECT_EQ(language.GetControlText(1000), nullptr);
}

TEST(DefaultLanguage, MessagesAndTheirTitlesLineUp)
{
    DefaultLanguage language;
    EXPECT_EQ(Text(language.GetMessage(0)),
              u"This program experienced a problem accessing Windows system functionality");
    EXPECT_EQ(Text(language.GetMessage(23)),
              u"The number of instrument hits in your sequence exceeds the maximum. "
              u"Please remove a few of the hits and try again.");
    EXPECT_EQ(Text(language.GetMessage(24)), u"Unspecified error");
    EXPECT_EQ(Text(language.GetMessage(35)), u"Handle being used simultaneously on another thread (eg callback)");
    EXPECT_EQ(Text(language.GetMessage(48)),
              u"The device is synchronous but waveOutOpen was called without using "
              u"the WAVEALLOWSYNC flag.");
    EXPECT_EQ(Text(language.GetMessage(50)), u"Unable to create a new thread for audio playback");
    EXPECT_NE(Text(language.GetMessage(51)).find(u"Ticova.pdf"), std::u16string::npos);
    EXPECT_NE(Text(language.GetMessage(18)).find(u"larger than 1 MB."), std::u16string::npos);
    EXPECT_EQ(Text(language.GetMessageTitle(0)), u"System Not Supported");
    EXPECT_EQ(Text(language.GetMessageTitle(15)), u"Metronome Unable To Play");
    EXPECT_EQ(Text(language.GetMessageTitle(21)), u"Unable To Open Help File");
}

TEST(DefaultLanguage, InformationGeneralTextsAndInstruments)
{
    DefaultLanguage language;
    EXPECT_EQ(Text(language.GetInformation(1)), u"Saves all the current settings and closes this window");
    EXPECT_EQ(Text(language.GetInformation(41)), Text(language.GetInformation(43)));
    EXPECT_EQ(Text(language.GetInformation(56)), u"Saves the custom rhythm");
    // Rows given by their opening words are completed, never left as the opening alone.
    std::u16string first = Text(language.GetInformation(0));
    EXPECT_EQ(first.rfind(u"Move the mouse over a control to display information", 0), 0u);
    EXPECT_GT(first.size(), std::u16string(u"Move the mouse over a control to display information").size());
    EXPECT_EQ(Text(language.GetText(0)), u"Ticova");
    EXPECT_EQ(Text(language.GetText(7)), u"Sound Settings");
    EXPECT_EQ(Text(language.GetText(15)), u"Audio Files (*.wav)");
    EXPECT_EQ(Text(language.GetInstrumentName(0)), u"Acoustic Bass Drum");
    EXPECT_EQ(Text(language.GetInstrumentName(1)), u"Acoustic Snare");
    EXPECT_EQ(Text(language.GetInstrumentName(46)), u"Vibraslap");
}

TEST(DefaultLanguage, EveryTableHasTextUpToItsCountAndNullBeyondIt)
{
    DefaultLanguage language;
    struct Group {
        const char* name;
        const char16_t* (DefaultLanguage::*get)(int) const;
        int count;
    };
    const Group groups[] = {
        {"menu", &DefaultLanguage::GetMenuTitle, ILanguage::MenuCount},
        {"menu items", &DefaultLanguage::GetMenuItemText, ILanguage::MenuItemCount},
        {"toolbar", &DefaultLanguage::GetToolbarText, ILanguage::ToolbarCount},
        {"tooltips", &DefaultLanguage::GetTooltip, ILanguage::TooltipCount},
        {"status", &DefaultLanguage::GetStatusInfo, ILanguage::StatusInfoCount},
        {"messages", &DefaultLanguage::GetMessage, ILanguage::MessageCount},
        {"titles", &DefaultLanguage::GetMessageTitle, ILanguage::MessageTitleCount},
        {"information", &DefaultLanguage::GetInformation, ILanguage::InformationCount},
        {"texts", &DefaultLanguage::GetText, ILanguage::TextCount},
        {"instruments", &DefaultLanguage::GetInstrumentName, ILanguage::InstrumentCount},
    };
    for (const Group& group : groups) {
        SCOPED_TRACE(group.name);
        for (int i = 0; i < group.count; ++i) {
            const char16_t* text = (language.*group.get)(i);
            ASSERT_NE(text, nullptr) << i;
            EXPECT_NE(text[0], u'\0') << i;
        }
        EXPECT_EQ((language.*group.get)(-1), nullptr);
        EXPECT_EQ((language.*group.get)(group.count), nullptr);
    }
}

TEST(CurrentLanguage, IsTheBuiltInTextsUnlessAnotherIsInstalled)
{
    EXPECT_TRUE(System::CurrentLanguage().IsDefault());
    struct Other : DefaultLanguage {
        bool IsDefault() const override { return false; }
    };
    Other other;
    System::SetCurrentLanguage(&other);
    EXPECT_EQ(&System::CurrentLanguage(), &other);
    System::SetCurrentLanguage(nullptr);
    EXPECT_TRUE(System::CurrentLanguage().IsDefault());
}

}  // namespace
