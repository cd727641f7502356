#include "GUI/MessageBoxes.h"

#include "GUI/LanguageTexts.h"
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

bool MessageBoxes::MetronomeErrorTexts(int code, int& titleNumber, int& messageNumber)
{
    switch (code) {
    case 5: titleNumber = 6; messageNumber = 7; return true;
    case 6: titleNumber = 7; messageNumber = 8; return true;
    case 8: titleNumber = 7; messageNumber = 9; return true;
    case 9: titleNumber = 7; messageNumber = 10; return true;
    case 10: titleNumber = 8; messageNumber = 11; return true;
    case 11: titleNumber = 8; messageNumber = 12; return true;
    default: return false;
    }
}

int MessageBoxes::ShowMetronomeError(int code, QWidget* owner)
{
    int title = 0;
    int message = 0;
    if (!MetronomeErrorTexts(code, title, message))
        return 0;
    const System::ILanguage& language = System::CurrentLanguage();
    return Show(owner, QMessageBox::Warning, LanguageTexts::Text(language.GetMessageTitle(title)),
                LanguageTexts::Text(language.GetMessage(message)));
}

void MessageBoxes::SetPresenterForTesting(Presenter presenter)
{
    TestPresenter() = std::move(presenter);
}

}  // namespace GUI
