#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "Configuration/Song.h"
#include "Configuration/SongFile.h"

namespace GUI {

// The user's songs while the program runs, and their file. Every change is saved at the next
// turn of the event loop (a burst of edits is one save) through the file's atomic write, as the
// settings files are; a failed save is told once, until a save succeeds again.
class SongLibrary final : public QObject {
public:
    // `path` empty: the songs file beside the configuration file.
    explicit SongLibrary(std::string path = {});
    ~SongLibrary() override;

    // The window the messages belong to.
    void SetWindow(QWidget* window) { _window = window; }

    // Reads the file. What it could not read is returned for the user (empty: all of it): only
    // the damaged songs are left out, and the file as it was is kept beside it at the first save.
    QString Load();

    std::vector<Configuration::Song>& Songs() { return _songs; }
    const std::vector<Configuration::Song>& Songs() const { return _songs; }
    // The song of that name, or null.
    const Configuration::Song* Find(const std::string& name) const;
    // A name no song has yet, from `proposal` ("Song 3", "Song 3 (2)").
    std::string FreeName(const std::string& proposal) const;

    // A song was added, edited or removed: saved soon.
    void Changed();
    bool Waiting() const { return _soon.isActive(); }
    // Saves what is waiting, now; false when that save failed.
    bool SaveWaiting();
    std::string Path() const { return _file.Path(); }

private:
    Configuration::SongFile _file;
    std::vector<Configuration::Song> _songs;
    QPointer<QWidget> _window;
    QTimer _soon;
    bool _told = false;
};

}  // namespace GUI
