#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace Configuration {
struct Song;
}

namespace GUI {

class SongLibrary;
class SongPicture;

// The song editor: the songs (new, renamed, deleted), the chosen song's picture and a table of
// its sections, edited in place (added, duplicated, removed, moved), every change saved at once.
// A click on a section in the picture plays the song from there; tempo maps are read and
// written, and the song is exported as a MIDI file or, through the click-track export, as sound.
class SongEditorDialog final : public QDialog {
    Q_OBJECT
public:
    // What the editor asks of the window it belongs to.
    struct Player {
        // Plays `song` from its section `section` (the window's metronome, settings and handler).
        std::function<void(const Configuration::Song& song, int section)> play;
        std::function<void()> stop;
        std::function<bool()> playing;
        // The song heard (its name) and where in it, counted in that song's own sections;
        // false when no song plays.
        std::function<bool(std::string& name, int& section, int& bar)> heard;
        // Writes `song` as sound (WAV or FLAC) through the click-track export.
        std::function<void(const Configuration::Song& song)> exportSound;
    };
    enum Button {
        NewButton,
        RenameButton,
        DeleteButton,
        AddButton,
        DuplicateButton,
        RemoveButton,
        UpButton,
        DownButton,
        ImportButton,
        ExportMapButton,
        ExportMidiButton,
        ExportSoundButton,
        PlayButton,
        ButtonCount
    };
    enum Column { Label, Bars, Meter, Tempo, EndTempo, Accents, Volume, Subdivisions, Muted, ColumnCount };

    SongEditorDialog(SongLibrary& library, Player player, QWidget* parent = nullptr);

    QComboBox* SongBox() const { return _songBox; }
    QTableWidget* Table() const { return _table; }
    SongPicture* Picture() const { return _picture; }
    QPushButton* ButtonOf(Button button) const { return _buttons[button]; }
    // The song shown (null: none) and the section chosen in the table (-1: none).
    Configuration::Song* CurrentSong();
    int CurrentSection() const;

    // What the buttons do (tests call them, the names and files given).
    void NewSong(const QString& name);
    void RenameSong(const QString& name);
    void DeleteSong();
    void AddSection();
    void DuplicateSection();
    void RemoveSection();
    void MoveSection(int by);
    bool ImportTempoMap(const QString& path);
    bool ExportTempoMap(const QString& path);
    bool ExportMidi(const QString& path);
    void PlayOrStop();
    void PlayFrom(int section);

private:
    void CreateButtons();
    void LayOut();
    void ShowSongs(int select);
    void ShowSections(int select);
    void ShowRow(int row);
    void CellEdited(int row, int column);
    void Edited(int select);
    void ShowHeard();
    void ShowPlayButton();
    QString AskName(const QString& proposal);
    QString AskFile(bool save, int filter, const QString& proposal);

    SongLibrary& _library;
    Player _player;
    QComboBox* _songBox = nullptr;
    SongPicture* _picture = nullptr;
    QTableWidget* _table = nullptr;
    QPushButton* _buttons[ButtonCount] = {};
    QTimer _heard;
    QString _folder;
};

}  // namespace GUI
