#include "GUI/SongEditorDialog.h"
#include "GUI/DialogButtons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "Configuration/Song.h"
#include "Configuration/SongFile.h"
#include "Core/SongMidiFile.h"
#include "Core/TempoMap.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/SongLibrary.h"
#include "GUI/SongPicture.h"
#include "GUI/SongTexts.h"
#include "GUI/StageTexts.h"
#include "Platform/File.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

using Configuration::SongSection;

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

QString Number(double value)
{
    return QString::number(value, 'g', 6);
}

// The notes of a tempo map read or written, one a line, for the user.
QString NoteLines(const std::vector<Core::TempoMap::Note>& notes, bool read)
{
    QStringList lines;
    for (const Core::TempoMap::Note& note : notes) {
        const int kind = static_cast<int>(note.kind);
        lines << Text(read ? SongTexts::NoteLine : SongTexts::NoteSection)
                     .arg(note.line)
                     .arg(Text(SongTexts::NoteUnreadable + kind));
    }
    // A long list is cut: the box stays on the screen.
    constexpr qsizetype MostLines = 20;
    if (lines.size() > MostLines) {
        lines = lines.mid(0, MostLines);
        lines << QStringLiteral("...");
    }
    return lines.join(u'\n');
}

void Tell(QWidget* owner, QMessageBox::Icon icon, const QString& text)
{
    MessageBoxes::Show(owner, icon, Text(SongTexts::EditorTitle), text);
}

}  // namespace

SongEditorDialog::SongEditorDialog(SongLibrary& library, Player player, QWidget* parent)
    : QDialog(parent), _library(library), _player(std::move(player)), _folder(QDir::homePath())
{
    setObjectName(QStringLiteral("SongEditorDialog"));
    setWindowTitle(Text(SongTexts::EditorTitle));
    _songBox = new QComboBox(this);
    _songBox->setObjectName(QStringLiteral("Songs"));
    _picture = new SongPicture(this);
    _picture->setToolTip(Text(SongTexts::PictureHint));
    _table = new QTableWidget(0, ColumnCount, this);
    _table->setObjectName(QStringLiteral("Sections"));
    const int headings[ColumnCount] = {SongTexts::ColumnLabel,  SongTexts::ColumnBars,         SongTexts::ColumnMeter,
                                       SongTexts::ColumnTempo,  SongTexts::ColumnEndTempo,     SongTexts::ColumnAccents,
                                       SongTexts::ColumnVolume, SongTexts::ColumnSubdivisions, SongTexts::ColumnMuted};
    QStringList texts;
    for (const int heading : headings)
        texts << Text(heading);
    _table->setHorizontalHeaderLabels(texts);
    _table->horizontalHeaderItem(Bars)->setToolTip(Text(SongTexts::BarsHint));
    _table->horizontalHeaderItem(Subdivisions)->setToolTip(Text(SongTexts::SubdivisionsHint));
    _table->horizontalHeaderItem(Muted)->setToolTip(Text(SongTexts::MutedHint));
    _table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    _table->horizontalHeader()->setSectionResizeMode(Label, QHeaderView::Stretch);
    _table->setSelectionBehavior(QAbstractItemView::SelectRows);
    _table->setSelectionMode(QAbstractItemView::SingleSelection);
    CreateButtons();
    LayOut();

    connect(_songBox, &QComboBox::currentIndexChanged, this, [this](int) { ShowSections(0); });
    connect(_table, &QTableWidget::cellChanged, this, &SongEditorDialog::CellEdited);
    connect(_table, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { _picture->SetSelected(row); });
    connect(_picture, &SongPicture::SectionClicked, this, &SongEditorDialog::PlayFrom);
    _heard.setInterval(50);
    connect(&_heard, &QTimer::timeout, this, &SongEditorDialog::ShowHeard);
    _heard.start();
    ShowSongs(0);
}

void SongEditorDialog::CreateButtons()
{
    const int texts[ButtonCount] = {
        StageTexts::NewButton,      StageTexts::RenameButton,    StageTexts::DeleteButton,
        StageTexts::AddButton,      SongTexts::DuplicateButton,  StageTexts::RemoveButton,
        StageTexts::UpButton,       StageTexts::DownButton,      SongTexts::ImportButton,
        SongTexts::ExportMapButton, SongTexts::ExportMidiButton, SongTexts::ExportSoundButton,
        SongTexts::PlayButton};
    for (int i = 0; i < ButtonCount; ++i) {
        _buttons[i] = new QPushButton(Text(texts[i]), this);
        _buttons[i]->setAutoDefault(false);
    }
    connect(_buttons[NewButton], &QPushButton::clicked, this, [this] {
        const std::string proposal = Text(SongTexts::NewSongName).arg(_library.Songs().size() + 1).toStdString();
        const QString name = AskName(QString::fromStdString(_library.FreeName(proposal)));
        if (!name.isEmpty())
            NewSong(name);
    });
    connect(_buttons[RenameButton], &QPushButton::clicked, this, [this] {
        if (const Configuration::Song* song = CurrentSong()) {
            const QString name = AskName(QString::fromStdString(song->name));
            if (!name.isEmpty())
                RenameSong(name);
        }
    });
    connect(_buttons[DeleteButton], &QPushButton::clicked, this, &SongEditorDialog::DeleteSong);
    connect(_buttons[AddButton], &QPushButton::clicked, this, &SongEditorDialog::AddSection);
    connect(_buttons[DuplicateButton], &QPushButton::clicked, this, &SongEditorDialog::DuplicateSection);
    connect(_buttons[RemoveButton], &QPushButton::clicked, this, &SongEditorDialog::RemoveSection);
    connect(_buttons[UpButton], &QPushButton::clicked, this, [this] { MoveSection(-1); });
    connect(_buttons[DownButton], &QPushButton::clicked, this, [this] { MoveSection(1); });
    connect(_buttons[ImportButton], &QPushButton::clicked, this, [this] {
        if (const QString path = AskFile(false, SongTexts::TempoMapFilter, {}); !path.isEmpty())
            ImportTempoMap(path);
    });
    connect(_buttons[ExportMapButton], &QPushButton::clicked, this, [this] {
        if (const Configuration::Song* song = CurrentSong())
            if (const QString path =
                    AskFile(true, SongTexts::TempoMapFilter, QString::fromStdString(song->name) + ".txt");
                !path.isEmpty())
                ExportTempoMap(path);
    });
    connect(_buttons[ExportMidiButton], &QPushButton::clicked, this, [this] {
        if (const Configuration::Song* song = CurrentSong())
            if (const QString path = AskFile(true, SongTexts::MidiFilter, QString::fromStdString(song->name) + ".mid");
                !path.isEmpty())
                ExportMidi(path);
    });
    connect(_buttons[ExportSoundButton], &QPushButton::clicked, this, [this] {
        if (const Configuration::Song* song = CurrentSong(); song != nullptr && _player.exportSound)
            _player.exportSound(*song);
    });
    connect(_buttons[PlayButton], &QPushButton::clicked, this, &SongEditorDialog::PlayOrStop);
}

void SongEditorDialog::LayOut()
{
    auto* songRow = new QHBoxLayout;
    auto* songLabel = new QLabel(Text(SongTexts::SongLabel), this);
    songLabel->setBuddy(_songBox);
    songRow->addWidget(songLabel);
    songRow->addWidget(_songBox, 1);
    for (int i = NewButton; i <= DeleteButton; ++i)
        songRow->addWidget(_buttons[i]);

    auto* sectionRow = new QHBoxLayout;
    for (int i = AddButton; i <= DownButton; ++i)
        sectionRow->addWidget(_buttons[i]);
    sectionRow->addStretch(1);

    auto* fileRow = new QGridLayout;
    for (int i = ImportButton; i <= ExportSoundButton; ++i)
        fileRow->addWidget(_buttons[i], (i - ImportButton) / 2, (i - ImportButton) % 2);

    auto* closing = DialogButtons::Box(this, QDialogButtonBox::Close);
    closing->addButton(_buttons[PlayButton], QDialogButtonBox::ActionRole);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(fileRow);
    bottom->addStretch(1);
    bottom->addWidget(closing, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(songRow);
    layout->addWidget(_picture, 2);
    layout->addWidget(_table, 3);
    layout->addLayout(sectionRow);
    layout->addLayout(bottom);
    resize(860, 560);
}

Configuration::Song* SongEditorDialog::CurrentSong()
{
    const int index = _songBox->currentIndex();
    auto& songs = _library.Songs();
    return index >= 0 && index < static_cast<int>(songs.size()) ? &songs[static_cast<std::size_t>(index)] : nullptr;
}

int SongEditorDialog::CurrentSection() const
{
    return _table->currentRow();
}

void SongEditorDialog::ShowSongs(int select)
{
    {
        QSignalBlocker quiet(_songBox);
        _songBox->clear();
        for (const Configuration::Song& song : _library.Songs())
            _songBox->addItem(QString::fromStdString(song.name));
        _songBox->setCurrentIndex(std::min(select, _songBox->count() - 1));
    }
    ShowSections(0);
}

void SongEditorDialog::ShowSections(int select)
{
    Configuration::Song* song = CurrentSong();
    {
        QSignalBlocker quiet(_table);
        _table->setRowCount(song != nullptr ? static_cast<int>(song->sections.size()) : 0);
        for (int row = 0; row < _table->rowCount(); ++row)
            ShowRow(row);
    }
    if (_table->rowCount() > 0)
        _table->setCurrentCell(std::clamp(select, 0, _table->rowCount() - 1), std::max(0, _table->currentColumn()));
    _picture->SetSong(song);
    _picture->SetSelected(CurrentSection());
    for (int i = RenameButton; i < ButtonCount; ++i)
        _buttons[i]->setEnabled(song != nullptr || i == ImportButton);
    ShowPlayButton();
}

void SongEditorDialog::ShowRow(int row)
{
    const SongSection& section = CurrentSong()->sections[static_cast<std::size_t>(row)];
    const QString cells[ColumnCount] = {QString::fromStdString(section.label),
                                        QString::number(section.bars),
                                        QString::fromStdString(Configuration::SongFile::MeterText(section)),
                                        Number(section.tempo),
                                        Number(section.endTempo),
                                        QString::fromStdString(Configuration::SongFile::AccentText(section)),
                                        QString::number(section.volume),
                                        QString::fromStdString(Configuration::SongFile::SubdivisionText(section)),
                                        QString::fromStdString(Configuration::SongFile::MutedBarsText(section))};
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem* item = _table->item(row, column);
        if (item == nullptr) {
            item = new QTableWidgetItem;
            _table->setItem(row, column, item);
        }
        item->setText(cells[column]);
    }
}

void SongEditorDialog::CellEdited(int row, int column)
{
    Configuration::Song* song = CurrentSong();
    if (song == nullptr || row < 0 || row >= static_cast<int>(song->sections.size()))
        return;
    SongSection& section = song->sections[static_cast<std::size_t>(row)];
    SongSection edited = section;
    const QString text = _table->item(row, column)->text().trimmed();
    const std::string utf8 = text.toStdString();
    bool ok = true;
    switch (column) {
    case Label: edited.label = utf8; break;
    case Bars: edited.bars = text.toInt(&ok); break;
    case Meter: ok = Configuration::SongFile::ReadMeter(utf8, edited); break;
    case Tempo:
        edited.tempo = text.toDouble(&ok);
        // A steady section stays steady at its new tempo.
        if (!section.Ramp())
            edited.endTempo = edited.tempo;
        break;
    case EndTempo: edited.endTempo = text.toDouble(&ok); break;
    case Accents: ok = Configuration::SongFile::ReadAccents(utf8, edited); break;
    case Volume: edited.volume = text.toInt(&ok); break;
    case Subdivisions: ok = Configuration::SongFile::ReadSubdivisions(utf8, edited); break;
    case Muted: ok = Configuration::SongFile::ReadMutedBars(utf8, edited); break;
    default: ok = false;
    }
    if (ok && std::isfinite(edited.tempo) && std::isfinite(edited.endTempo) && edited.bars >= 0) {
        // Values out of range are brought into it, and shown as they are kept.
        edited.Fit();
        section = std::move(edited);
    }
    {
        QSignalBlocker quiet(_table);
        ShowRow(row);
    }
    Edited(row);
}

void SongEditorDialog::Edited(int select)
{
    if (Configuration::Song* song = CurrentSong())
        song->Fit();
    _library.Changed();
    ShowSections(select);
}

void SongEditorDialog::NewSong(const QString& name)
{
    Configuration::Song song;
    song.name = _library.FreeName(name.toStdString());
    song.sections.push_back(SongSection{});
    _library.Songs().push_back(std::move(song));
    _library.Changed();
    ShowSongs(static_cast<int>(_library.Songs().size()) - 1);
}

void SongEditorDialog::RenameSong(const QString& name)
{
    Configuration::Song* song = CurrentSong();
    if (song == nullptr || song->name == name.toStdString())
        return;
    song->name = _library.FreeName(name.toStdString());
    _library.Changed();
    ShowSongs(_songBox->currentIndex());
}

void SongEditorDialog::DeleteSong()
{
    const int index = _songBox->currentIndex();
    if (CurrentSong() == nullptr)
        return;
    _library.Songs().erase(_library.Songs().begin() + index);
    _library.Changed();
    ShowSongs(std::max(0, index - 1));
}

void SongEditorDialog::AddSection()
{
    Configuration::Song* song = CurrentSong();
    if (song == nullptr || song->sections.size() >= Configuration::Song::MaxSections)
        return;
    // A new section goes on in the meter and tempo the chosen one ends with.
    const int row = CurrentSection();
    SongSection section;
    if (row >= 0) {
        const SongSection& before = song->sections[static_cast<std::size_t>(row)];
        section.groups = before.groups;
        section.unit = before.unit;
        section.compound = before.compound;
        section.tempo = section.endTempo = before.endTempo;
        if (before.bars == SongSection::Endless)
            section.bars = SongSection::Endless;
    }
    const auto at = row >= 0 ? song->sections.begin() + row + 1 : song->sections.end();
    const auto placed = song->sections.insert(at, section);
    Edited(static_cast<int>(placed - song->sections.begin()));
}

void SongEditorDialog::DuplicateSection()
{
    Configuration::Song* song = CurrentSong();
    const int row = CurrentSection();
    if (song == nullptr || row < 0 || song->sections.size() >= Configuration::Song::MaxSections)
        return;
    const SongSection copy = song->sections[static_cast<std::size_t>(row)];
    song->sections.insert(song->sections.begin() + row + 1, copy);
    Edited(row + 1);
}

void SongEditorDialog::RemoveSection()
{
    Configuration::Song* song = CurrentSong();
    const int row = CurrentSection();
    // A song keeps one section at least: it is deleted as a whole.
    if (song == nullptr || row < 0 || song->sections.size() <= 1)
        return;
    song->sections.erase(song->sections.begin() + row);
    Edited(std::min(row, static_cast<int>(song->sections.size()) - 1));
}

void SongEditorDialog::MoveSection(int by)
{
    Configuration::Song* song = CurrentSong();
    const int row = CurrentSection();
    const int to = row + by;
    if (song == nullptr || row < 0 || to < 0 || to >= static_cast<int>(song->sections.size()))
        return;
    std::swap(song->sections[static_cast<std::size_t>(row)], song->sections[static_cast<std::size_t>(to)]);
    Edited(to);
}

bool SongEditorDialog::ImportTempoMap(const QString& path)
{
    std::string text;
    if (!Platform::File::ReadAll(path.toStdString(), text, Core::TempoMap::MaxText + 1) ||
        text.size() > Core::TempoMap::MaxText) {
        Tell(this, QMessageBox::Warning, Text(SongTexts::ReadFailed).arg(path));
        return false;
    }
    Configuration::Song song;
    const std::vector<Core::TempoMap::Note> notes = Core::TempoMap::Read(text, song);
    if (song.sections.empty()) {
        Tell(this, QMessageBox::Warning, Text(SongTexts::ReadFailed).arg(path));
        return false;
    }
    song.name = _library.FreeName(QFileInfo(path).completeBaseName().toStdString());
    _library.Songs().push_back(std::move(song));
    _library.Changed();
    ShowSongs(static_cast<int>(_library.Songs().size()) - 1);
    if (!notes.empty())
        Tell(this, QMessageBox::Information, Text(SongTexts::ImportNotes).arg(path, NoteLines(notes, true)));
    return true;
}

bool SongEditorDialog::ExportTempoMap(const QString& path)
{
    const Configuration::Song* song = CurrentSong();
    if (song == nullptr)
        return false;
    std::vector<Core::TempoMap::Note> notes;
    const std::string text = Core::TempoMap::Write(*song, &notes);
    if (!Platform::File::ReplaceWhole(path.toStdString(), text)) {
        Tell(this, QMessageBox::Warning, Text(SongTexts::WriteFailed).arg(path));
        return false;
    }
    Tell(this, QMessageBox::Information,
         notes.empty() ? Text(SongTexts::Written).arg(path)
                       : Text(SongTexts::ExportNotes).arg(path, NoteLines(notes, false)));
    return true;
}

bool SongEditorDialog::ExportMidi(const QString& path)
{
    const Configuration::Song* song = CurrentSong();
    if (song == nullptr)
        return false;
    if (!Platform::File::ReplaceWhole(path.toStdString(), Core::SongMidiFile::Write(*song))) {
        Tell(this, QMessageBox::Warning, Text(SongTexts::WriteFailed).arg(path));
        return false;
    }
    Tell(this, QMessageBox::Information, Text(SongTexts::Written).arg(path));
    return true;
}

void SongEditorDialog::PlayOrStop()
{
    if (_player.playing && _player.playing()) {
        if (_player.stop)
            _player.stop();
        ShowPlayButton();
        return;
    }
    PlayFrom(std::max(0, CurrentSection()));
}

void SongEditorDialog::PlayFrom(int section)
{
    const Configuration::Song* song = CurrentSong();
    if (song == nullptr || section < 0 || section >= static_cast<int>(song->sections.size()) || !_player.play)
        return;
    _table->setCurrentCell(section, _table->currentColumn() >= 0 ? _table->currentColumn() : Label);
    _player.play(*song, section);
    ShowHeard();
}

void SongEditorDialog::ShowHeard()
{
    std::string name;
    int section = -1;
    int bar = 0;
    const Configuration::Song* song = CurrentSong();
    const bool heard = _player.heard && _player.heard(name, section, bar) && song != nullptr && name == song->name;
    _picture->SetHeard(heard ? section : -1, bar);
    ShowPlayButton();
}

void SongEditorDialog::ShowPlayButton()
{
    const bool playing = _player.playing && _player.playing();
    const QString text = Text(playing ? SongTexts::StopButton : SongTexts::PlayButton);
    if (_buttons[PlayButton]->text() != text)
        _buttons[PlayButton]->setText(text);
}

QString SongEditorDialog::AskName(const QString& proposal)
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, Text(SongTexts::EditorTitle), Text(SongTexts::SongNameLabel),
                                               QLineEdit::Normal, proposal, &ok)
                             .simplified();
    return ok ? name : QString();
}

QString SongEditorDialog::AskFile(bool save, int filter, const QString& proposal)
{
    // A slash in a song's name is taken for no folder.
    const QString start = QDir(_folder).filePath(QString(proposal).replace(u'/', u'-'));
    const QString path = save ? QFileDialog::getSaveFileName(this, Text(SongTexts::EditorTitle), start, Text(filter))
                              : QFileDialog::getOpenFileName(this, Text(SongTexts::EditorTitle), _folder, Text(filter));
    if (!path.isEmpty())
        _folder = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace GUI
