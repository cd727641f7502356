#include "GUI/OptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "Configuration/IConfiguration.h"
#include "Core/CustomText.h"
#include "GUI/AudioFilesDialog.h"
#include "GUI/DialogUnits.h"
#include "GUI/IParentWindow.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "GUI/Model/StepSequencerGrid.h"
#include "GUI/QtText.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/UpDownControl.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

const char16_t* const SubdivisionItems[8] = {u"0", u"2", u"3", u"4", u"5", u"6", u"7", u"8"};

// List position of a stored subdivision, and back.
int SubdivisionPosition(std::uint32_t value)
{
    if (value == 0)
        return 0;
    return value - 1 < 8 ? static_cast<int>(value - 1) : 0;
}

std::uint32_t SubdivisionValue(int position)
{
    return position <= 0 ? 0u : static_cast<std::uint32_t>(position + 1);
}

// The integer at the start of a text ("12ab" gives 12; none gives 0), saturated.
int LeadingInteger(const QString& text)
{
    long long value = 0;
    for (QChar character : text.trimmed()) {
        if (!character.isDigit() || character.unicode() > '9')
            break;
        value = value * 10 + (character.unicode() - '0');
        if (value > 1000000000)
            return 1000000000;
    }
    return static_cast<int>(value);
}

QString Format(int value)
{
    return QString::number(value);
}

}  // namespace

const OptionsDialog::TrainerEdit OptionsDialog::TrainerEdits[6] = {
    {FromEditId, true, 0.0},       {ToEditId, true, 0.0},      {StepEditId, true, 0.01},
    {DurationEditId, false, 0.01}, {WarmupEditId, false, 0.0}, {WarmdownEditId, false, 0.0},
};

OptionsDialog::OptionsDialog(Configuration::IConfiguration& configuration) : _configuration(configuration) {}

void OptionsDialog::SetFrame(IParentWindow* frame, ControlSubClasser* information)
{
    _frame = frame;
    _information = information;
}

double OptionsDialog::LeadingNumber(const QString& text)
{
    // Digits, then at most one period and its digits; anything else ends the number.
    double value = 0.0;
    double scale = 0.0;
    for (QChar character : text) {
        const char16_t code = character.unicode();
        if (code >= u'0' && code <= u'9') {
            if (scale == 0.0) {
                value = value * 10.0 + (code - u'0');
                if (value > 1.0e9)
                    return 1.0e9;
            } else {
                value += (code - u'0') * scale;
                scale /= 10.0;
            }
        } else if (code == u'.' && scale == 0.0) {
            scale = 0.1;
        } else {
            break;
        }
    }
    return value;
}

QString OptionsDialog::FormatTrainerValue(const TrainerEdit& edit, double value)
{
    return edit.percent ? QString::asprintf("%0.2f%%", value) : QString::asprintf("%0.2f", value);
}

QWidget* OptionsDialog::Create(QWidget* parent)
{
    _initialised = false;
    QWidget* page = CreatePageWindow(parent, _information);
    CreateControls(page);
    LanguageTexts::ApplyDialogTexts(page, TemplateId, System::CurrentLanguage());

    Spin(BeatsPerBarEditId)->SetRange(1, MaxBeatsPerBar);
    for (const TrainerEdit& edit : TrainerEdits)
        Spin(edit.editId)->SetRange(0, edit.percent ? 100 : 1000);
    for (int id : {Subdivision1Id, Subdivision2Id}) {
        auto* list = ControlAs<QComboBox>(id);
        list->setUpdatesEnabled(false);
        for (const char16_t* item : SubdivisionItems)
            list->addItem(QString::fromUtf16(item));
        list->setUpdatesEnabled(true);
    }
    LoadFromSettings();

    SubClassChildControls(page, _information);
    SetAcceptedCharacters(Edit(PatternEditId), QStringLiteral("0123456789+"),
                          [this](QWidget* edit, char16_t) { OnRejectedCharacter(edit); });
    for (const TrainerEdit& edit : TrainerEdits)
        SetAcceptedCharacters(Edit(edit.editId), QStringLiteral("0123456789.%"),
                              [this](QWidget* control, char16_t) { OnRejectedCharacter(control); });
    _initialised = true;
    return page;
}

void OptionsDialog::Destroy()
{
    _initialised = false;
    DestroyPageWindow();
}

void OptionsDialog::CreateControls(QWidget* page)
{
    auto radio = [page](int id, const char* text, int x, int y, int w, int h) {
        auto* button = new QRadioButton(QString::fromUtf8(text), page);
        DialogUnits::Place(button, id, x, y, w, h);
        return button;
    };
    auto check = [page](int id, const char* text, int x, int y, int w, int h) {
        auto* box = new QCheckBox(QString::fromUtf8(text), page);
        DialogUnits::Place(box, id, x, y, w, h);
        return box;
    };
    auto edit = [page](int id, int x, int y, int w, int h) {
        auto* line = new QLineEdit(page);
        DialogUnits::Place(line, id, x, y, w, h);
        return line;
    };
    auto spin = [page](int id, QLineEdit* buddy, bool setBuddyInt, int x, int y, int w, int h) {
        auto* updown = new UpDownControl(page);
        DialogUnits::Place(updown, id, x, y, w, h);
        updown->SetBuddy(buddy, setBuddyInt);
        return updown;
    };

    // The beat type radios reach up to the edits beside them (79, not 74), so that longer
    // translations ("Rythme personnalisé") show whole.
    constexpr int BeatTypeWidth = 79;
    _beatTypes = new QButtonGroup(page);
    _sources = new QButtonGroup(page);
    _beatTypes->addButton(radio(SimpleBeatId, "&Simple Beat", 13, 19, BeatTypeWidth, 10));
    _beatTypes->addButton(radio(BeatsPerBarRadioId, "&Beats Per Bar", 13, 34, BeatTypeWidth, 10));
    QLineEdit* beatsPerBar = edit(BeatsPerBarEditId, 93, 32, 90, 12);
    beatsPerBar->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), beatsPerBar));
    spin(BeatsPerBarSpinId, beatsPerBar, true, 185, 32, 11, 12);
    _beatTypes->addButton(radio(CustomPatternRadioId, "Custom &Pattern", 13, 49, BeatTypeWidth, 10));
    edit(PatternEditId, 93, 47, 90, 12);
    _beatTypes->addButton(radio(CustomRhythmRadioId, "Custom &Rhythm", 13, 64, BeatTypeWidth, 10));
    auto* sequencer = new QPushButton(QStringLiteral("Step Se&quencer..."), page);
    DialogUnits::Place(sequencer, StepSequencerId, 93, 61, 90, 13);
    _sources->addButton(radio(MidiId, "Mi&di", 254, 19, 90, 10));
    _sources->addButton(radio(AudioFilesId, "&Audio Files", 254, 34, 90, 10));
    auto* subdivision1 = new QComboBox(page);
    DialogUnits::Place(subdivision1, Subdivision1Id, 93, 97, 41, 12);
    auto* subdivision2 = new QComboBox(page);
    DialogUnits::Place(subdivision2, Subdivision2Id, 93, 112, 41, 12);
    check(CompoundTimeId, "&Compound Time", 13, 130, 130, 10);
    check(VisualIndicatorId, "Use &Visual Beat Indicator", 254, 97, 130, 10);
    check(TrainerEnableId, "E&nable", 13, 166, 64, 10);
    check(DurationsInBarsId, "&Durations In Bars", 13, 181, 86, 10);
    check(LogarithmicId, "&Logarithmic", 13, 196, 64, 10);
    check(BeepId, "B&eep", 13, 211, 64, 10);
    const int trainerX[2] = {169, 327};
    const int spinX[2] = {218, 378};
    for (int i = 0; i < 6; ++i) {
        const int column = i % 2;
        const int y = 166 + 15 * (i / 2);
        QLineEdit* line = edit(TrainerEdits[i].editId, trainerX[column], y, 48, 13);
        spin(TrainerEdits[i].editId + 1, line, false, spinX[column], y, 11, 14);
    }

    PlaceFramesAndLabels(page);
    ConnectControls(page);
}

// The group boxes, behind the controls they frame, and the labels.
void OptionsDialog::PlaceFramesAndLabels(QWidget* page)
{
    struct Group {
        int id;
        const char* text;
        int x, y, w, h;
    };
    const Group groups[] = {{1020, "Beat Type", 7, 7, 230, 74},
                            {1026, "Sound Source", 244, 7, 149, 74},
                            {1029, "Beat Subdivision", 7, 83, 230, 65},
                            {1033, "Options", 244, 83, 149, 65},
                            {1035, "Speed Trainer", 7, 151, 386, 76}};
    for (const Group& group : groups) {
        auto* box = new QGroupBox(QString::fromUtf8(group.text), page);
        DialogUnits::Place(box, group.id, group.x, group.y, group.w, group.h);
        box->lower();  // behind the controls it frames
    }
    struct Label {
        int id;
        const char* text;
        int x, y, w, h;
        bool right;
    };
    const Label labels[] = {
        {1030, "Beat Subdivision", 13, 98, 78, 8, false},
        {1031, "Secondary Subdivision", 13, 114, 78, 8, false},
        {1040, "From", 106, 168, 58, 8, true},
        {1041, "To", 265, 168, 58, 8, true},
        {1042, "Step", 106, 183, 58, 8, true},
        {1043, "Duration", 265, 183, 58, 8, true},
        {1044, "Warm Up", 106, 199, 58, 8, true},
        {1045, "Warm Down", 265, 199, 58, 8, true},
    };
    for (const Label& text : labels) {
        auto* label = new QLabel(QString::fromUtf8(text.text), page);
        DialogUnits::Place(label, text.id, text.x, text.y, text.w, text.h);
        label->setAlignment((text.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    }
}

// What the controls do once the page is initialised.
void OptionsDialog::ConnectControls(QWidget* page)
{
    // Toggled, not clicked: a screen reader's toggle action checks a box without a click.
    for (int id : {SimpleBeatId, BeatsPerBarRadioId, CustomPatternRadioId, CustomRhythmRadioId}) {
        QObject::connect(ControlAs<QRadioButton>(id), &QRadioButton::toggled, page, [this](bool checked) {
            if (_initialised && checked)
                SetBeatTypeEnabling();
        });
    }
    for (int id : {MidiId, AudioFilesId}) {
        QObject::connect(ControlAs<QRadioButton>(id), &QRadioButton::toggled, page, [this, id](bool checked) {
            if (_initialised && checked && _frame)
                _frame->Notify(IParentWindow::SoundSourceChanged, id == MidiId ? 0 : 1);
        });
    }
    QObject::connect(ControlAs<QCheckBox>(TrainerEnableId), &QCheckBox::toggled, page, [this](bool checked) {
        if (_initialised)
            SetTrainerEnabling(checked);
    });
    QObject::connect(ControlAs<QPushButton>(StepSequencerId), &QPushButton::clicked, page, [this] {
        if (_initialised)
            OpenStepSequencer();
    });
    OnFocusOut(Edit(BeatsPerBarEditId), [this] {
        if (_initialised)
            CorrectBeatsPerBar(false);
    });
    for (const TrainerEdit& trainerEdit : TrainerEdits) {
        const TrainerEdit* entry = &trainerEdit;
        QObject::connect(Edit(entry->editId), &QLineEdit::textChanged, page, [this, entry] {
            if (_initialised)
                OnTrainerEditChanged(*entry);
        });
        QObject::connect(Spin(entry->editId), &UpDownControl::Scrolled, page, [this, entry](int position) {
            if (_initialised)
                OnSpinScrolled(*entry, position);
        });
        OnFocusOut(Edit(entry->editId), [this, entry] {
            if (_initialised)
                CorrectTrainerEdit(*entry, false);
        });
    }
}

QLineEdit* OptionsDialog::Edit(int id) const
{
    return ControlAs<QLineEdit>(id);
}

UpDownControl* OptionsDialog::Spin(int editId) const
{
    return ControlAs<UpDownControl>(editId + 1);
}

bool OptionsDialog::Checked(int id) const
{
    auto* button = ControlAs<QAbstractButton>(id);
    return button && button->isChecked();
}

void OptionsDialog::SetChecked(int id, bool checked)
{
    if (auto* button = ControlAs<QAbstractButton>(id))
        button->setChecked(checked);
}

void OptionsDialog::LoadFromSettings()
{
    if (!_window)
        return;
    const bool wasInitialised = _initialised;
    _initialised = false;  // the texts set here are no typing
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    const int beatTypeIds[4] = {SimpleBeatId, BeatsPerBarRadioId, CustomPatternRadioId, CustomRhythmRadioId};
    SetChecked(beatTypeIds[settings.BeatType < 4 ? settings.BeatType : 0], true);
    SetBeatTypeEnabling();
    Edit(BeatsPerBarEditId)->setText(Format(static_cast<int>(settings.BeatsPerBar)));
    Spin(BeatsPerBarEditId)->SetPosition(static_cast<int>(settings.BeatsPerBar));
    Edit(PatternEditId)->setText(QtText::FromField(settings.CustomPattern));
    SetChecked(CompoundTimeId, settings.CompoundTime != 0);
    SetChecked(settings.SoundEngineType == 0 ? MidiId : AudioFilesId, true);
    ControlAs<QComboBox>(Subdivision1Id)->setCurrentIndex(SubdivisionPosition(settings.Subdivision1));
    ControlAs<QComboBox>(Subdivision2Id)->setCurrentIndex(SubdivisionPosition(settings.Subdivision2));
    SetChecked(VisualIndicatorId, settings.VisualIndicator != 0);
    const float values[6] = {settings.From,     settings.To,     settings.Step,
                             settings.Duration, settings.Warmup, settings.Warmdown};
    for (int i = 0; i < 6; ++i) {
        const double shown = TrainerEdits[i].percent ? static_cast<double>(values[i]) * 100.0 : values[i];
        Edit(TrainerEdits[i].editId)->setText(FormatTrainerValue(TrainerEdits[i], shown));
        Spin(TrainerEdits[i].editId)->SetPosition(static_cast<int>(shown));
    }
    SetChecked(TrainerEnableId, settings.SpeedTrainer != 0);
    SetTrainerEnabling(settings.SpeedTrainer != 0);
    SetChecked(DurationsInBarsId, settings.DurationsInBars != 0);
    SetChecked(LogarithmicId, settings.Logarithmic != 0);
    SetChecked(BeepId, settings.Beep != 0);
    _initialised = wasInitialised;
}

void OptionsDialog::SetBeatTypeEnabling()
{
    const bool bar = Checked(BeatsPerBarRadioId);
    Edit(BeatsPerBarEditId)->setEnabled(bar);
    Spin(BeatsPerBarEditId)->setEnabled(bar);
    Edit(PatternEditId)->setEnabled(Checked(CustomPatternRadioId));
    Control(StepSequencerId)->setEnabled(Checked(CustomRhythmRadioId));
}

void OptionsDialog::SetTrainerEnabling(bool enabled)
{
    for (int id : {DurationsInBarsId, LogarithmicId, BeepId})
        Control(id)->setEnabled(enabled);
    for (int id = FromEditId; id <= WarmdownEditId + 1; ++id)
        Control(id)->setEnabled(enabled);
}

void OptionsDialog::OnTrainerEditChanged(const TrainerEdit& edit)
{
    QLineEdit* line = Edit(edit.editId);
    const QString text = line->text().left(256);
    if (text.isEmpty())
        return;
    double value = LeadingNumber(text);
    const double limit = edit.percent ? 100.0 : 1000.0;
    if (value > limit) {
        value = limit;
        line->setText(FormatTrainerValue(edit, limit));
    }
    Spin(edit.editId)->SetPosition(static_cast<int>(value));
}

void OptionsDialog::OnSpinScrolled(const TrainerEdit& edit, int position)
{
    Edit(edit.editId)->setText(FormatTrainerValue(edit, position));
}

void OptionsDialog::CorrectBeatsPerBar(bool emptyIsLow)
{
    QLineEdit* line = Edit(BeatsPerBarEditId);
    const QString text = line->text().left(127);
    if (text.isEmpty() && !emptyIsLow)
        return;
    const int value = LeadingInteger(text);
    // Above the range the value becomes its top, below it its bottom, so the engine and
    // the file only ever see a bar they accept.
    if (value > MaxBeatsPerBar)
        line->setText(Format(MaxBeatsPerBar));
    else if (value < MinBeatsPerBar)
        line->setText(Format(MinBeatsPerBar));
}

void OptionsDialog::CorrectTrainerEdit(const TrainerEdit& edit, bool emptyIsLow)
{
    QLineEdit* line = Edit(edit.editId);
    const QString text = line->text().left(256);
    if (text.isEmpty() && !emptyIsLow)
        return;
    if (LeadingNumber(text) < edit.low)
        line->setText(FormatTrainerValue(edit, edit.low));
}

void OptionsDialog::OnRejectedCharacter(QWidget* edit)
{
    const int id = ControlId(edit);
    int hint = 3;
    if (id == PatternEditId)
        hint = 4;
    else if (id == FromEditId || id == ToEditId || id == StepEditId)
        hint = 5;
    ShowUnacceptableCharacter(edit, hint);
}

bool OptionsDialog::SaveToSettings(Configuration::ConfigurationData& settings)
{
    if (!_window)
        return true;
    const System::ILanguage& language = System::CurrentLanguage();

    if (Checked(SimpleBeatId))
        settings.BeatType = 0;
    else if (Checked(BeatsPerBarRadioId))
        settings.BeatType = 1;
    else if (Checked(CustomPatternRadioId))
        settings.BeatType = 2;
    else
        settings.BeatType = 3;

    if (Checked(MidiId)) {
        settings.SoundEngineType = 0;
    } else {
        AudioFilesDialog* files = _frame ? _frame->GetAudioFilesPage(0) : nullptr;
        if (files && files->HasAnyFile()) {
            settings.SoundEngineType = 1;
        } else {
            MessageBoxes::Show(_window, QMessageBox::Information, LanguageTexts::Text(language.GetMessageTitle(16)),
                               LanguageTexts::Text(language.GetMessage(19)));
            if (_frame)
                _frame->Request(IParentWindow::SelectTab, 0);
            return false;
        }
    }

    CorrectBeatsPerBar(true);
    settings.BeatsPerBar = static_cast<std::uint32_t>(LeadingInteger(Edit(BeatsPerBarEditId)->text().left(127)));

    QLineEdit* patternEdit = Edit(PatternEditId);
    const QString pattern = patternEdit->text().left(Configuration::ConfigurationData::CustomPatternCapacity - 1);
    if (settings.BeatType == 2) {
        const std::int32_t code = Core::CustomText::ValidatePlayablePattern(QtText::View(pattern));
        if (code != Core::CustomText::Ok) {
            if (_frame)
                _frame->Request(IParentWindow::SelectTab, 0);
            MessageBoxes::ShowMetronomeError(code, _window);
            patternEdit->selectAll();
            patternEdit->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    QtText::ToField(settings.CustomPattern, pattern);

    settings.CompoundTime = Checked(CompoundTimeId) ? 1 : 0;
    settings.Subdivision1 = SubdivisionValue(ControlAs<QComboBox>(Subdivision1Id)->currentIndex());
    settings.Subdivision2 = SubdivisionValue(ControlAs<QComboBox>(Subdivision2Id)->currentIndex());
    settings.SpeedTrainer = Checked(TrainerEnableId) ? 1 : 0;
    settings.DurationsInBars = Checked(DurationsInBarsId) ? 1 : 0;
    settings.Logarithmic = Checked(LogarithmicId) ? 1 : 0;
    settings.Beep = Checked(BeepId) ? 1 : 0;

    float* fields[6] = {&settings.From,     &settings.To,     &settings.Step,
                        &settings.Duration, &settings.Warmup, &settings.Warmdown};
    for (int i = 0; i < 6; ++i) {
        const TrainerEdit& edit = TrainerEdits[i];
        CorrectTrainerEdit(edit, true);
        double value = LeadingNumber(Edit(edit.editId)->text().left(256));
        const double limit = edit.percent ? 100.0 : 1000.0;
        if (value > limit)
            value = limit;
        *fields[i] = edit.percent ? static_cast<float>(value / 100.0) : static_cast<float>(value);
    }
    settings.VisualIndicator = Checked(VisualIndicatorId) ? 1 : 0;

    if (settings.PresetName[0] != u'@')
        StepSequencerGrid::CopyRhythmFields(
            settings, _stepSequencerOpened ? _stepSequencerSettings : _configuration.GetCurrentSettings());
    return true;
}

void OptionsDialog::OpenStepSequencer()
{
    _stepSequencerSettings.PresetName[0] = u'@';
    if (!_frame ||
        _frame->Request(IParentWindow::FillSettings, reinterpret_cast<std::intptr_t>(&_stepSequencerSettings)) != 0)
        return;
    const Configuration::ConfigurationData& live = _configuration.GetCurrentSettings();
    _stepSequencerSettings.Bpm = live.Bpm;
    _stepSequencerSettings.GlobalVolume = live.GlobalVolume;
    StepSequencerGrid::CopyRhythmFields(_stepSequencerSettings, live);
    _stepSequencerSettings.VisualIndicator = 0;
    _stepSequencerSettings.SpeedTrainer = Configuration::ConfigurationData::StepSequencerPreview;
    RunStepSequencer();
}

void OptionsDialog::RunStepSequencer()
{
    // Modal over this page. Save writes the rhythm into the live settings; however the
    // dialog ends, the working record comes back with the rhythm last played or saved, and
    // from now on a saved preset or OK takes its rhythm from there.
    StepSequencerDialog sequencer(_window, _configuration.GetCurrentSettings());
    sequencer.Run(_stepSequencerSettings);
    if (sequencer.HasBeenOpened())
        _stepSequencerOpened = true;
    // The velocities it saved are the Sound Settings page's volumes now.
    if (sequencer.HasBeenSaved() && _frame)
        _frame->Notify(IParentWindow::VolumesChanged, 0);
}

}  // namespace GUI
