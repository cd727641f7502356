#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "Configuration/Setlists.h"
#include "GUI/Model/SetlistChangeover.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

// Makes, names, fills and deletes setlists: ordered lists of presets, a preset as often as wanted,
// each with its bars before the next entry (auto-advance). An entry whose preset is gone shows
// as missing. "Play This Setlist" puts the chosen list in use and closes.
class SetlistDialog final : public QDialog {
    Q_OBJECT
public:
    SetlistDialog(Configuration::Setlists& setlists, Configuration::IConfiguration& configuration, QWidget* parent);

    // The list chosen with Play This Setlist (-1: none, the dialog was only closed).
    int Chosen() const { return _chosen; }

    QListWidget* Lists() const { return _lists; }
    QListWidget* Entries() const { return _entries; }
    QComboBox* Presets() const { return _presets; }
    QSpinBox* Bars() const { return _bars; }

    // What the buttons do (tests call them, the name of New and Rename given).
    void NewList(const QString& name);
    void RenameList(const QString& name);
    void DeleteList();
    void AddEntry();
    void RemoveEntry();
    void MoveEntry(int by);
    void Play();

    // "name" or "name (missing)" for a preset that does not exist.
    static QString EntryText(const std::string& preset, Configuration::IConfiguration& configuration);
    // "name (song)", or that with "(missing)" for a song that does not exist.
    static QString SongEntryText(const std::string& song, bool exists);
    // The songs that can be added (after the presets in the list to choose from).
    void SetSongs(const std::vector<std::string>& names);

private:
    void ConnectControls();
    void LayOut();
    void ShowLists(int select);
    void ShowEntries(int select);
    Configuration::Setlist* Current();
    QString AskName(const QString& proposal);

    Configuration::Setlists& _setlists;
    Configuration::IConfiguration& _configuration;
    QListWidget* _lists = nullptr;
    QListWidget* _entries = nullptr;
    QComboBox* _presets = nullptr;
    QSpinBox* _bars = nullptr;
    std::vector<std::string> _songs;
    QLabel* _presetsLabel = nullptr;
    QPushButton* _buttons[8] = {};
    int _chosen = -1;
};

}  // namespace GUI
