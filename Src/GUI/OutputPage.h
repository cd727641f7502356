#pragma once

#include <vector>

#include "Core/OutputSettings.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/TabDialog.h"

class QComboBox;
class QSpinBox;

namespace Configuration {
class ExtraSettings;
}

namespace GUI {

// The Output tab: which output plays ("Default" first, the JACK client, then what the sound system
// offers, by host API and device, with the latency), and where the MIDI engine's notes go (the
// built-in synthesizer, the JACK MIDI port, an ALSA sequencer port) on which channel. Kept in the second settings file,
// never in Ticova.conf.
class OutputPage final : public ControlSubClasser, public TabDialog {
public:
    // Control identifiers.
    enum : int {
        OutputGroupId = 1400,
        OutputListId = 1401,
        MidiGroupId = 1402,
        MidiTargetId = 1403,
        ChannelLabelId = 1404,
        ChannelId = 1405,
    };
    // The page's texts in the language's text table, in one place so that they can be moved.
    enum Texts : int {
        TabText = 73,
        OutputGroupText = 74,
        DefaultText = 75,
        LatencyText = 76,  // "%1 ms latency"
        JackText = 77,
        MidiGroupText = 78,
        SynthText = 79,  // the MIDI targets' names follow in their order
        ChannelText = 82,
    };

    // The list's first sound device, after "Default".
    static constexpr int JackItem = 1;
    static constexpr int FirstDeviceItem = 2;

    explicit OutputPage(Configuration::ExtraSettings& settings);

    void SetFrame(ControlSubClasser* information) { _information = information; }
    QWidget* Create(QWidget* parent);
    void Destroy();
    // The choice on the page into the settings and to the output; the settings are saved.
    void Save();

    QComboBox* OutputList() const;
    QComboBox* MidiTargetList() const;
    QSpinBox* ChannelBox() const;
    void MouseOverControl(int) override {}

private:
    Configuration::ExtraSettings& _settings;
    ControlSubClasser* _information = nullptr;
    // What each list item stands for, after "Default".
    std::vector<Core::OutputChoice> _choices;
    int _shown = 0;
};

}  // namespace GUI
