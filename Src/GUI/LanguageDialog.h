#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <string_view>

class QComboBox;
class QWidget;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

// The dialog in which the user picks the language of the user interface: the built-in English
// texts or one of the language files in the Lang folder beside the program.
class LanguageDialog {
public:
    static constexpr int TemplateId = 101;
    static constexpr int ListId = 1322;
    static constexpr int OkId = 1070;
    static constexpr int CancelId = 1071;
    // File names longer than this (extension included) are not offered.
    static constexpr int MaxFileNameLength = 7;
    static constexpr std::uint32_t EnglishCode = 0x656E;  // "en"

    // `changeLanguage` asks the main window to switch to the named language (empty: built-in).
    LanguageDialog(Configuration::IConfiguration& configuration, std::function<void(const char16_t*)> changeLanguage);
    ~LanguageDialog();
    LanguageDialog(const LanguageDialog&) = delete;
    LanguageDialog& operator=(const LanguageDialog&) = delete;

    // Runs the dialog modally over `owner`.
    void Run(QWidget* owner);
    // Makes the window with its list, without running it; Close destroys it.
    QDialog* Open(QWidget* owner);
    void Close();
    // OK: stores the choice and asks for the change when it differs from the language in use.
    void Apply();

    QComboBox* List() const { return _list; }
    QDialog* Window() const { return _window; }

    // The code of a language name: its characters before the first period, eight bits each,
    // the first the highest.
    static std::uint32_t LanguageCode(std::u16string_view name);
    // The name of a code: its non-zero bytes, highest first.
    static std::u16string CodeName(std::uint32_t code);

private:
    void BuildList();

    Configuration::IConfiguration& _configuration;
    std::function<void(const char16_t*)> _changeLanguage;
    QPointer<QDialog> _window;
    QComboBox* _list = nullptr;
    std::uint32_t _current = EnglishCode;
};

}  // namespace GUI
