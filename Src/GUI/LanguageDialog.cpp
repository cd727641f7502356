#include "GUI/LanguageDialog.h"
#include "GUI/DialogButtons.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <vector>

#include "Configuration/IConfiguration.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/DialogUnits.h"
#include "GUI/LanguageTexts.h"
#include "GUI/WindowTexts.h"
#include "Platform/Text.h"
#include "System/ILanguage.h"
#include "System/ILog.h"
#include "System/Language.h"

namespace GUI {

namespace {

struct Item {
    QString text;
    std::uint32_t code;
};

// A language named by its English name, in the language in use when that knows it ("French"
// reads "Französisch" in German), else in English.
QString LanguageName(const QString& english)
{
    static const struct {
        const char* english;
        int text;
    } known[] = {{"English", WindowTexts::EnglishName},
                 {"German", WindowTexts::GermanName},
                 {"French", WindowTexts::FrenchName}};
    for (const auto& language : known)
        if (english.compare(QLatin1String(language.english), Qt::CaseInsensitive) == 0)
            if (const char16_t* text = System::CurrentLanguage().GetText(language.text); text && text[0])
                return LanguageTexts::Text(text);
    return english;
}

QString ListText(const QString& english, const QString& native)
{
    return QStringLiteral("%1 (%2)").arg(LanguageName(english), native);
}

// A file name the list can offer: "<name>.lng", at most seven characters, whose name has no
// period of its own and only characters a language code can carry, so that the code leads
// back to this very file.
bool IsOfferedFileName(const std::string& file)
{
    if (file.size() > static_cast<std::size_t>(LanguageDialog::MaxFileNameLength) || file.size() <= 4 ||
        file.compare(file.size() - 4, 4, ".lng") != 0)
        return false;
    const std::string name = file.substr(0, file.size() - 4);
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c != '.' && static_cast<unsigned char>(c) > ' ' && static_cast<unsigned char>(c) < 0x80;
    });
}

void HandleFindFileError(int error)
{
    System::ReportSystemErrorCode(error, "Src/GUI/LanguageDialog", "GUI::LanguageDialog::HandleFindFileError", __LINE__,
                                  "Error calling opendir");
}

}  // namespace

LanguageDialog::LanguageDialog(Configuration::IConfiguration& configuration,
                               std::function<void(const char16_t*)> changeLanguage)
    : _configuration(configuration), _changeLanguage(std::move(changeLanguage))
{
}

LanguageDialog::~LanguageDialog()
{
    Close();
}

std::uint32_t LanguageDialog::LanguageCode(std::u16string_view name)
{
    std::uint32_t code = 0;
    for (char16_t character : name) {
        if (character == u'.')
            break;
        code = (code << 8) | character;
    }
    return code;
}

std::u16string LanguageDialog::CodeName(std::uint32_t code)
{
    std::u16string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char16_t character = static_cast<char16_t>((code >> shift) & 0xFF);
        if (character != 0)
            name.push_back(character);
    }
    return name;
}

void LanguageDialog::Run(QWidget* owner)
{
    QDialog* dialog = Open(owner);
    dialog->exec();
    Close();
}

QDialog* LanguageDialog::Open(QWidget* owner)
{
    Close();
    auto* dialog = new QDialog(owner,
                               Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                   Qt::MSWindowsFixedSizeDialogHint);
    _window = dialog;
    dialog->setObjectName(QStringLiteral("LanguageDialog"));
    dialog->setWindowTitle(QStringLiteral("Language"));
    dialog->setFont(DialogUnits::DialogFont());
    dialog->setFixedSize(DialogUnits::X(154), DialogUnits::Y(47));
    const auto [ok, cancel] = DialogButtons::Place(dialog, OkId, 43, CancelId, 97, 26, QStringLiteral("Cancel"));
    _list = new QComboBox(dialog);
    DialogUnits::Place(_list, ListId, 7, 7, 140, 12);
    LanguageTexts::ApplyDialogTexts(dialog, TemplateId, System::CurrentLanguage());
    BuildList();
    QObject::connect(ok, &QPushButton::clicked, dialog, [this] {
        Apply();
        if (_window)
            _window->accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return dialog;
}

void LanguageDialog::Close()
{
    delete _window.data();
    _window = nullptr;
    _list = nullptr;
}

void LanguageDialog::BuildList()
{
    const char16_t* inUse = _configuration.GetLanguage();
    _current = inUse && inUse[0] ? LanguageCode(inUse) : EnglishCode;

    std::vector<Item> items;
    items.push_back({ListText(QStringLiteral("English"), QStringLiteral("English")), EnglishCode});
    // A file of the same name in an earlier folder (the user's own) hides the later ones.
    std::vector<std::string> seen;
    for (const std::string& folder : System::LanguageFolders()) {
        DIR* directory = opendir(folder.c_str());
        if (!directory) {
            if (errno != ENOENT)
                HandleFindFileError(errno);
            continue;
        }
        while (dirent* entry = readdir(directory)) {
            const std::string file = entry->d_name;
            if (!IsOfferedFileName(file) || std::find(seen.begin(), seen.end(), file) != seen.end())
                continue;
            char16_t english[System::Language::NameCapacity] = {};
            char16_t native[System::Language::NameCapacity] = {};
            if (!System::Language::ReadLanguageNames(folder + file, english, native) || !english[0] || !native[0])
                continue;
            seen.push_back(file);
            items.push_back({ListText(QString::fromUtf16(english), QString::fromUtf16(native)),
                             LanguageCode(Platform::Text::Utf8ToUtf16(file))});
        }
        closedir(directory);
    }
    // The list is sorted by its texts, whatever order the folder gave.
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return QString::localeAwareCompare(a.text, b.text) < 0; });

    _list->setUpdatesEnabled(false);
    for (const Item& item : items)
        _list->addItem(item.text, QVariant::fromValue(static_cast<quint32>(item.code)));
    _list->setCurrentIndex(_list->findData(QVariant::fromValue(static_cast<quint32>(_current))));
    _list->setUpdatesEnabled(true);
}

void LanguageDialog::Apply()
{
    if (!_list || _list->currentIndex() < 0)
        return;
    const auto code = static_cast<std::uint32_t>(_list->currentData().toUInt());
    if (code == _current)
        return;
    char16_t* language = _configuration.GetLanguage();
    const std::u16string name = code == EnglishCode ? std::u16string() : CodeName(code);
    Platform::Text::Copy(language, Configuration::IConfiguration::LanguageCapacity, name);
    _current = code;
    if (_changeLanguage)
        _changeLanguage(language);
    _configuration.NoteChange(Configuration::IConfiguration::Change::Settings);
}

}  // namespace GUI
