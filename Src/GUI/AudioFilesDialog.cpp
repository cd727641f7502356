#include "GUI/AudioFilesDialog.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "Configuration/FileConfiguration.h"
#include "Configuration/IConfiguration.h"
#include "Core/VerifyAudioFile.h"
#include "GUI/DialogUnits.h"
#include "GUI/IParentWindow.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/QtText.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

struct CheckMessage {
    int title;
    int message;
    QMessageBox::Icon icon;
};

// The message for a refused or noted file; false for a usable file.
bool MessageFor(int code, CheckMessage& message)
{
    switch (code) {
    case 1: message = {9, 13, QMessageBox::Warning}; return true;
    case 2: message = {10, 14, QMessageBox::Warning}; return true;
    case 3: message = {11, 15, QMessageBox::Warning}; return true;
    case 4:
    case 5: message = {12, 16, QMessageBox::Warning}; return true;
    case 6: message = {14, 18, QMessageBox::Information}; return true;
    case 7: message = {13, 17, QMessageBox::Information}; return true;
    default: return false;
    }
}

}  // namespace

AudioFilesDialog::AudioFilesDialog(Configuration::IConfiguration& configuration) : _configuration(configuration) {}

void AudioFilesDialog::SetFrame(IParentWindow* frame, ControlSubClasser* information)
{
    _frame = frame;
    _information = information;
}

QLineEdit* AudioFilesDialog::Edit(int voice) const
{
    return ControlAs<QLineEdit>(FirstEditId + voice);
}

QWidget* AudioFilesDialog::Create(QWidget* parent)
{
    _initialised = false;
    QWidget* page = CreatePageWindow(parent, _information);
    for (int i = 0; i < NumVoices; ++i) {
        auto* edit = new QLineEdit(page);
        DialogUnits::Place(edit, FirstEditId + i, 26, 21 + 17 * i, 338, 12);
        edit->setMaxLength(MaxPathLength);
        auto* button = new QPushButton(QStringLiteral("..."), page);
        DialogUnits::Place(button, FirstButtonId + i, 368, 21 + 17 * i, 19, 13);
        QObject::connect(button, &QPushButton::clicked, page, [this, i] { ChooseAudioFile(i); });
        OnFocusOut(edit, [this, i] {
            if (!_initialised)
                return;
            WarnIfLarge(i);
            if (_frame)
                _frame->Notify(IParentWindow::AudioFilesChanged, 0);
        });
        auto* number = new QLabel(QString::number(i + 1), page);
        DialogUnits::Place(number, 0, 15, 23 + 17 * i, 10, 8);
    }
    auto* group = new QGroupBox(QStringLiteral("Audio File Names And Paths"), page);
    DialogUnits::Place(group, GroupId, 7, 7, 386, 220);
    group->lower();
    if (const char16_t* text = System::CurrentLanguage().GetControlText(GroupId))
        group->setTitle(LanguageTexts::Text(text));
    Reload();
    SubClassChildControls(page, _information);
    _initialised = true;
    return page;
}

void AudioFilesDialog::Destroy()
{
    _initialised = false;
    DestroyPageWindow();
}

void AudioFilesDialog::Reload()
{
    if (!_window)
        return;
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    for (int i = 0; i < NumVoices; ++i) {
        Edit(i)->setText(QtText::FromField(settings.File[i]));
        _seen[i] = Edit(i)->text();
    }
}

void AudioFilesDialog::WarnIfLarge(int voice)
{
    // Told once, when a file is chosen or typed: a large file is usable, and the user knows.
    const QString path = Edit(voice)->text();
    if (path.isEmpty() || path == _seen[voice])
        return;
    _seen[voice] = path;
    char16_t field[Configuration::ConfigurationData::FileCapacity];
    QtText::ToField(field, path, MaxPathLength);
    CheckMessage message{};
    if (CheckFile(field) != 6 || !MessageFor(6, message))
        return;
    const System::ILanguage& language = System::CurrentLanguage();
    MessageBoxes::Show(_window, message.icon, LanguageTexts::Text(language.GetMessageTitle(message.title)),
                       LanguageTexts::Text(language.GetMessage(message.message)));
}

bool AudioFilesDialog::HasAnyFile() const
{
    if (!_window)
        return false;
    for (int i = 0; i < NumVoices; ++i)
        if (!Edit(i)->text().isEmpty())
            return true;
    return false;
}

void AudioFilesDialog::Paths(QString (&paths)[NumVoices]) const
{
    for (int i = 0; i < NumVoices; ++i)
        paths[i] = _window ? Edit(i)->text() : QString();
}

QString AudioFilesDialog::InitialFolder(const QString& path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return separator < 0 ? QString() : path.left(separator + 1);
}

QString AudioFilesDialog::RunChooser(const QString& folder)
{
    if (_chooser)
        return _chooser(_window, folder);
    const System::ILanguage& language = System::CurrentLanguage();
    QFileDialog dialog(_window, LanguageTexts::Text(language.GetText(14)), folder);
    // One filter: the language's display text, with the pattern *.wav.
    QString filter = LanguageTexts::Text(language.GetText(15));
    if (!filter.contains(QStringLiteral("(*.wav)")))
        filter += QStringLiteral(" (*.wav)");
    dialog.setNameFilter(filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, true);
    // Centred on the desktop, whatever the size of the settings dialog.
    if (QScreen* screen = _window ? _window->screen() : QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        const QSize size = dialog.sizeHint();
        dialog.move(desktop.x() + (desktop.width() - size.width()) / 2,
                    desktop.y() + (desktop.height() - size.height()) / 2);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void AudioFilesDialog::ChooseAudioFile(int voice)
{
    if (!_window || voice < 0 || voice >= NumVoices)
        return;
    QLineEdit* edit = Edit(voice);
    const QString chosen = RunChooser(InitialFolder(edit->text()));
    if (chosen.isEmpty() || !CanStore(chosen))
        return;
    edit->setText(chosen);
    WarnIfLarge(voice);
    if (_frame)
        _frame->Notify(IParentWindow::AudioFilesChanged, 0);
}

int AudioFilesDialog::CheckFile(const char16_t* path) const
{
    return _check ? _check(path) : Core::VerifyAudioFile(path);
}

// A path the configuration file cannot give back whole would be lost, or cut, at the next
// start: it is refused here, where the user can still pick another.
bool AudioFilesDialog::CanStore(const QString& path) const
{
    if (Configuration::FileConfiguration::CanStore(QtText::View(path)))
        return true;
    MessageBoxes::Show(_window, QMessageBox::Warning, QStringLiteral("Ticova"),
                       QStringLiteral("This file name cannot be kept in the settings:\n%1\n\n"
                                      "It is too long, or holds a '#', a tab or a line break. "
                                      "Please rename the file or move it to another folder.")
                           .arg(path));
    return false;
}

bool AudioFilesDialog::SaveToSettings(Configuration::ConfigurationData& settings)
{
    if (!_window)
        return true;
    for (int i = 0; i < NumVoices; ++i) {
        if (!CanStore(Edit(i)->text())) {
            Edit(i)->selectAll();
            Edit(i)->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    for (int i = 0; i < NumVoices; ++i)
        QtText::ToField(settings.File[i], Edit(i)->text(), MaxPathLength);

    const System::ILanguage& language = System::CurrentLanguage();
    for (int i = 0; i < NumVoices; ++i) {
        if (settings.File[i][0] == 0)
            continue;
        const int code = CheckFile(settings.File[i]);
        CheckMessage message{};
        // A large file is usable; it was told about when it was chosen.
        if (code == 6 || !MessageFor(code, message))
            continue;
        MessageBoxes::Show(_window, message.icon, LanguageTexts::Text(language.GetMessageTitle(message.title)),
                           LanguageTexts::Text(language.GetMessage(message.message)));
        QLineEdit* edit = Edit(i);
        edit->selectAll();
        edit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

}  // namespace GUI
