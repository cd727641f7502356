#pragma once

#include <QLocale>
#include <QString>
#include <string_view>

namespace GUI {

// Qt's own texts (the standard buttons, the file dialogs) in the language chosen for Ticova, from
// the qtbase catalogue that Qt ships; English when there is none for that language.
class QtTranslations {
public:
    // Follows the Ticova language `name` (the name of its language file, such as "de"; empty for
    // English): installs that language's qtbase catalogue in place of the one before. True when
    // a catalogue was installed.
    static bool Follow(std::u16string_view name);

    // The locale of a language file: its name when that is a language code ("de", "pt_BR"), else
    // the language its LangEnglish entry names ("German"); C when neither says.
    static QLocale LocaleOf(const QString& fileName, const QString& englishName);
};

}  // namespace GUI
