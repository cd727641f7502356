#include "GUI/WindowDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "Core/OutputSettings.h"
#include "GUI/AboutDialog.h"
#include "GUI/ConnectionTexts.h"
#include "GUI/CountInDialog.h"
#include "GUI/ExportDialog.h"
#include "GUI/LanguageInUse.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/PracticeLogDialog.h"
#include "GUI/SongEditorDialog.h"
#include "GUI/SongPlayer.h"
#include "GUI/Transport.h"
#include "Platform/ProgramFolder.h"
#include "System/DefaultLanguage.h"
#include "System/ILanguage.h"
#include "System/ILog.h"

namespace GUI {

using LanguageInUse::Text;
using LanguageInUse::Texts;

WindowDialogs::WindowDialogs(QWidget& window, Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                             Transport& transport, SongPlayer& songs)
    : _window(window), _metronome(metronome), _configuration(configuration), _transport(transport), _songs(songs),
      _openDocument([](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }),
      _manualPath(QString::fromStdString(Platform::DocumentFolder()) + QStringLiteral("Ticova.pdf"))
{
}

void WindowDialogs::OpenManual()
{
    if (!QFileInfo::exists(_manualPath)) {
        MessageBoxes::Show(&_window, QMessageBox::Information, Text(Texts().GetMessageTitle(20)),
                           Text(Texts().GetMessage(51)));
        return;
    }
    if (!_openDocument || !_openDocument(_manualPath))
        MessageBoxes::Show(&_window, QMessageBox::Information, Text(Texts().GetMessageTitle(21)),
                           Text(Texts().GetMessage(52)));
}

void WindowDialogs::ShowAbout()
{
    AboutDialog about(&_window);
    about.exec();
}

void WindowDialogs::CountIn()
{
    CountInDialog dialog(_metronome, Configuration::GetExtraSettings(), &_window);
    dialog.exec();
}

void WindowDialogs::PracticeLog()
{
    PracticeLogDialog dialog(_transport.Practice().Log(), &_window);
    dialog.exec();
}

void WindowDialogs::ExportClickTrack(const Configuration::Song* song)
{
    ExportDialog dialog(_configuration.GetCurrentSettings(), Configuration::GetExtraSettings(), &_window);
    dialog.SetSong(song);
    _transport.WhileExporting([&dialog] { dialog.Run(); });
}

void WindowDialogs::ChooseSoundFont()
{
    const QString chosen = QFileDialog::getOpenFileName(
        &_window, Text(Texts().GetText(ConnectionTexts::SoundFontMenu)).remove(u'&'),
        QString::fromStdString(Core::CurrentSoundFont()), Text(Texts().GetText(ConnectionTexts::SoundFontFilter)));
    if (chosen.isEmpty())
        return;
    if (std::string problem; !Core::ChangeSoundFont(chosen.toStdString(), problem)) {
        System::Log().Write(System::Error, "No General MIDI sounds: %s", problem.c_str());
        MessageBoxes::Show(
            &_window, QMessageBox::Warning, QStringLiteral("Ticova"),
            Text(Texts().GetText(ConnectionTexts::SoundFontFailed)).arg(QString::fromStdString(problem)));
        return;
    }
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    extras.SetText("soundfont.path", chosen.toStdString());
    extras.Save();
}

void WindowDialogs::Songs()
{
    SongEditorDialog::Player player;
    player.play = [this](const Configuration::Song& song, int section) { _transport.PlaySong(song, section); };
    player.stop = [this] { _transport.StopIfPlaying(); };
    player.playing = [this] { return _transport.Playing(); };
    player.heard = [this](std::string& name, int& section, int& bar) { return _songs.Heard(name, section, bar); };
    player.exportSound = [this](const Configuration::Song& song) {
        _transport.StopIfPlaying();
        ExportClickTrack(&song);
    };
    SongEditorDialog dialog(_songs.Library(), std::move(player), &_window);
    dialog.exec();
    if (_songs.Library().Waiting())
        _songs.Library().SaveWaiting();
}

}  // namespace GUI
