#include "GUI/MessageBoxes.h"

#include "Configuration/ConfigurationData.h"
#include "Core/VerifyAudioFile.h"
#include "GUI/QtText.h"

#include "GUI/LanguageTexts.h"
#include "GUI/NoticeTexts.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

MessageBoxes::Presenter& TestPresenter()
{
    static MessageBoxes::Presenter presenter;
    return presenter;
}

}  // namespace

int MessageBoxes::Show(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    if (TestPresenter())
        return TestPresenter()(owner, icon, title, text);
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
    return box.exec();
}

bool MessageBoxes::Ask(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    if (TestPresenter())
        return TestPresenter()(owner, icon, title, text) == QMessageBox::Yes;
    QMessageBox box(icon, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

bool MessageBoxes::MetronomeErrorTexts(int code, int& titleNumber, int& messageNumber)
{
    switch (code) {
    case 5:
        titleNumber = 6;
        messageNumber = 7;
        return true;
    case 6:
        titleNumber = 7;
        messageNumber = 8;
        return true;
    case 8:
        titleNumber = 7;
        messageNumber = 9;
        return true;
    case 9:
        titleNumber = 7;
        messageNumber = 10;
        return true;
    case 10:
        titleNumber = 8;
        messageNumber = 11;
        return true;
    case 11:
        titleNumber = 8;
        messageNumber = 12;
        return true;
    // As a click without its file is told, now before the first click.
    case SoundHasNoFile:
        titleNumber = 15;
        messageNumber = 49;
        return true;
    default: return false;
    }
}

int MessageBoxes::ShowMetronomeError(int code, QWidget* owner, const Configuration::ConfigurationData* settings,
                                     int sound)
{
    int title = 0;
    int message = 0;
    if (!MetronomeErrorTexts(code, title, message))
        return 0;
    const System::ILanguage& language = System::CurrentLanguage();
    QString text = LanguageTexts::Text(language.GetMessage(message));
    // The audio-file engine refuses a start for any of its files: say which one.
    int check = 0;
    const int file = code == SoundSourceFailed && settings && settings->SoundEngineType == 1
        ? Core::FirstUnusableAudioFile(*settings, check)
        : -1;
    if (file >= 0)
        text += QStringLiteral("\n\n") +
            LanguageTexts::Text(language.GetMessage(55))
                .replace(QStringLiteral("%1"), QtText::FromField(settings->File[file]))
                .replace(QStringLiteral("%2"), QString::number(file + 1));
    if (code == SoundHasNoFile && settings && sound >= 0 && sound < Configuration::ConfigurationData::NumVoices)
        text += QStringLiteral("\n\n") +
            LanguageTexts::Text(language.GetText(NoticeTexts::SoundWithoutFile))
                .arg(sound + 1)
                .arg(settings->Instrument[sound] + 1);
    return Show(owner, QMessageBox::Warning, LanguageTexts::Text(language.GetMessageTitle(title)), text);
}

void MessageBoxes::SetPresenterForTesting(Presenter presenter)
{
    TestPresenter() = std::move(presenter);
}

}  // namespace GUI
