#include "GUI/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

#include "System/Language.h"

namespace GUI {

namespace {

std::unique_ptr<QTranslator> installed;

}  // namespace

QLocale QtTranslations::LocaleOf(const QString& fileName, const QString& englishName)
{
    // QLocale reads "de", "de_AT" and "pt-BR"; anything else comes back as C.
    const QLocale byName(fileName);
    if (!fileName.isEmpty() && byName.language() != QLocale::C)
        return byName;
    if (englishName.isEmpty())
        return QLocale::c();
    for (int language = QLocale::C + 1; language <= QLocale::LastLanguage; ++language) {
        const auto candidate = static_cast<QLocale::Language>(language);
        if (QLocale::languageToString(candidate).compare(englishName, Qt::CaseInsensitive) == 0)
            return QLocale(candidate);
    }
    return QLocale::c();
}

bool QtTranslations::Follow(std::u16string_view name)
{
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (name.empty())
        return false;
    char16_t english[System::Language::NameCapacity] = {};
    char16_t native[System::Language::NameCapacity] = {};
    System::Language::ReadLanguageNames(System::Language::LanguageFilePath(name), english, native);
    const QLocale locale = LocaleOf(QString::fromStdU16String(std::u16string(name)), QString::fromUtf16(english));
    if (locale.language() == QLocale::C || locale.language() == QLocale::English)
        return false;
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

}  // namespace GUI
