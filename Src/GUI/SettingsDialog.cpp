#include "GUI/SettingsDialog.h"
#include "GUI/DialogButtons.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

#include "Configuration/ExtraSettings.h"
#include "Configuration/IConfiguration.h"
#include "GUI/AccessibleNames.h"
#include "GUI/DialogUnits.h"
#include "GUI/LanguageTexts.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

struct InformationRow {
    int first;
    int last;
    int number;
};

// Controls and the information text each shows.
const InformationRow InformationTable[] = {
    {1205, 1205, 0},  {1070, 1070, 1},  {1072, 1072, 2},  {1021, 1021, 3},  {1022, 1022, 4},  {1206, 1206, 5},
    {1207, 1207, 6},  {1023, 1023, 7},  {1210, 1210, 8},  {1024, 1024, 9},  {1025, 1025, 10}, {1027, 1027, 11},
    {1028, 1028, 12}, {1208, 1208, 13}, {1209, 1209, 14}, {1032, 1032, 15}, {1034, 1034, 16}, {1036, 1036, 17},
    {1038, 1038, 18}, {1037, 1037, 19}, {1039, 1039, 20}, {1211, 1211, 21}, {1212, 1212, 22}, {1213, 1213, 23},
    {1214, 1214, 24}, {1215, 1215, 25}, {1216, 1216, 26}, {1217, 1217, 27}, {1218, 1218, 28}, {1219, 1219, 29},
    {1220, 1220, 30}, {1221, 1221, 31}, {1222, 1222, 32}, {1230, 1241, 33}, {1242, 1253, 34}, {1254, 1265, 35},
    {1266, 1277, 36}, {1290, 1301, 37}, {1306, 1317, 38}, {1318, 1318, 39}, {1319, 1319, 40}, {1062, 1062, 42},
    {1063, 1063, 43}, {1064, 1064, 44}, {1065, 1065, 45}, {1066, 1066, 46}, {1320, 1320, 47},
};

}  // namespace

SettingsDialog::SettingsDialog(Configuration::IConfiguration& configuration, std::function<void()> settingsReplaced)
    : _options(configuration), _soundSetup(configuration), _audioFiles(configuration), _presets(configuration),
      _output(Configuration::GetExtraSettings()), _configuration(configuration),
      _settingsReplaced(std::move(settingsReplaced))
{
    _options.SetFrame(this, this);
    _soundSetup.SetFrame(this, this);
    _audioFiles.SetFrame(this, this);
    _presets.SetFrame(this, this);
    _output.SetFrame(this);
}

SettingsDialog::~SettingsDialog()
{
    Close();
}

int SettingsDialog::InformationNumber(int id)
{
    for (const InformationRow& row : InformationTable)
        if (id >= row.first && id <= row.last)
            return row.number;
    return -1;
}

TabDialog* SettingsDialog::Page(int index)
{
    switch (index) {
    case 0: return &_options;
    case 1: return &_soundSetup;
    case 2: return &_audioFiles;
    case 3: return &_presets;
    case 4: return &_output;
    default: return nullptr;
    }
}

void SettingsDialog::Run(QWidget* owner, int tab)
{
    QDialog* dialog = Open(owner, tab);
    dialog->exec();
    Close();
}

QDialog* SettingsDialog::Open(QWidget* owner, int tab)
{
    Close();
    if (tab < 0 || tab >= PageCount)
        tab = 0;
    auto* dialog = new QDialog(owner,
                               Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                   Qt::MSWindowsFixedSizeDialogHint);
    _window = dialog;
    dialog->setObjectName(QStringLiteral("SettingsDialog"));
    dialog->setWindowTitle(QStringLiteral("Settings"));
    dialog->setFont(DialogUnits::DialogFont());
    dialog->setFixedSize(DialogUnits::X(424), DialogUnits::Y(289));
    LastControl = 0;

    const auto [ok, close] = DialogButtons::Place(dialog, OkId, 308, CloseId, 360, 263, QStringLiteral("Close"));
    _tabs = new QTabWidget(dialog);
    DialogUnits::Place(_tabs, TabsId, 7, 7, 408, 250);
    MakeInformationLine(dialog);
    // Tab order of the template: OK, Close, the tabs.
    QWidget::setTabOrder(ok, close);
    QWidget::setTabOrder(close, _tabs);

    LanguageTexts::ApplyDialogTexts(dialog, TemplateId, System::CurrentLanguage());
    // A screen reader reads each control's information line as its description.
    AccessibleNames::SetHelp(dialog, [](int id) {
        const int number = InformationNumber(id);
        return number < 0 ? QString() : LanguageTexts::Text(System::CurrentLanguage().GetInformation(number));
    });
    AddPages(dialog, tab);
    AddPageKeys(dialog);
    TabDialog::WatchBackground(dialog, this);
    SubClassChildControls(dialog, this);
    // The tab strip is part of the tab control: a move over it is a move over the tabs.
    SubClassChildControls(_tabs, this);
    for (QWidget* child : _tabs->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        SetControlId(child, TabsId);

    QObject::connect(ok, &QPushButton::clicked, dialog, [this] {
        if (OnOk() && _window)
            _window->accept();
    });
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
    return dialog;
}

void SettingsDialog::MakeInformationLine(QDialog* dialog)
{
    _information =
        new QLabel(QStringLiteral("Move the mouse over an input field to display information about it here"), dialog);
    DialogUnits::Place(_information, InformationId, 7, 259, 294, 24);
    _information->setWordWrap(true);
    _information->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette blue = _information->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 160));
    _information->setPalette(blue);
}

void SettingsDialog::AddPages(QDialog* dialog, int tab)
{
    const System::ILanguage& language = System::CurrentLanguage();
    // Pages in the order they are made; tabs in the order they are shown.
    QWidget* pages[PageCount] = {};
    pages[0] = _options.Create(_tabs);
    pages[1] = _soundSetup.Create(_tabs);
    pages[2] = _audioFiles.Create(_tabs);
    pages[3] = _presets.Create(_tabs);
    pages[4] = _output.Create(_tabs);
    for (int i = 0; i < 4; ++i)
        _tabs->addTab(pages[i], LanguageTexts::Text(language.GetText(6 + i)));
    _tabs->addTab(pages[4], LanguageTexts::Text(language.GetText(OutputPage::TabText)));
    _tabs->setCurrentIndex(tab);
    _current = Page(tab);
    QObject::connect(_tabs, &QTabWidget::currentChanged, dialog, [this](int index) {
        _current = Page(index);
        LastControl = 0;
    });
}

void SettingsDialog::AddPageKeys(QDialog* dialog)
{
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages wherever the focus is, OK and Close included
    // (the tab control itself sees them only from a control of its page).
    const auto turnPage = [this](int by) {
        if (_tabs && _tabs->count() > 0)
            _tabs->setCurrentIndex((_tabs->currentIndex() + by + _tabs->count()) % _tabs->count());
    };
    for (const auto& [keys, by] : {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                   std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                   std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1}}) {
        auto* shortcut = new QShortcut(keys, dialog);
        QObject::connect(shortcut, &QShortcut::activated, dialog, [turnPage, by] { turnPage(by); });
    }
}

void SettingsDialog::Close()
{
    if (!_window)
        return;
    _options.Destroy();
    _soundSetup.Destroy();
    _audioFiles.Destroy();
    _presets.Destroy();
    _output.Destroy();
    RestoreChildControls(_window);
    delete _window.data();
    _window = nullptr;
    _tabs = nullptr;
    _information = nullptr;
    _current = nullptr;
    LastControl = 0;
}

void SettingsDialog::ShowTab(int index)
{
    if (_tabs && index >= 0 && index < _tabs->count())
        _tabs->setCurrentIndex(index);
}

QString SettingsDialog::InformationText() const
{
    return _information ? _information->text() : QString();
}

void SettingsDialog::MouseOverControl(int id)
{
    if (!_information)
        return;
    const int number = InformationNumber(id);
    _information->setText(number < 0 ? QString()
                                     : LanguageTexts::Text(System::CurrentLanguage().GetInformation(number)));
}

bool SettingsDialog::FillFromPages(Configuration::ConfigurationData& settings)
{
    if (!_options.SaveToSettings(settings))
        return false;
    _soundSetup.SaveToSettings(settings);
    return _audioFiles.SaveToSettings(settings);
}

bool SettingsDialog::OnOk()
{
    Configuration::ConfigurationData& live = _configuration.GetCurrentSettings();
    // The mark of the live settings while the pages fill them; the name of the preset they came
    // from is theirs again afterwards (the practice log names it).
    const char16_t first = live.PresetName[0];
    live.PresetName[0] = u'@';
    const bool filled = FillFromPages(live);
    live.PresetName[0] = first;
    if (!filled)
        return false;
    _output.Save();
    _configuration.NoteChange(Configuration::IConfiguration::Change::Settings);
    return true;
}

void SettingsDialog::Notify(int code, std::intptr_t argument)
{
    QString paths[AudioFilesDialog::NumVoices];
    switch (code) {
    case AudioFilesChanged: {
        auto* midi = _options.ControlAs<QAbstractButton>(OptionsDialog::MidiId);
        if (midi && midi->isChecked())
            return;
        _audioFiles.Paths(paths);
        _soundSetup.ShowAudioFiles(paths);
        return;
    }
    case PresetLoaded:
        if (_settingsReplaced)
            _settingsReplaced();
        _options.LoadFromSettings();
        _soundSetup.Reload();
        _audioFiles.Reload();
        return;
    case VolumesChanged: _soundSetup.ShowVolumes(); return;
    case SoundSourceChanged:
        if (argument == 0) {
            _soundSetup.ShowMidiInstruments();
        } else {
            _audioFiles.Paths(paths);
            _soundSetup.ShowAudioFiles(paths);
        }
        return;
    default: return;
    }
}

AudioFilesDialog* SettingsDialog::GetAudioFilesPage(int index)
{
    return index == 0 ? &_audioFiles : nullptr;
}

std::intptr_t SettingsDialog::Request(int code, std::intptr_t argument)
{
    switch (code) {
    case FillSettings: {
        auto* settings = reinterpret_cast<Configuration::ConfigurationData*>(argument);
        if (!settings)
            return 1;
        return FillFromPages(*settings) ? 0 : 1;
    }
    case SelectTab: ShowTab(static_cast<int>(argument)); return 0;
    default: return 0;
    }
}

}  // namespace GUI
