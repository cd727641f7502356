#include "GUI/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "GUI/LanguageTexts.h"
#include "GUI/LinkTexts.h"
#include "GUI/WindowTexts.h"
#include "System/ILanguage.h"

#ifndef TICOVA_VERSION
#define TICOVA_VERSION "development"
#endif

namespace GUI {

namespace {
constexpr int TemplateId = 104;
constexpr int LicenceHeading = 11;  // "User Licence Agreement"
}  // namespace

QString AboutDialog::Version()
{
    return QStringLiteral(TICOVA_VERSION);
}

QString AboutDialog::LicenceText()
{
    return QStringLiteral(
        "MIT License\n\n"
        "Copyright (c) 2026 The Ticova developers\n\n"
        "Permission is hereby granted, free of charge, to any person obtaining a copy of this software and "
        "associated documentation files (the \"Software\"), to deal in the Software without restriction, "
        "including without limitation the rights to use, copy, modify, merge, publish, distribute, sublicense, "
        "and/or sell copies of the Software, and to permit persons to whom the Software is furnished to do so, "
        "subject to the following conditions:\n\n"
        "The above copyright notice and this permission notice shall be included in all copies or substantial "
        "portions of the Software.\n\n"
        "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT "
        "LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO "
        "EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER "
        "IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE "
        "USE OR OTHER DEALINGS IN THE SOFTWARE.\n");
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    const System::ILanguage& language = System::CurrentLanguage();
    const char16_t* caption = language.GetDialogCaption(TemplateId);
    setWindowTitle(caption ? LanguageTexts::Text(caption) : QStringLiteral("About Ticova"));
    setObjectName(QStringLiteral("AboutDialog"));

    auto* icon = new QLabel;
    icon->setPixmap(
        QPixmap(QStringLiteral(":/Res/ticova.png")).scaled(72, 72, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* title = new QLabel(QStringLiteral("<h2>Ticova %1</h2><p>%2</p>")
                                 .arg(Version().toHtmlEscaped(),
                                      LanguageTexts::Text(language.GetText(WindowTexts::AboutLine)).toHtmlEscaped()));
    title->setObjectName(QStringLiteral("AboutTitle"));
    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addWidget(title, 1);

    // The licence itself is the English text that holds; its heading follows the language.
    auto* licenceHeading = new QLabel(LanguageTexts::Text(language.GetText(LicenceHeading)));
    licenceHeading->setObjectName(QStringLiteral("AboutLicenceHeading"));
    auto* licence = new QPlainTextEdit(LicenceText());
    licence->setObjectName(QStringLiteral("AboutLicence"));
    licence->setReadOnly(true);
    licence->setMinimumSize(420, 180);

    // The program as built is more than Ticova's own sources: what it is distributed under.
    auto* builtLicence = new QLabel(LanguageTexts::Text(language.GetText(LinkTexts::Licence)));
    builtLicence->setObjectName(QStringLiteral("AboutBuiltLicence"));
    builtLicence->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(licenceHeading);
    layout->addWidget(licence, 1);
    layout->addWidget(builtLicence);
    layout->addWidget(buttons);
}

}  // namespace GUI
