#include "GUI/SetlistDialog.h"
#include "GUI/DialogButtons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "Configuration/IConfiguration.h"
#include "GUI/LanguageTexts.h"
#include "GUI/QtText.h"
#include "GUI/SongTexts.h"
#include "GUI/StageTexts.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

}  // namespace

QString SetlistDialog::EntryText(const std::string& preset, Configuration::IConfiguration& configuration)
{
    const QString name = QString::fromStdString(preset);
    return PresetExists(configuration, preset) ? name : Text(StageTexts::Missing).arg(name);
}

QString SetlistDialog::SongEntryText(const std::string& song, bool exists)
{
    const QString name = Text(SongTexts::SongEntry).arg(QString::fromStdString(song));
    return exists ? name : Text(StageTexts::Missing).arg(name);
}

void SetlistDialog::SetSongs(const std::vector<std::string>& names)
{
    _songs = names;
    if (!names.empty())
        _presetsLabel->setText(Text(SongTexts::SetlistEntriesLabel));
    for (const std::string& name : names)
        _presets->addItem(SongEntryText(name, true), QString::fromStdString(name));
    ShowEntries(_entries->currentRow());
}

SetlistDialog::SetlistDialog(Configuration::Setlists& setlists, Configuration::IConfiguration& configuration,
                             QWidget* parent)
    : QDialog(parent), _setlists(setlists), _configuration(configuration)
{
    setObjectName(QStringLiteral("SetlistDialog"));
    setWindowTitle(Text(StageTexts::SetlistsTitle));

    _lists = new QListWidget(this);
    _entries = new QListWidget(this);
    _presets = new QComboBox(this);
    _bars = new QSpinBox(this);
    _bars->setRange(0, Configuration::Setlists::MaxBars);
    _configuration.EnumeratePresets(
        [](const Configuration::ConfigurationData& preset, void* context) {
            static_cast<QComboBox*>(context)->addItem(QtText::FromField(preset.PresetName));
            return 1;
        },
        _presets);

    const int texts[8] = {StageTexts::NewButton,  StageTexts::RenameButton, StageTexts::DeleteButton,
                          StageTexts::AddButton,  StageTexts::RemoveButton, StageTexts::UpButton,
                          StageTexts::DownButton, StageTexts::PlayButton};
    for (int i = 0; i < 8; ++i) {
        _buttons[i] = new QPushButton(Text(texts[i]), this);
        _buttons[i]->setAutoDefault(false);
    }
    ConnectControls();
    LayOut();
    ShowLists(_setlists.Active() >= 0 ? _setlists.Active() : 0);
}

// What the buttons, the lists and the bars do.
void SetlistDialog::ConnectControls()
{
    connect(_buttons[0], &QPushButton::clicked, this, [this] {
        const QString name = AskName(Text(StageTexts::NewName).arg(_setlists.Lists().size() + 1));
        if (!name.isEmpty())
            NewList(name);
    });
    connect(_buttons[1], &QPushButton::clicked, this, [this] {
        if (Configuration::Setlist* setlist = Current()) {
            const QString name = AskName(QString::fromStdString(setlist->name));
            if (!name.isEmpty())
                RenameList(name);
        }
    });
    connect(_buttons[2], &QPushButton::clicked, this, &SetlistDialog::DeleteList);
    connect(_buttons[3], &QPushButton::clicked, this, &SetlistDialog::AddEntry);
    connect(_buttons[4], &QPushButton::clicked, this, &SetlistDialog::RemoveEntry);
    connect(_buttons[5], &QPushButton::clicked, this, [this] { MoveEntry(-1); });
    connect(_buttons[6], &QPushButton::clicked, this, [this] { MoveEntry(1); });
    connect(_buttons[7], &QPushButton::clicked, this, &SetlistDialog::Play);
    connect(_lists, &QListWidget::currentRowChanged, this, [this](int) { ShowEntries(0); });
    connect(_lists, &QListWidget::itemDoubleClicked, this, &SetlistDialog::Play);
    connect(_bars, &QSpinBox::valueChanged, this, [this](int bars) {
        if (Configuration::Setlist* setlist = Current())
            setlist->advanceBars = bars;
    });
}

// The lists on the left, the entries of the one chosen on the right, Close below.
void SetlistDialog::LayOut()
{
    auto* listButtons = new QHBoxLayout;
    for (int i = 0; i < 3; ++i)
        listButtons->addWidget(_buttons[i]);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(Text(StageTexts::SetlistsTitle) + QLatin1Char(':'), this));
    left->addWidget(_lists);
    left->addLayout(listButtons);

    auto* add = new QHBoxLayout;
    _presetsLabel = new QLabel(Text(StageTexts::PresetsLabel), this);
    add->addWidget(_presetsLabel);
    add->addWidget(_presets, 1);
    add->addWidget(_buttons[3]);
    auto* entryButtons = new QHBoxLayout;
    for (int i = 4; i < 7; ++i)
        entryButtons->addWidget(_buttons[i]);
    auto* bars = new QHBoxLayout;
    bars->addWidget(new QLabel(Text(StageTexts::AdvanceLabel), this));
    bars->addWidget(_bars);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(Text(StageTexts::EntriesLabel), this));
    right->addWidget(_entries);
    right->addLayout(entryButtons);
    right->addLayout(add);
    right->addLayout(bars);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 2);
    columns->addLayout(right, 3);
    auto* closing = DialogButtons::Box(this, QDialogButtonBox::Close);
    closing->addButton(_buttons[7], QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(closing);
}

QString SetlistDialog::AskName(const QString& proposal)
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, Text(StageTexts::SetlistsTitle), Text(StageTexts::NameLabel),
                                               QLineEdit::Normal, proposal, &ok)
                             .simplified();
    return ok ? name : QString();
}

Configuration::Setlist* SetlistDialog::Current()
{
    const int row = _lists->currentRow();
    auto& lists = _setlists.Lists();
    return row >= 0 && row < static_cast<int>(lists.size()) ? &lists[static_cast<std::size_t>(row)] : nullptr;
}

void SetlistDialog::ShowLists(int select)
{
    QSignalBlocker quiet(_lists);
    _lists->clear();
    for (const Configuration::Setlist& setlist : _setlists.Lists())
        _lists->addItem(QString::fromStdString(setlist.name));
    _lists->setCurrentRow(std::min(select, _lists->count() - 1));
    ShowEntries(0);
}

void SetlistDialog::ShowEntries(int select)
{
    _entries->clear();
    Configuration::Setlist* setlist = Current();
    for (int i = 1; i < 7; ++i)
        _buttons[i]->setEnabled(setlist != nullptr);
    _buttons[3]->setEnabled(setlist != nullptr && _presets->count() > 0);
    _buttons[7]->setEnabled(setlist != nullptr);
    _bars->setEnabled(setlist != nullptr);
    if (setlist == nullptr)
        return;
    {
        QSignalBlocker quiet(_bars);
        _bars->setValue(setlist->advanceBars);
    }
    for (std::size_t n = 0; n < setlist->presets.size(); ++n) {
        const std::string& name = setlist->presets[n];
        const bool song = setlist->IsSong(n);
        const bool exists =
            song ? std::find(_songs.begin(), _songs.end(), name) != _songs.end() : PresetExists(_configuration, name);
        auto* item =
            new QListWidgetItem(song ? SongEntryText(name, exists) : EntryText(name, _configuration), _entries);
        if (!exists)
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    }
    _entries->setCurrentRow(std::min(select, _entries->count() - 1));
}

void SetlistDialog::NewList(const QString& name)
{
    auto& lists = _setlists.Lists();
    if (lists.size() >= Configuration::Setlists::MaxLists)
        return;
    Configuration::Setlist setlist;
    setlist.name = name.toStdString();
    lists.push_back(std::move(setlist));
    ShowLists(static_cast<int>(lists.size()) - 1);
}

void SetlistDialog::RenameList(const QString& name)
{
    const int row = _lists->currentRow();
    if (Configuration::Setlist* setlist = Current()) {
        setlist->name = name.toStdString();
        ShowLists(row);
    }
}

void SetlistDialog::DeleteList()
{
    const int row = _lists->currentRow();
    auto& lists = _setlists.Lists();
    if (row < 0 || row >= static_cast<int>(lists.size()))
        return;
    // The list in use keeps its place when one before it goes; deleting it leaves none in use.
    const int active = _setlists.Active();
    lists.erase(lists.begin() + row);
    _setlists.Activate(active == row      ? -1
                           : active > row ? active - 1
                                          : active,
                       [this](const std::string& name) { return PresetExists(_configuration, name); });
    ShowLists(row);
}

void SetlistDialog::AddEntry()
{
    Configuration::Setlist* setlist = Current();
    if (setlist == nullptr || _presets->currentIndex() < 0 ||
        setlist->presets.size() >= Configuration::Setlists::MaxEntries)
        return;
    // After the chosen entry, or at the end.
    const int row = _entries->currentRow();
    const std::size_t at = row >= 0 ? static_cast<std::size_t>(row) + 1 : setlist->presets.size();
    // A song carries its name beside the text shown; a preset is named by its text.
    const QVariant song = _presets->currentData();
    setlist->Insert(at, (song.isValid() ? song.toString() : _presets->currentText()).toStdString(), song.isValid());
    ShowEntries(static_cast<int>(std::min(at, setlist->presets.size() - 1)));
}

void SetlistDialog::RemoveEntry()
{
    Configuration::Setlist* setlist = Current();
    const int row = _entries->currentRow();
    if (setlist == nullptr || row < 0 || row >= static_cast<int>(setlist->presets.size()))
        return;
    setlist->Erase(static_cast<std::size_t>(row));
    _setlists.Fit();
    ShowEntries(row);
}

void SetlistDialog::MoveEntry(int by)
{
    Configuration::Setlist* setlist = Current();
    const int row = _entries->currentRow();
    const int to = row + by;
    if (setlist == nullptr || row < 0 || to < 0 || to >= static_cast<int>(setlist->presets.size()))
        return;
    setlist->Swap(static_cast<std::size_t>(row), static_cast<std::size_t>(to));
    ShowEntries(to);
}

void SetlistDialog::Play()
{
    if (Current() == nullptr)
        return;
    _chosen = _lists->currentRow();
    accept();
}

}  // namespace GUI
