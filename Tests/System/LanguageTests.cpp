#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Platform/File.h"
#include "Support/RecordingLog.h"
#include "Support/TestEnvironment.h"
#include "System/DefaultLanguage.h"
#include "System/Language.h"
#include "System/LanguageSetUp.h"

namespace {

using System::Language;
using Tests::RecordingLog;

const std::string Bom = "\xEF\xBB\xBF";

std::u16string Text(const char16_t* text)
{
    return text ? std::u16string(text) : std::u16string(u"<null>");
}

// A file with the byte-order mark, the signature and a Language section before `body`.
std::string File(const std::string& body)
{
    return Bom + "@lng\n[Language]\nLangEnglish = Test\nLanguage = Test\n" + body;
}

void WriteFile(const std::string& path, const std::string& contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

TEST(LanguageFile, StoresKeysOfEverySectionInAnyOrder)
{
    RecordingLog log;
    Language language;
    EXPECT_FALSE(language.IsDefault());
    ASSERT_TRUE(language.LoadText(File("\n# a comment line\n[Text]\n1 = Titel\n"
                                       "  [menu]   anything after the bracket\n\t1 =  Datei\n3=Hilfe\n"
                                       "[Midi]\n47 = Vibraslap\n[Control]\n82 = &Spielen\n"
                                       "[Dialog]\n4 = Info\n[MenuItems]\n1 = &Sprache\n")))
        << log.Only();
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(Text(language.GetText(0)), u"Titel");
    EXPECT_EQ(Text(language.GetMenuTitle(0)), u"Datei");
    EXPECT_EQ(Text(language.GetMenuTitle(2)), u"Hilfe");
    EXPECT_EQ(Text(language.GetInstrumentName(46)), u"Vibraslap");
    EXPECT_EQ(Text(language.GetControlText(1082)), u"&Spielen");
    EXPECT_EQ(Text(language.GetDialogCaption(104)), u"Info");
    // Menu items get their shortcuts from the program, after a tab.
    EXPECT_EQ(Text(language.GetMenuItemText(0)), u"&Sprache\tCtrl+L");
}

TEST(LanguageFile, ValuesEndAtTabOrHashAndKnowLineBreaks)
{
    RecordingLog log;
    Language language;
    ASSERT_TRUE(language.LoadText(File("[Message]\r\n3 = First line\\nSecond line\r\n"
                                       "4 = Before a tab\tafter it\r\n5 = Before a hash# after it\r\n"
                                       "6 == = Equals signs and spaces\r\n7a = Leading digits count\r\n"
                                       "008 = Leading zeros\r\n9 = A backslash \\ alone\r\n53 = Last")));
    EXPECT_EQ(Text(language.GetMessage(2)), u"First line\nSecond line");
    EXPECT_EQ(Text(language.GetMessage(3)), u"Before a tab");
    EXPECT_EQ(Text(language.GetMessage(4)), u"Before a hash");
    EXPECT_EQ(Text(language.GetMessage(5)), u"Equals signs and spaces");
    EXPECT_EQ(Text(language.GetMessage(6)), u"Leading digits count");
    EXPECT_EQ(Text(language.GetMessage(7)), u"Leading zeros");
    EXPECT_EQ(Text(language.GetMessage(8)), u"A backslash \\ alone");
    EXPECT_EQ(Text(language.GetMessage(52)), u"Last");
}

TEST(LanguageFile, TextsAreDecodedFromUtf8AndCutToTheirEntry)
{
    Language language;
    std::string longTitle(100, 'x');
    ASSERT_TRUE(language.LoadText(File("[Menu]\n1 = Über Größe 𝄞\n2 = " + longTitle + "\n")));
    EXPECT_EQ(Text(language.GetMenuTitle(0)), u"Über Größe 𝄞");
    EXPECT_EQ(Text(language.GetMenuTitle(1)), std::u16string(Language::EntryCapacity(Language::MenuSection) - 1, u'x'));
}

TEST(LanguageFile, StrayBytesAreTextOfTheirLine)
{
    RecordingLog log;
    Language language;
    std::string body = "[Message]\n1 = before";
    body += '\0';
    body += "after\n2 = bad \xFF\xC3 bytes\n3 = \x1A control\n4 = no line end";
    ASSERT_TRUE(language.LoadText(File(body))) << log.Only();
    EXPECT_EQ(Text(language.GetMessage(0)), u"before\uFFFDafter");
    EXPECT_EQ(Text(language.GetMessage(1)), u"bad \uFFFD\uFFFD bytes");
    EXPECT_EQ(Text(language.GetMessage(2)), u"\x1A control");
    EXPECT_EQ(Text(language.GetMessage(3)), u"no line end");

    // A NUL where a key or a section name belongs is a bad line, logged with its line.
    std::string badKey = "[Message]\n";
    badKey += '\0';
    badKey += "1 = x\n";
    EXPECT_FALSE(language.LoadText(File(badKey)));
    EXPECT_EQ(log.Only(), "Expected equals sign after key '' on line 6 in language file.");
    log.entries.clear();
    std::string badSection = "[Mes";
    badSection += '\0';
    badSection += "sage]\n";
    EXPECT_FALSE(language.LoadText(File(badSection)));
    EXPECT_EQ(log.Only(), "Invalid section 'Mes?sage' found in line 5 of language file");
}

TEST(LanguageFile, SignatureMustBeTheFirstLineAfterAnyByteOrderMark)
{
    const std::string signatureMessage =
        "Invalid file signature '%' found in language file. File must be saved in UTF-8 format, with '@lng' "
        "followed by a new line as the first characters in the file. ";
    const std::string bad[] = {
        "XYZ@lng\n[Language]\n[Menu]\n1 = x\n",       // only a byte-order mark is skipped
        Bom + "@lng  \n[Language]\n[Menu]\n1 = x\n",  // trailing spaces
        Bom + "@LNG\n[Language]\n[Menu]\n1 = x\n",
        Bom + "@lng",  // no line end
        Bom,
        "",
    };
    for (const std::string& contents : bad) {
        SCOPED_TRACE(contents);
        RecordingLog log;
        Language language;
        EXPECT_FALSE(language.LoadText(contents));
        EXPECT_EQ(log.Only(), signatureMessage);
        char16_t english[Language::NameCapacity], native[Language::NameCapacity];
        EXPECT_FALSE(Language::ReadLanguageNamesFromText(contents, english, native));
    }
    RecordingLog log;
    Language language;
    EXPECT_TRUE(language.LoadText("@lng\r\n[Language]\r\n[Menu]\r\n1 = x\r\n"));  // no byte-order mark, CRLF
    EXPECT_EQ(Text(language.GetMenuTitle(0)), u"x");
    EXPECT_TRUE(log.entries.empty());
}

// Lines logged while reading a file name it: there may be several, in more than one folder.
TEST(LanguageFile, ErrorsReadFromAFileNameIt)
{
    const std::string path = Tests::MakeTempFolder("LanguageErrorsNameTheFile") + "xx.lng";
    WriteFile(path, File("[Menu]\n1 x\n"));
    RecordingLog log;
    Language language;
    EXPECT_FALSE(language.LoadPath(path));
    EXPECT_EQ(log.Only(), "Expected equals sign after key '1' on line 6 in language file. (file " + path + ")");
    WriteFile(path, "XYZ@lng\n");
    char16_t english[Language::NameCapacity], native[Language::NameCapacity];
    EXPECT_FALSE(Language::ReadLanguageNames(path, english, native));
    EXPECT_NE(log.entries.back().text.find("first characters in the file. (file " + path + ")"), std::string::npos);
}

TEST(LanguageFile, StructureAndHeaderErrorsAreLoggedWithTheirLine)
{
    struct Case {
        std::string contents;
        std::string message;
    };
    const Case cases[] = {
        {Bom + "@lng\n[Language]\nLangEnglish = Test\n",
         "Unexpected language file structure. Reached end of file when expected another file section."},
        {Bom + "@lng\n", "Unexpected language file structure. Reached end of file when expected another file section."},
        {File("\n[Menu\n1 = x\n"),
         "Expected closing square bracket at end of section 'Menu' in line 6 of language file"},
        {File("[Menu]\n1 = x\n[Tooltips]\n1 = y\n"), "Invalid section 'Tooltips' found in line 7 of language file"},
        {File("[Menu]\n" + std::string(64, '1') + " = x\n"), "Invalid length for key on line 6 in language file"},
        {File("[Menu]\n1 x\n"), "Expected equals sign after key '1' on line 6 in language file."},
        {File("[Menu]\n1\n"), "Expected equals sign after key '1' on line 6 in language file."},
        {File("[Menu]\n2 =   \n"), "No value entered for key 2 on line 6 in language file"},
        {File("[Menu]\n2 = # only a comment\n"), "No value entered for key 2 on line 6 in language file"},
        {File("[Message]\n1 = " + std::string(772, 'v') + "\n"), "Invalid length for key 1 on line 6 in language file"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.message);
        RecordingLog log;
        Language language;
        EXPECT_FALSE(language.LoadText(test.contents));
        EXPECT_EQ(log.Only(), test.message);
        EXPECT_EQ(log.entries.at(0).level, System::Error);
    }
    // The longest key and the longest value are accepted.
    RecordingLog log;
    Language language;
    EXPECT_TRUE(language.LoadText(File("[Message]\n" + std::string(62, '0') + "1 = " + std::string(771, 'v') + "\n")));
    EXPECT_TRUE(log.entries.empty()) << log.Only();
    EXPECT_EQ(Text(language.GetMessage(0)), std::u16string(511, u'v'));
}

TEST(LanguageFile, KeysOutsideTheSectionAreRefusedAndEarlierEntriesStay)
{
    struct Case {
        std::string key;
        std::string section;
    };
    const Case cases[] = {
        {"0", "Message"},        {"abc", "Message"}, {"a7", "Message"},
        {"LangEnglish", "Text"}, {"102", "Message"}, {"99999999999999999999", "Message"},
        {"57", "Message"},   // the section has 56 entries
        {"4", "Menu"},       // 3 entries
        {"101", "Control"},  // controls 1001 to 1100
        {"1", "Language"},   // the display names are not read here
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.section + " " + test.key);
        RecordingLog log;
        Language language;
        EXPECT_FALSE(
            language.LoadText(File("[Text]\n1 = kept\n[" + test.section + "]\n" + test.key + " = x\n2 = y\n")));
        EXPECT_EQ(log.Only(), "Unexpected key " + test.key + " found in line 8 of language file");
        EXPECT_EQ(Text(language.GetText(0)), u"kept");
        EXPECT_EQ(Text(language.Entry(Language::TextSection, 1)), u"");
    }
}

TEST(LanguageFile, TheFirstSectionIsSkippedWhateverItHolds)
{
    RecordingLog log;
    Language language;
    ASSERT_TRUE(language.LoadText(Bom +
                                  "@lng\nignored before the first header\n[Language]\n"
                                  "not a key line at all\n1 = x\n[Text]\n1 = Titel\n"));
    EXPECT_TRUE(log.entries.empty()) << log.Only();
    EXPECT_EQ(Text(language.GetText(0)), u"Titel");
}

TEST(LanguageFile, TextsAFileOmitsAreTheBuiltInEnglish)
{
    Language language;
    ASSERT_TRUE(language.LoadText(File("[Dialog]\n2 = Einstellungen\n[Control]\n70 = OK\n95 = Letzte\n"
                                       "[Menu]\n1 = &Datei\n[MenuItems]\n1 = &Sprache\n")));
    System::DefaultLanguage english;
    EXPECT_EQ(Text(language.GetDialogCaption(102)), u"Einstellungen");
    // A dialog's caption and controls keep the English they were built with.
    EXPECT_EQ(language.GetDialogCaption(101), nullptr);
    EXPECT_EQ(language.GetDialogControlText(1072), nullptr);
    // Every other text is the built-in one, the menu items with their shortcuts.
    EXPECT_EQ(Text(language.GetMenuTitle(1)), Text(english.GetMenuTitle(1)));
    EXPECT_EQ(Text(language.GetMenuItemText(7)), Text(english.GetMenuItemText(7)));
    EXPECT_EQ(Text(language.GetControlText(1001)), u"Start");
    for (int i = 0; i < System::ILanguage::MessageCount; ++i)
        EXPECT_EQ(Text(language.GetMessage(i)), Text(english.GetMessage(i)));
    EXPECT_EQ(Text(language.GetText(3)), Text(english.GetText(3)));
    EXPECT_EQ(Text(language.GetInstrumentName(0)), Text(english.GetInstrumentName(0)));
    EXPECT_EQ(Text(language.GetStatusInfo(14)), Text(english.GetStatusInfo(14)));
    EXPECT_EQ(language.GetDialogCaption(100), nullptr);
    EXPECT_EQ(language.GetDialogCaption(105), nullptr);
    EXPECT_EQ(Text(language.GetDialogControlText(1070)), u"OK");
    EXPECT_EQ(Text(language.GetControlText(1095)), u"Letzte");
    EXPECT_EQ(language.GetControlText(1000), nullptr);
    EXPECT_EQ(language.GetControlText(1096), nullptr);
    EXPECT_EQ(language.GetDialogControlText(1096), nullptr);
    EXPECT_EQ(language.GetMessage(56), nullptr);
    EXPECT_EQ(language.GetInstrumentName(-1), nullptr);
    EXPECT_EQ(language.GetMenuItemText(8), nullptr);
}

TEST(LanguageFile, LoadingAgainKeepsWhatTheNewFileLeavesOut)
{
    Language language;
    ASSERT_TRUE(language.LoadText(File("[Menu]\n1 = &Datei\n2 = &Extras\n[MenuItems]\n2 = &Beenden\n")));
    ASSERT_TRUE(language.LoadText(File("[Menu]\n1 = &Fichier\n")));
    EXPECT_EQ(Text(language.GetMenuTitle(0)), u"&Fichier");
    EXPECT_EQ(Text(language.GetMenuTitle(1)), u"&Extras");
    EXPECT_EQ(Text(language.GetMenuItemText(1)), u"&Beenden\tCtrl+Q");
    // A load that fails part way keeps what it stored before the bad line.
    EXPECT_FALSE(language.LoadText(File("[MenuItems]\n2 = &Quitter\n3 = \n")));
    EXPECT_EQ(Text(language.GetMenuItemText(1)), u"&Quitter\tCtrl+Q");
}

TEST(LanguageNames, AreReadFromTheLanguageSectionInAnyOrder)
{
    RecordingLog log;
    char16_t english[Language::NameCapacity], native[Language::NameCapacity];
    ASSERT_TRUE(Language::ReadLanguageNamesFromText(Bom +
                                                        "@lng\n# names\n[LANGUAGE]\n\nlanguage = Français\n"
                                                        "LANGENGLISH = French\n[Menu]\n1 = x\n",
                                                    english, native));
    EXPECT_EQ(Text(english), u"French");
    EXPECT_EQ(Text(native), u"Français");
    EXPECT_TRUE(log.entries.empty());
}

TEST(LanguageNames, FailWithoutBothNamesOrOutsideTheLanguageSection)
{
    char16_t english[Language::NameCapacity], native[Language::NameCapacity];
    {
        RecordingLog log;
        EXPECT_FALSE(Language::ReadLanguageNamesFromText(
            Bom + "@lng\n[Language]\nLangEnglish = German\n[Menu]\n1 = x\n", english, native));
        EXPECT_TRUE(log.entries.empty());
        EXPECT_FALSE(
            Language::ReadLanguageNamesFromText(Bom + "@lng\n[Language]\nLanguage = Deutsch\n", english, native));
    }
    {
        RecordingLog log;
        EXPECT_FALSE(Language::ReadLanguageNamesFromText(
            Bom + "@lng\n[Menu]\nLangEnglish = German\nLanguage = Deutsch\n", english, native));
        EXPECT_EQ(log.Only(),
                  "Current section 'Menu' from line 2 of language file doesn't match expected section 'Language'");
    }
    {
        RecordingLog log;
        EXPECT_FALSE(Language::ReadLanguageNamesFromText(Bom +
                                                             "@lng\n[Language]\nbroken line\nLangEnglish = German\n"
                                                             "Language = Deutsch\n",
                                                         english, native));
        EXPECT_EQ(log.Only(), "Expected equals sign after key 'broken' on line 3 in language file.");
    }
    {
        RecordingLog log;
        EXPECT_FALSE(Language::ReadLanguageNamesFromText(Bom + "@lng\n[Language\n", english, native));
        EXPECT_EQ(log.Only(),
                  "Expected closing square bracket at end of section 'Language' in line 2 of language file");
    }
    EXPECT_FALSE(Language::ReadLanguageNames(std::string(Tests::DataFolder() + "missing.lng"), english, native));
}

std::size_t BytesReadSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::size_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

// The language dialog reads a file only for its names, which stand at its top: a huge file is
// not read whole. A FIFO in place of a file is refused at once.
TEST(LanguageNames, AreReadFromTheStartOfTheFileOnly)
{
    const std::string folder = Tests::MakeTempFolder("language-names");
    const std::string path = folder + "big.lng";
    WriteFile(path, File("[Menu]\n1 = x\n"));
    ASSERT_EQ(::truncate(path.c_str(), 64 * 1024 * 1024), 0);  // 64 MB, sparse
    char16_t english[Language::NameCapacity], native[Language::NameCapacity];
    const std::size_t before = BytesReadSoFar();
    ASSERT_TRUE(Language::ReadLanguageNames(path, english, native));
    EXPECT_LT(BytesReadSoFar() - before, 1024u * 1024u);
    EXPECT_EQ(Text(english), u"Test");

    ASSERT_EQ(::mkfifo((folder + "pipe.lng").c_str(), 0600), 0);
    EXPECT_FALSE(Language::ReadLanguageNames(folder + "pipe.lng", english, native));
    Language language;
    EXPECT_FALSE(language.LoadPath(folder + "pipe.lng"));
}

class LanguageSetUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        _folder = Tests::MakeTempFolder("Lang");
        System::SetLanguageFolderForTesting(_folder);
        WriteFile(_folder + "de.lng", File("[Menu]\n1 = &Datei\n2 = &Extras\n[Text]\n2 = Schläge\n"));
        WriteFile(_folder + "fr.lng", File("[Menu]\n1 = &Fichier\n"));
        WriteFile(_folder + "bad.lng", File("[Menu]\n1 = &Mauvais\n0 = x\n"));
    }
    void TearDown() override
    {
        System::SetCurrentLanguage(nullptr);
        System::SetLanguageFolderForTesting("");
    }

    std::string _folder;
};

TEST_F(LanguageSetUp, CreatesTheRightKindAndLoadsOnTopWhenTheKindStays)
{
    RecordingLog log;
    std::unique_ptr<System::ILanguage> current;
    ASSERT_TRUE(System::SetUpLanguage(current, u""));
    ASSERT_TRUE(current->IsDefault());
    EXPECT_EQ(&System::CurrentLanguage(), current.get());

    ASSERT_TRUE(System::SetUpLanguage(current, u"de"));
    ASSERT_FALSE(current->IsDefault());
    EXPECT_EQ(&System::CurrentLanguage(), current.get());
    const System::ILanguage* german = current.get();
    EXPECT_EQ(Text(current->GetText(1)), u"Schläge");

    ASSERT_TRUE(System::SetUpLanguage(current, u"fr"));
    EXPECT_EQ(current.get(), german);  // the same object, loaded again
    EXPECT_EQ(Text(current->GetMenuTitle(0)), u"&Fichier");
    EXPECT_EQ(Text(current->GetMenuTitle(1)), u"&Extras");  // left from the previous file
    EXPECT_EQ(Text(current->GetText(1)), u"Schläge");

    ASSERT_TRUE(System::SetUpLanguage(current, u""));
    EXPECT_TRUE(current->IsDefault());
    EXPECT_EQ(Text(System::CurrentLanguage().GetMenuTitle(0)), u"&File");
    EXPECT_TRUE(log.entries.empty()) << log.Only();
}

TEST_F(LanguageSetUp, FailsWithItsMessageWhenTheFileDoesNotLoad)
{
    const std::string message = "Unable to initialise language. There may be an issue with the selected language file.";
    std::unique_ptr<System::ILanguage> current = std::make_unique<System::DefaultLanguage>();
    {
        RecordingLog log;
        EXPECT_FALSE(System::SetUpLanguage(current, u"missing"));
        EXPECT_EQ(log.Only(), message);
        ASSERT_TRUE(current);
        EXPECT_FALSE(current->IsDefault());
    }
    {
        RecordingLog log;
        EXPECT_FALSE(System::SetUpLanguage(current, u"bad"));
        ASSERT_EQ(log.entries.size(), 2u);
        EXPECT_EQ(log.entries[0].text.rfind("Unexpected key 0 found in line 7 of language file (file ", 0), 0u);
        EXPECT_EQ(log.entries[1].text, message);
        EXPECT_EQ(Text(current->GetMenuTitle(0)), u"&Mauvais");
    }
    {
        // Names that are not a plain file name never reach the file system.
        RecordingLog log;
        EXPECT_FALSE(System::SetUpLanguage(current, u"../Lang/de"));
        EXPECT_EQ(log.Only(), message);
    }
    EXPECT_EQ(Language::LanguageFilePath(u"de"), _folder + "de.lng");
    EXPECT_EQ(Language::LanguageFilePath(u""), "");
    EXPECT_EQ(Language::LanguageFilePath(std::u16string(32, u'a')), "");
}

// The language files shipped with the program: each must load without a complaint and give
// a text for everything the built-in tables have, without cutting any.
class ShippedLanguage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedLanguage, TranslatesEveryBuiltInText)
{
    const std::string path = std::string(TICOVA_SOURCE_DIR "/Lang/") + GetParam() + ".lng";
    RecordingLog log;
    Language language;
    ASSERT_TRUE(language.LoadPath(path)) << log.Only();
    EXPECT_TRUE(log.entries.empty()) << log.Only();

    System::DefaultLanguage english;
    struct Group {
        const char* name;
        int section;
        const char16_t* (System::ILanguage::*get)(int) const;
        int count;
    };
    const Group groups[] = {
        {"Menu", Language::MenuSection, &System::ILanguage::GetMenuTitle, System::ILanguage::MenuCount},
        {"MenuItems", Language::MenuItemsSection, nullptr, System::ILanguage::MenuItemCount},
        {"Toolbar", Language::ToolbarSection, &System::ILanguage::GetToolbarText, System::ILanguage::ToolbarCount},
        {"Tooltip", Language::TooltipSection, &System::ILanguage::GetTooltip, System::ILanguage::TooltipCount},
        {"StatusInfo", Language::StatusInfoSection, &System::ILanguage::GetStatusInfo,
         System::ILanguage::StatusInfoCount},
        {"Message", Language::MessageSection, &System::ILanguage::GetMessage, System::ILanguage::MessageCount},
        {"MessageTitle", Language::MessageTitleSection, &System::ILanguage::GetMessageTitle,
         System::ILanguage::MessageTitleCount},
        {"Information", Language::InformationSection, &System::ILanguage::GetInformation,
         System::ILanguage::InformationCount},
        {"Text", Language::TextSection, &System::ILanguage::GetText, System::ILanguage::TextCount},
        {"Midi", Language::MidiSection, &System::ILanguage::GetInstrumentName, System::ILanguage::InstrumentCount},
        {"Dialog", Language::DialogSection, nullptr, 4},
    };
    for (const Group& group : groups) {
        ASSERT_EQ(Language::EntryCount(group.section), group.count) << group.name;
        for (int i = 0; i < group.count; ++i) {
            const char16_t* text = language.Entry(group.section, i);
            std::size_t length = std::u16string(text).size();
            EXPECT_GT(length, 0u) << group.name << " key " << i + 1;
            EXPECT_LT(length, Language::EntryCapacity(group.section) - 1) << group.name << " key " << i + 1 << " cut";
            if (group.get) {
                EXPECT_EQ((language.*group.get)(i), text);
            }
        }
    }
    // Every control caption the built-in texts know, and every control the dialogs name.
    for (int id = System::ILanguage::FirstControlId; id <= System::ILanguage::LastControlId; ++id)
        if (english.GetControlText(id)) {
            EXPECT_NE(Text(language.GetControlText(id)), u"") << id;
        }
    for (int id : {1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035,
                   1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045, 1055, 1060, 1061, 1062, 1063, 1064,
                   1065, 1066, 1070, 1071, 1072, 1073, 1080, 1081, 1083, 1084, 1085, 1096, 1097, 1098, 1099, 1100})
        EXPECT_NE(Text(language.GetDialogControlText(id)), u"") << id;

    // The built program finds the same file beside it.
    std::string built;
    std::string shipped;
    EXPECT_TRUE(Platform::File::ReadAll(std::string(TICOVA_BINARY_DIR "/Lang/") + GetParam() + ".lng", built));
    ASSERT_TRUE(Platform::File::ReadAll(path, shipped));
    EXPECT_EQ(built, shipped);
}

TEST(ShippedLanguageNames, AreTheLanguagesOwnNames)
{
    char16_t english[Language::NameCapacity], native[Language::NameCapacity];
    ASSERT_TRUE(Language::ReadLanguageNames(std::string(TICOVA_SOURCE_DIR "/Lang/de.lng"), english, native));
    EXPECT_EQ(Text(english), u"German");
    EXPECT_EQ(Text(native), u"Deutsch");
    ASSERT_TRUE(Language::ReadLanguageNames(std::string(TICOVA_SOURCE_DIR "/Lang/fr.lng"), english, native));
    EXPECT_EQ(Text(english), u"French");
    EXPECT_EQ(Text(native), u"Français");
}

INSTANTIATE_TEST_SUITE_P(Lang, ShippedLanguage, ::testing::Values("de", "fr"));

}  // namespace

// A user adds a language without root in $XDG_DATA_HOME/Ticova/Lang; it is found before the
// shipped folder, and a name found nowhere points at the shipped folder for the report.
TEST(LanguageFolders, TheUsersOwnFolderComesFirst)
{
    const std::string home = Tests::MakeTempFolder("data-home");
    std::filesystem::create_directories(home + "Ticova/Lang");
    WriteFile(home + "Ticova/Lang/eo.lng", File("[Menu]\n1 = &Dosiero\n"));
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_EQ(System::LanguageFolders().front(), home + "Ticova/Lang/");
    EXPECT_EQ(Language::LanguageFilePath(u"eo"), home + "Ticova/Lang/eo.lng");
    EXPECT_EQ(Language::LanguageFilePath(u"xx"), System::LanguageFolder() + "xx.lng");
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
