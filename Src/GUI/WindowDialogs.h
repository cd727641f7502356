#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace Configuration {
class IConfiguration;
struct Song;
}  // namespace Configuration

namespace Core {
class IMetronome;
}

namespace GUI {

class SongPlayer;
class Transport;

// The windows the main window's commands open over it: the manual, About, the count-in, the
// practice log, the click-track export, the SoundFont, the song editor.
class WindowDialogs {
public:
    WindowDialogs(QWidget& window, Core::IMetronome& metronome, Configuration::IConfiguration& configuration,
                  Transport& transport, SongPlayer& songs);

    // Opens a document with the desktop; tests replace it.
    void SetDocumentOpener(std::function<bool(const QString& path)> open) { _openDocument = std::move(open); }
    // Where the manual is looked for (the program's folder unless a test says otherwise).
    void SetManualPath(const QString& path) { _manualPath = path; }

    void OpenManual();
    void ShowAbout();
    void CountIn();
    void PracticeLog();
    // Writes a click track of `song` (null: the settings' beat).
    void ExportClickTrack(const Configuration::Song* song = nullptr);
    void ChooseSoundFont();
    // Opens the song editor, whose Play plays a song from a section as Start does.
    void Songs();

private:
    QWidget& _window;
    Core::IMetronome& _metronome;
    Configuration::IConfiguration& _configuration;
    Transport& _transport;
    SongPlayer& _songs;
    std::function<bool(const QString&)> _openDocument;
    QString _manualPath;
};

}  // namespace GUI
