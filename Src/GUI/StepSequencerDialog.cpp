#include "GUI/StepSequencerDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>

#include "Core/IMetronome.h"
#include "Core/Metronome.h"
#include "GUI/AccessibleNames.h"
#include "GUI/LanguageTexts.h"
#include "GUI/MessageBoxes.h"
#include "System/ILanguage.h"

namespace GUI {

namespace {

// A drop-down list that says when its list closes up, which sends the focus back to the grid.
class ClosingComboBox final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> closed;

    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (closed)
            closed();
    }
};

// Dialog units of the dialog's font, as the dialog templates measure: a quarter of the average
// character width across, an eighth of the character height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font)
    {
        QFontMetrics metrics(font);
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        _baseX = std::max(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
        _baseY = std::max(1, metrics.height());
    }
    int X(int units) const { return units * _baseX / 4; }
    int Y(int units) const { return units * _baseY / 8; }
    QRect Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }

private:
    int _baseX;
    int _baseY;
};

QString Language(const char16_t* text)
{
    return LanguageTexts::Text(text);
}

// Information texts of the controls, by the language's information number.
int InformationNumber(int id)
{
    switch (id) {
    case StepSequencerDialog::NumBarsListId: return 48;
    case StepSequencerDialog::BeatsListId: return 49;
    case StepSequencerDialog::SubdivisionListId: return 50;
    case StepSequencerDialog::CompoundId: return 51;
    case StepSequencerDialog::DistinctId: return 52;
    case StepSequencerDialog::GridId: return 53;
    case StepSequencerDialog::ClearId: return 54;
    case StepSequencerDialog::PlayId: return 55;
    case StepSequencerDialog::SaveId: return 56;
    case StepSequencerDialog::CancelId: return 2;
    default: return -1;
    }
}

constexpr int TooManyHitsTitle = 19;
constexpr int TooManyHitsMessage = 23;
constexpr int PlaybackErrorTitle = 15;
constexpr int StopTextId = 1002;

}  // namespace

StepSequencerDialog::StepSequencerDialog(QWidget* parent, Configuration::ConfigurationData& liveSettings,
                                         Core::IMetronome* metronome)
    : QDialog(parent), _live(liveSettings), _metronome(metronome)
{
    setObjectName(QStringLiteral("StepSequencerDialog"));
    setWindowTitle(QStringLiteral("Step Sequencer"));
    setSizeGripEnabled(true);
    setMouseTracking(true);
    CreateControls();

    const DialogUnits units(font());
    resize(std::max({MinimumWidth, units.X(540), _topRowWidth}), std::max(MinimumHeight, units.Y(247)));
    setMinimumSize(MinimumWidth, MinimumHeight);

    // The cursor gets its ticks on the timer thread, handed over without waiting.
    connect(&_events, &MetronomeEvents::SubStepTick, _grid, &StepSequencerControl::OnTick, Qt::DirectConnection);
    connect(&_events, &MetronomeEvents::Failed, this, &StepSequencerDialog::OnError);

    // Coming back to the program shows the grid as it is.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && isVisible())
            _grid->Reshow();
    });
}

StepSequencerDialog::~StepSequencerDialog()
{
    StopPreview();
    RestoreChildControls(this);
    // The lists close their pop-ups as they go, after this object is gone.
    for (QComboBox* list : {_numBars, _beats, _subdivision})
        static_cast<ClosingComboBox*>(list)->closed = nullptr;
}

Core::IMetronome* StepSequencerDialog::Metronome() const
{
    return _metronome ? _metronome : &Core::Metronome::Instance();
}

void StepSequencerDialog::CreateControls()
{
    const DialogUnits units(font());
    auto label = [this](int id, const char* text, QRect place) {
        auto* widget = new QLabel(QString::fromUtf8(text), this);
        SetControlId(widget, id);
        widget->setGeometry(place);
        return widget;
    };
    auto list = [this](int id, QRect place) {
        auto* widget = new ClosingComboBox(this);
        SetControlId(widget, id);
        place.setHeight(widget->sizeHint().height());
        widget->setGeometry(place);
        widget->closed = [this] { _grid->setFocus(Qt::OtherFocusReason); };
        return widget;
    };
    auto box = [this](int id, const char* text, QRect place) {
        auto* widget = new QCheckBox(QString::fromUtf8(text), this);
        SetControlId(widget, id);
        // The template's width, or the text's when the font is wider than the template's.
        place.setHeight(std::max(place.height(), widget->sizeHint().height()));
        place.setWidth(std::max(place.width(), widget->sizeHint().width()));
        widget->setGeometry(place);
        return widget;
    };
    auto button = [this](int id, const char* text) {
        auto* widget = new QPushButton(QString::fromUtf8(text), this);
        SetControlId(widget, id);
        // Return in the grid presses nothing.
        widget->setAutoDefault(false);
        widget->setDefault(false);
        return widget;
    };

    _numBarsLabel = label(NumBarsLabelId, "Number Of Bars", units.Rect(4, 9, 57, 8));
    _numBars = list(NumBarsListId, units.Rect(65, 7, 41, 12));
    _beatsLabel = label(BeatsLabelId, "Beats Per Bar", units.Rect(111, 9, 64, 8));
    _beats = list(BeatsListId, units.Rect(177, 7, 41, 12));
    _subdivisionLabel = label(SubdivisionLabelId, "Beat Subdivision", units.Rect(226, 9, 69, 8));
    _subdivision = list(SubdivisionListId, units.Rect(298, 7, 41, 12));
    _compound = box(CompoundId, "&Compound Time", units.Rect(344, 9, 73, 10));
    _distinct = box(DistinctId, "&Display Distinct Sounds Only", units.Rect(420, 9, 113, 10));
    for (QLabel* text : {_numBarsLabel, _beatsLabel, _subdivisionLabel})
        text->setFixedHeight(std::max(text->height(), text->sizeHint().height()));
    QWidget* const row[TopRowCount] = {_numBarsLabel,     _numBars,     _beatsLabel, _beats,
                                       _subdivisionLabel, _subdivision, _compound,   _distinct};
    for (int i = 0; i < TopRowCount; ++i)
        _topRowPlaces[i] = row[i]->geometry();
    FlowTopRow();

    _grid = new StepSequencerControl(this);

    _information =
        new QLabel(QStringLiteral("Move the mouse over an input field to display information about it here"), this);
    SetControlId(_information, InformationId);
    _information->setWordWrap(true);
    _information->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = _information->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 160));
    _information->setPalette(palette);

    _clear = button(ClearId, "&Clear");
    _play = button(PlayId, "&Play");
    _save = button(SaveId, "&Save");
    _cancel = button(CancelId, "Cancel");

    ConnectControls();
}

// What the lists, the boxes and the buttons do; the grid keeps the focus.
void StepSequencerDialog::ConnectControls()
{
    connect(_numBars, &QComboBox::currentIndexChanged, this,
            [this](int index) { SettingChange(NumBarsListId, index); });
    connect(_beats, &QComboBox::currentIndexChanged, this, [this](int index) { SettingChange(BeatsListId, index); });
    connect(_subdivision, &QComboBox::currentIndexChanged, this,
            [this](int index) { SettingChange(SubdivisionListId, index); });
    connect(_clear, &QPushButton::clicked, this, [this] {
        Clear();
        _grid->setFocus(Qt::OtherFocusReason);
    });
    connect(_play, &QPushButton::clicked, this, [this] {
        Play();
        _grid->setFocus(Qt::OtherFocusReason);
    });
    connect(_save, &QPushButton::clicked, this, [this] {
        if (!Save())
            _grid->setFocus(Qt::OtherFocusReason);
    });
    connect(_cancel, &QPushButton::clicked, this, [this] { Cancel(); });
    // Toggled, not clicked: a screen reader's toggle action checks a box without a click. The
    // boxes are set from the settings with their signals blocked.
    connect(_compound, &QCheckBox::toggled, this, [this] {
        _grid->SetSubdivision(_compound->isChecked(), SubdivisionValue());
        _grid->setFocus(Qt::OtherFocusReason);
    });
    connect(_distinct, &QCheckBox::toggled, this, [this] {
        _grid->ToggleDisplayMode();
        _grid->setFocus(Qt::OtherFocusReason);
    });
}

// ---- Opening --------------------------------------------------------------------------------

void StepSequencerDialog::PrepareWorkingSettings()
{
    _working.Bpm = _live.Bpm;
    _working.GlobalVolume = _live.GlobalVolume;
    StepSequencerGrid::CopyRhythmFields(_working, _live);
    _working.VisualIndicator = 0;
    _working.SpeedTrainer = StepSequencerGrid::PreviewSpeedTrainer;
}

void StepSequencerDialog::FlowTopRow()
{
    // Each caption gets the room its text needs, and a font or a language wider than the
    // template's pushes the row to the right instead of overlapping.
    QWidget* const row[TopRowCount] = {_numBarsLabel,     _numBars,     _beatsLabel, _beats,
                                       _subdivisionLabel, _subdivision, _compound,   _distinct};
    int right = 0;
    for (int i = 0; i < TopRowCount; ++i) {
        QWidget* widget = row[i];
        QRect place = _topRowPlaces[i];
        if (qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget))
            place.setWidth(std::max(place.width(), widget->sizeHint().width()));
        if (place.x() < right + 4)
            place.moveLeft(right + 4);
        widget->setGeometry(place);
        right = place.right() + 1;
    }
    _topRowWidth = right + 7;
    if (width() < _topRowWidth)
        resize(_topRowWidth, height());
}

void StepSequencerDialog::Initialise()
{
    _opened = true;
    const System::ILanguage& language = System::CurrentLanguage();
    LanguageTexts::ApplyDialogTexts(this, DialogId, language);
    FlowTopRow();
    AccessibleNames::SetHelp(this, [](int id) {
        const int number = InformationNumber(id);
        return number < 0 ? QString() : Language(System::CurrentLanguage().GetInformation(number));
    });
    AccessibleNames::NameControls(this);

    // The lists as the working settings have them; values out of the lists' range show the
    // nearest item.
    {
        const QSignalBlocker blockBars(_numBars);
        const QSignalBlocker blockBeats(_beats);
        const QSignalBlocker blockSubdivision(_subdivision);
        _numBars->clear();
        for (int bars = 1; bars <= 4; ++bars)
            _numBars->addItem(QString::number(bars));
        _beats->clear();
        for (int beats = 2; beats <= 16; ++beats)
            _beats->addItem(QString::number(beats));
        _subdivision->clear();
        _subdivision->addItem(QStringLiteral("0"));
        for (int cells = 2; cells <= 8; ++cells)
            _subdivision->addItem(QString::number(cells));
        _numBars->setCurrentIndex(std::clamp(static_cast<int>(_working.CrNumBars) - 1, 0, 3));
        _beats->setCurrentIndex(std::clamp(static_cast<int>(_working.CrBeatsPerBar) - 2, 0, 14));
        const int displayed = static_cast<int>(std::min<std::uint32_t>(_working.DisplayedSubdiv, 8));
        _subdivision->setCurrentIndex(displayed == 0 ? 0 : displayed - 1);
    }
    {
        const QSignalBlocker blockCompound(_compound);
        const QSignalBlocker blockDistinct(_distinct);
        _compound->setChecked(_working.CrCompoundTime != 0);
        _distinct->setChecked(_working.DisplayDistinct != 0);
    }
    _play->setText(Language(language.GetControlText(PlayId)));

    SubClassChildControls(this, this);
    Layout();
    _grid->Load(_working);
    _grid->setFocus(Qt::OtherFocusReason);
}

int StepSequencerDialog::exec()
{
    Initialise();
    return QDialog::exec();
}

int StepSequencerDialog::Run(Configuration::ConfigurationData& working)
{
    _working = working;
    const int result = exec();
    working = _working;
    return result;
}

// ---- Layout ---------------------------------------------------------------------------------

void StepSequencerDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Layout();
}

void StepSequencerDialog::Layout()
{
    const int w = width();
    const int h = height();
    // The template's places, grown where a larger font needs the room: the buttons as wide and
    // high as their captions, the grid below the top row and above the buttons.
    QPushButton* const buttons[] = {_clear, _play, _save, _cancel};
    int buttonHeight = 23;
    for (QPushButton* button : buttons)
        buttonHeight = std::max(buttonHeight, button->fontMetrics().height() + 8);
    const int buttonTop = h - 11 - buttonHeight;
    int right = w - 10;
    for (int i = 3; i >= 0; --i) {
        const int buttonWidth =
            std::max(75, buttons[i]->fontMetrics().horizontalAdvance(QString(buttons[i]->text()).remove(u'&')) + 12);
        buttons[i]->setGeometry(right - buttonWidth, buttonTop, buttonWidth, buttonHeight);
        right -= buttonWidth + 3;
    }
    const int informationRight = _clear->x() - 10;
    _information->setGeometry(11, buttonTop, std::max(0, informationRight - 11), std::max(26, buttonHeight));
    int rowBottom = 0;
    for (QWidget* widget :
         {static_cast<QWidget*>(_numBarsLabel), static_cast<QWidget*>(_numBars), static_cast<QWidget*>(_compound)})
        rowBottom = std::max(rowBottom, widget->geometry().bottom() + 1);
    const int gridTop = std::max(42, rowBottom + 4);
    _grid->setGeometry(11, gridTop, std::max(0, w - 21), std::max(0, buttonTop - 9 - gridTop));
    _grid->Layout(true);
}

// ---- Commands -------------------------------------------------------------------------------

int StepSequencerDialog::SubdivisionValue() const
{
    const int index = _subdivision->currentIndex();
    return index <= 0 ? 0 : index + 1;
}

void StepSequencerDialog::SettingChange(int listId, int index)
{
    if (index < 0)
        return;
    switch (listId) {
    case BeatsListId: _grid->SetBeatsPerBar(index + 2); break;
    case NumBarsListId: _grid->SetNumBars(index + 1); break;
    case SubdivisionListId: _grid->SetSubdivision(_compound->isChecked(), index == 0 ? 0 : index + 1); break;
    default: break;
    }
}

void StepSequencerDialog::Clear()
{
    _grid->Clear();
}

bool StepSequencerDialog::WriteGrid(Configuration::ConfigurationData& settings)
{
    if (_grid->Grid().EncodeRhythm(settings) == StepSequencerGrid::EncodeTooManyHits) {
        const System::ILanguage& language = System::CurrentLanguage();
        MessageBoxes::Show(this, QMessageBox::Information, Language(language.GetMessageTitle(TooManyHitsTitle)),
                           Language(language.GetMessage(TooManyHitsMessage)));
        return false;
    }
    settings.CrCompoundTime = _compound->isChecked() ? 1 : 0;
    settings.DisplayDistinct = _distinct->isChecked() ? 1 : 0;
    settings.CrNumBars = static_cast<std::uint32_t>(_numBars->currentIndex() + 1);
    settings.CrBeatsPerBar = static_cast<std::uint32_t>(_beats->currentIndex() + 2);
    settings.DisplayedSubdiv = static_cast<std::uint32_t>(SubdivisionValue());
    // The rows' velocities are the voices' volumes.
    _grid->Grid().WriteVolumes(settings);
    return true;
}

void StepSequencerDialog::Play()
{
    const System::ILanguage& language = System::CurrentLanguage();
    Core::IMetronome* metronome = Metronome();
    if (_previewing) {
        _previewing = false;
        if (metronome && metronome->IsPlaying())
            metronome->Stop();
        if (_grid->CursorRuns())
            _grid->StopCursor();
        _play->setText(Language(language.GetControlText(PlayId)));
        return;
    }
    // The preview plays the step sequencer's timing and leaves the beat indicator alone,
    // whoever prepared the working settings.
    _working.VisualIndicator = 0;
    _working.SpeedTrainer = StepSequencerGrid::PreviewSpeedTrainer;
    if (!metronome || !WriteGrid(_working))
        return;
    if (!_grid->StartCursor(_working)) {
        _grid->StopCursor();
        return;
    }
    const std::int32_t code = _events.Start(*metronome, _working);
    if (code != 0) {
        _grid->StopCursor();
        MessageBoxes::ShowMetronomeError(code, this, &_working);
        return;
    }
    _previewing = true;
    _play->setText(Language(language.GetControlText(StopTextId)));
}

void StepSequencerDialog::StopPreview()
{
    if (_previewing) {
        if (Core::IMetronome* metronome = Metronome(); metronome && metronome->IsPlaying())
            metronome->Stop();
        _previewing = false;
        _play->setText(Language(System::CurrentLanguage().GetControlText(PlayId)));
    }
    if (_grid->CursorRuns())
        _grid->StopCursor();
}

bool StepSequencerDialog::Save()
{
    if (!WriteGrid(_live))
        return false;
    // The working settings follow, so that the Options page keeps what was saved.
    StepSequencerGrid::CopyRhythmFields(_working, _live);
    _grid->Grid().WriteVolumes(_working);
    _saved = true;
    done(1);
    return true;
}

void StepSequencerDialog::Cancel()
{
    done(1);
}

void StepSequencerDialog::reject()
{
    // Escape and the window's close button end the dialog as Cancel does.
    Cancel();
}

void StepSequencerDialog::done(int result)
{
    StopPreview();
    RestoreChildControls(this);
    LastControl = 0;
    QDialog::done(result);
}

// ---- Information line -----------------------------------------------------------------------

void StepSequencerDialog::MouseOverControl(int id)
{
    const int number = InformationNumber(id);
    _information->setText(number < 0 ? QString() : Language(System::CurrentLanguage().GetInformation(number)));
}

void StepSequencerDialog::mouseMoveEvent(QMouseEvent* event)
{
    MouseOverBackground(this, event->position().toPoint());
    QDialog::mouseMoveEvent(event);
}

// ---- Metronome events -----------------------------------------------------------------------

void StepSequencerDialog::OnError(int messageId)
{
    // The preview is over, unless the report is of an earlier one and a new preview plays.
    const Core::IMetronome* metronome = Metronome();
    if (!_previewing || (metronome && metronome->IsPlaying()))
        return;
    _previewing = false;
    if (_grid->CursorRuns())
        _grid->StopCursor();
    const System::ILanguage& language = System::CurrentLanguage();
    _play->setText(Language(language.GetControlText(PlayId)));
    MessageBoxes::Show(this, QMessageBox::Critical, Language(language.GetMessageTitle(PlaybackErrorTitle)),
                       Language(language.GetMessage(messageId)));
}

}  // namespace GUI
