#include "GUI/SoundSetupDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <algorithm>
#include <iterator>

#include "Configuration/IConfiguration.h"
#include "GUI/DialogUnits.h"
#include "GUI/LanguageTexts.h"
#include "GUI/Model/VoiceVolume.h"
#include "GUI/QtText.h"
#include "System/ILanguage.h"

namespace GUI {

SoundSetupDialog::SoundSetupDialog(Configuration::IConfiguration& configuration) : _configuration(configuration) {}

void SoundSetupDialog::SetFrame(IParentWindow* frame, ControlSubClasser* information)
{
    _frame = frame;
    _information = information;
}

QString SoundSetupDialog::FileName(const QString& path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return separator < 0 ? path : path.mid(separator + 1);
}

QComboBox* SoundSetupDialog::InstrumentList(int voice) const
{
    return ControlAs<QComboBox>(FirstInstrumentId + voice);
}

QSlider* SoundSetupDialog::Slider(int id) const
{
    return ControlAs<QSlider>(id);
}

QWidget* SoundSetupDialog::Create(QWidget* parent)
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    _kind = settings.SoundEngineType == 0 ? MidiNames : AudioFileNames;
    _liveKind = _kind;
    QWidget* page = CreatePageWindow(parent, _information);

    for (int i = 0; i < NumVoices; ++i) {
        auto* list = new QComboBox(page);
        DialogUnits::Place(list, FirstInstrumentId + i, 27, 29 + 16 * i, 119, 13);
        list->setMaxVisibleItems(12);
        const int sliderY = 31 + 16 * i;
        const int ids[3] = {FirstVolumeId + i, FirstSizeId + i, FirstColourId + i};
        const int xs[3] = {153, 236, 305};
        const int widths[3] = {74, 60, 60};
        for (int k = 0; k < 3; ++k) {
            auto* slider = new QSlider(Qt::Horizontal, page);
            // Row 11's size and colour sliders sit at 192, not 191, in the layout.
            const int y = (i == 10 && k > 0) ? 192 : sliderY;
            DialogUnits::Place(slider, ids[k], xs[k], y, widths[k], 12);
            slider->setTickPosition(QSlider::NoTicks);
            const int id = ids[k];
            QObject::connect(slider, &QSlider::valueChanged, page,
                             [this, id](int position) { OnSliderMoved(id, position); });
        }
        auto* number = new QLabel(QString::number(i + 1), page);
        DialogUnits::Place(number, 0, 15, 32 + 16 * i, 10, 8);
    }
    auto* group = new QGroupBox(QStringLiteral("Sound Setup"), page);
    DialogUnits::Place(group, GroupId, 7, 7, 386, 220);
    group->lower();
    struct Heading {
        int id;
        const char* text;
        int x, w;
    };
    const Heading headings[] = {{GroupId + 1, "Sound", 27, 119},
                                {GroupId + 2, "Volume", 153, 74},
                                {GroupId + 3, "Visual Size", 236, 60},
                                {GroupId + 4, "Visual Colour", 303, 64}};
    for (const Heading& heading : headings) {
        auto* label = new QLabel(QString::fromUtf8(heading.text), page);
        DialogUnits::Place(label, heading.id, heading.x, 16, heading.w, 8);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    LanguageTexts::ApplyDialogTexts(page, TemplateId, System::CurrentLanguage());

    FillNames(_kind, settings);
    for (int i = 0; i < NumVoices; ++i) {
        Slider(FirstVolumeId + i)->setRange(0, VoiceVolume::Maximum);
        Slider(FirstVolumeId + i)->setPageStep(VoiceVolume::Step);
        Slider(FirstSizeId + i)->setRange(0, 7);
        Slider(FirstColourId + i)->setRange(0, 11);
    }
    SelectInstruments();
    SetSliders();
    // The swatches' places were drawn in the pixels of a 6 x 13 dialog font: x 555 and
    // 47 + 26 i down. They go through the page's conversion to sit beside the sliders.
    for (int i = 0; i < NumVoices; ++i) {
        const int x = 555 * DialogUnits::BaseX() / 6;
        const int y = (47 + 26 * i) * DialogUnits::BaseY() / 13;
        _swatches[i].Initialise(page, FirstSwatchId + i, x, y, static_cast<int>(settings.Size[i]),
                                static_cast<int>(settings.Colour[i]));
    }
    SubClassChildControls(page, _information);
    return page;
}

void SoundSetupDialog::Destroy()
{
    DestroyPageWindow();
}

void SoundSetupDialog::FillNames(ListKind kind, const Configuration::ConfigurationData& settings)
{
    if (kind == MidiNames) {
        FillMidiNames();
        return;
    }
    QString paths[NumVoices];
    for (int i = 0; i < NumVoices; ++i)
        paths[i] = QtText::FromField(settings.File[i]);
    FillFileNames(paths);
}

void SoundSetupDialog::FillMidiNames()
{
    for (int i = 0; i < NumVoices; ++i) {
        QComboBox* list = InstrumentList(i);
        list->setUpdatesEnabled(false);
        list->clear();
        LanguageTexts::FillInstrumentList(list, System::CurrentLanguage());
        list->setUpdatesEnabled(true);
    }
}

void SoundSetupDialog::FillFileNames(const QString (&paths)[NumVoices])
{
    // Item k always stands for audio slot k + 1, empty or not.
    for (int i = 0; i < NumVoices; ++i) {
        QComboBox* list = InstrumentList(i);
        list->setUpdatesEnabled(false);
        list->clear();
        for (const QString& path : paths)
            list->addItem(FileName(path));
        list->setUpdatesEnabled(true);
    }
}

void SoundSetupDialog::SelectInstruments()
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    const std::uint32_t* instruments = _kind != _liveKind && _hasKept[_kind] ? _kept[_kind] : settings.Instrument;
    const int count = InstrumentList(0)->count();
    for (int i = 0; i < NumVoices; ++i) {
        const std::uint32_t instrument = instruments[i];
        InstrumentList(i)->setCurrentIndex(instrument < static_cast<std::uint32_t>(count) ? static_cast<int>(instrument)
                                                                                          : 0);
    }
}

void SoundSetupDialog::ShowVolumes()
{
    if (!_window)
        return;
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    for (int i = 0; i < NumVoices; ++i)
        Slider(FirstVolumeId + i)->setValue(static_cast<int>(VoiceVolume::Clamped(settings.Volume[i])));
}

void SoundSetupDialog::SetSliders()
{
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    ShowVolumes();
    for (int i = 0; i < NumVoices; ++i) {
        Slider(FirstSizeId + i)->setValue(static_cast<int>(settings.Size[i]));
        Slider(FirstColourId + i)->setValue(static_cast<int>(settings.Colour[i]));
    }
}

void SoundSetupDialog::OnSliderMoved(int id, int position)
{
    if (id >= FirstSizeId && id < FirstSizeId + NumVoices)
        _swatches[id - FirstSizeId].SetSize(position);
    else if (id >= FirstColourId && id < FirstColourId + NumVoices)
        _swatches[id - FirstColourId].SetColour(position);
}

void SoundSetupDialog::ShowMidiInstruments()
{
    if (!_window)
        return;
    FillMidiNames();
    _kind = MidiNames;
    SelectInstruments();
}

void SoundSetupDialog::ShowAudioFiles(const QString (&paths)[NumVoices])
{
    if (!_window)
        return;
    FillFileNames(paths);
    _kind = AudioFileNames;
    SelectInstruments();
}

void SoundSetupDialog::Reload()
{
    if (!_window)
        return;
    const Configuration::ConfigurationData& settings = _configuration.GetCurrentSettings();
    const ListKind live = settings.SoundEngineType == 0 ? MidiNames : AudioFileNames;
    if (live == AudioFileNames || live != _kind) {
        FillNames(live, settings);
        _kind = live;
    }
    _liveKind = live;
    SelectInstruments();
    SetSliders();
    for (int i = 0; i < NumVoices; ++i) {
        _swatches[i].SetSize(static_cast<int>(settings.Size[i]));
        _swatches[i].SetColour(static_cast<int>(settings.Colour[i]));
    }
}

void SoundSetupDialog::SaveToSettings(Configuration::ConfigurationData& settings)
{
    if (!_window)
        return;
    if (_kind != _liveKind) {
        std::copy(std::begin(settings.Instrument), std::end(settings.Instrument), _kept[_liveKind]);
        _hasKept[_liveKind] = true;
    }
    for (int i = 0; i < NumVoices; ++i) {
        const int selected = InstrumentList(i)->currentIndex();
        settings.Instrument[i] = selected < 0 ? 0u : static_cast<std::uint32_t>(selected);
    }
    for (int i = 0; i < NumVoices; ++i) {
        settings.Volume[i] = VoiceVolume::Clamped(Slider(FirstVolumeId + i)->value());
        settings.Size[i] = static_cast<std::uint32_t>(Slider(FirstSizeId + i)->value());
        settings.Colour[i] = static_cast<std::uint32_t>(Slider(FirstColourId + i)->value());
    }
}

}  // namespace GUI
