#include "GUI/CountInDialog.h"
#include "GUI/DialogButtons.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Configuration/ExtraSettings.h"
#include "Core/CountIn.h"
#include "Core/HeardTime.h"
#include "Core/IMetronome.h"
#include "GUI/LanguageTexts.h"
#include "GUI/PracticeTexts.h"
#include "System/ILanguage.h"
#include "System/ILog.h"

namespace GUI {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

constexpr int FirstBeatsRow = 3;

}  // namespace

int CountInDialog::Row(const Core::CountIn& countIn)
{
    switch (countIn.length) {
    case Core::CountIn::Length::Bars: return countIn.amount >= 2 ? 2 : 1;
    case Core::CountIn::Length::Beats: return FirstBeatsRow - 1 + countIn.Beats(0);
    default: return 0;
    }
}

void CountInDialog::FromRow(int row, Core::CountIn& countIn)
{
    if (row <= 0) {
        countIn.length = Core::CountIn::Length::Off;
        countIn.amount = 1;
    } else if (row < FirstBeatsRow) {
        countIn.length = Core::CountIn::Length::Bars;
        countIn.amount = row;
    } else {
        countIn.length = Core::CountIn::Length::Beats;
        countIn.amount = row - FirstBeatsRow + 1;
    }
}

void CountInDialog::Apply(const Configuration::ExtraSettings& extras, Core::IMetronome& metronome)
{
    metronome.SetCountIn(Core::CountIn::Read(extras));
    const int largest = Core::HeardTime::LargestOffsetMs;
    Core::HeardTime::SetVisualOffsetMs(static_cast<int>(extras.Number(LatencyKey, 0, -largest, largest)));
}

CountInDialog::CountInDialog(Core::IMetronome& metronome, Configuration::ExtraSettings& extras, QWidget* parent)
    : QDialog(parent), _metronome(metronome), _extras(extras)
{
    setObjectName(QStringLiteral("CountInDialog"));
    setWindowTitle(Text(PracticeTexts::CountInTitle));
    const Core::CountIn countIn = Core::CountIn::Read(extras);

    auto* countInGroup = new QGroupBox(Text(PracticeTexts::CountInGroup), this);
    auto* countInForm = new QFormLayout(countInGroup);
    _length = new QComboBox(countInGroup);
    _length->setObjectName(QStringLiteral("CountInLength"));
    _length->addItem(Text(PracticeTexts::Off));
    _length->addItem(Text(PracticeTexts::OneBar));
    _length->addItem(Text(PracticeTexts::TwoBars));
    _length->addItem(Text(PracticeTexts::OneBeat));
    for (int beats = 2; beats <= Core::CountIn::MaxBeats; ++beats)
        _length->addItem(Text(PracticeTexts::Beats).arg(beats));
    _length->setCurrentIndex(Row(countIn));
    countInForm->addRow(Text(PracticeTexts::CountInLength), _length);

    _sound = new QComboBox(countInGroup);
    _sound->setObjectName(QStringLiteral("CountInSound"));
    LanguageTexts::FillInstrumentList(_sound, System::CurrentLanguage());
    _sound->setCurrentIndex(static_cast<int>(countIn.instrument));
    countInForm->addRow(Text(PracticeTexts::Sound), _sound);

    _volume = new QSpinBox(countInGroup);
    _volume->setObjectName(QStringLiteral("CountInVolume"));
    _volume->setRange(0, 127);
    _volume->setValue(static_cast<int>(countIn.volume));
    countInForm->addRow(Text(PracticeTexts::Volume), _volume);

    auto* latencyGroup = new QGroupBox(Text(PracticeTexts::LatencyGroup), this);
    auto* latencyForm = new QFormLayout(latencyGroup);
    _latency = new QSpinBox(latencyGroup);
    _latency->setObjectName(QStringLiteral("VisualLatency"));
    const int largest = Core::HeardTime::LargestOffsetMs;
    _latency->setRange(-largest, largest);
    _latency->setSingleStep(5);
    _latency->setSuffix(QStringLiteral(" ms"));
    _latency->setValue(static_cast<int>(extras.Number(LatencyKey, 0, -largest, largest)));
    latencyForm->addRow(Text(PracticeTexts::LatencyLabel), _latency);

    auto* buttons = DialogButtons::Box(this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countInGroup);
    layout->addWidget(latencyGroup);
    layout->addWidget(buttons);
    _length->setFocus();
}

void CountInDialog::accept()
{
    Core::CountIn countIn;
    FromRow(_length->currentIndex(), countIn);
    countIn.instrument = static_cast<std::uint32_t>(_sound->currentIndex() < 0 ? 0 : _sound->currentIndex());
    countIn.volume = static_cast<std::uint32_t>(_volume->value());
    countIn.Write(_extras);
    _extras.SetNumber(LatencyKey, _latency->value());
    // Kept at once: a crash later would otherwise lose what was just set.
    if (!_extras.Save())
        System::Log().Write(System::Error, "The count-in and latency settings could not be saved");
    Apply(_extras, _metronome);
    QDialog::accept();
}

}  // namespace GUI
