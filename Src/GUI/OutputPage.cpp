#include "GUI/OutputPage.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

#include "Configuration/ExtraSettings.h"
#include "GUI/DialogUnits.h"
#include "GUI/LanguageTexts.h"
#include "System/ILanguage.h"
#include "System/ILog.h"

namespace GUI {

namespace {

QString Text(int number)
{
    return LanguageTexts::Text(System::CurrentLanguage().GetText(number));
}

}  // namespace

OutputPage::OutputPage(Configuration::ExtraSettings& settings) : _settings(settings) {}

QComboBox* OutputPage::OutputList() const
{
    return ControlAs<QComboBox>(OutputListId);
}

QComboBox* OutputPage::MidiTargetList() const
{
    return ControlAs<QComboBox>(MidiTargetId);
}

QSpinBox* OutputPage::ChannelBox() const
{
    return ControlAs<QSpinBox>(ChannelId);
}

QWidget* OutputPage::Create(QWidget* parent)
{
    QWidget* page = CreatePageWindow(parent, _information);
    auto* group = new QGroupBox(Text(OutputGroupText), page);
    DialogUnits::Place(group, OutputGroupId, 7, 7, 386, 40);
    auto* list = new QComboBox(page);
    DialogUnits::Place(list, OutputListId, 15, 22, 370, 14);

    const Core::OutputChoice stored = Core::ReadOutputChoice(_settings);
    _choices.clear();
    list->addItem(Text(DefaultText));
    list->addItem(Text(JackText));
    int selected = stored.jack ? JackItem : 0;
    for (const Core::OutputEntry& entry : Core::ListOutputs()) {
        Core::OutputChoice choice;
        choice.hostApi = entry.hostApi;
        choice.device = entry.device;
        _choices.push_back(choice);
        list->addItem(QStringLiteral("%1: %2 (%3)")
                          .arg(QString::fromStdString(entry.hostApi), QString::fromStdString(entry.device),
                               Text(LatencyText).arg(entry.latencyMs)));
        if (_choices.back() == stored)
            selected = list->count() - 1;
    }
    if (selected == 0 && !stored.device.empty() && !stored.jack)
        System::Log().Write(System::Warn, "The sound output \"%s: %s\" is not there: the default output is shown",
                            stored.hostApi.c_str(), stored.device.c_str());
    list->setCurrentIndex(selected);
    _shown = selected;

    auto* midiGroup = new QGroupBox(Text(MidiGroupText), page);
    DialogUnits::Place(midiGroup, MidiGroupId, 7, 55, 386, 40);
    auto* targets = new QComboBox(page);
    DialogUnits::Place(targets, MidiTargetId, 15, 70, 250, 14);
    for (int target = Core::MidiChoice::Synth; target <= Core::MidiChoice::Alsa; ++target)
        targets->addItem(Text(SynthText + target));
    auto* channelLabel = new QLabel(Text(ChannelText), page);
    DialogUnits::Place(channelLabel, ChannelLabelId, 275, 72, 50, 10);
    auto* channel = new QSpinBox(page);
    DialogUnits::Place(channel, ChannelId, 330, 70, 40, 14);
    channel->setRange(1, 16);
    const Core::MidiChoice midi = Core::ReadMidiChoice(_settings);
    targets->setCurrentIndex(midi.target);
    channel->setValue(midi.channel);
    SubClassChildControls(page, _information);
    return page;
}

void OutputPage::Destroy()
{
    DestroyPageWindow();
}

void OutputPage::Save()
{
    if (MidiTargetList() && ChannelBox()) {
        const Core::MidiChoice midi{static_cast<Core::MidiChoice::Target>(MidiTargetList()->currentIndex()),
                                    ChannelBox()->value()};
        if (!(midi == Core::ReadMidiChoice(_settings))) {
            Core::WriteMidiChoice(_settings, midi);
            _settings.Save();
            Core::ApplyMidiChoice(midi);
        }
    }
    // Left as shown, nothing changes: a chosen device that is gone (and shown as "Default") stays
    // chosen for when it comes back.
    QComboBox* list = OutputList();
    if (!list || list->currentIndex() == _shown)
        return;
    const int index = list->currentIndex();
    Core::OutputChoice choice;
    if (index == JackItem)
        choice.jack = true;
    else if (index >= FirstDeviceItem)
        choice = _choices[static_cast<std::size_t>(index - FirstDeviceItem)];
    Core::WriteOutputChoice(_settings, choice);
    if (_settings.Changed())
        _settings.Save();
    Core::ApplyOutputChoice(choice);
}

}  // namespace GUI
