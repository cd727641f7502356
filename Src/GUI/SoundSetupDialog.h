#pragma once

#include <QString>

#include "Configuration/ConfigurationData.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/TabDialog.h"
#include "GUI/VisualColourControl.h"

class QComboBox;
class QSlider;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

class IParentWindow;

// The Sound Settings tab: for each of the twelve voices its instrument, volume, and the size
// and colour of its disc in the beat indicator, with a swatch showing that disc.
class SoundSetupDialog final : public ControlSubClasser, public TabDialog {
public:
    static constexpr int NumVoices = Configuration::ConfigurationData::NumVoices;
    static constexpr int FirstInstrumentId = 1230;
    static constexpr int FirstVolumeId = 1242;
    static constexpr int FirstSizeId = 1254;
    static constexpr int FirstColourId = 1266;
    static constexpr int FirstSwatchId = 1278;
    static constexpr int TemplateId = 112;
    // The group box and its four column headings, so that language files can name them.
    static constexpr int GroupId = 1096;
    enum ListKind : int { MidiNames = 0, AudioFileNames = 1 };

    explicit SoundSetupDialog(Configuration::IConfiguration& configuration);

    void SetFrame(IParentWindow* frame, ControlSubClasser* information);
    QWidget* Create(QWidget* parent);
    void Destroy();

    // Refills the instrument lists and selects the live settings' instruments in them.
    void ShowMidiInstruments();
    void ShowAudioFiles(const QString (&paths)[NumVoices]);
    // The volume sliders from the live settings (the step sequencer saved its velocities).
    void ShowVolumes();
    // Everything again from the live settings (a preset was loaded).
    void Reload();
    // Instruments, volumes, sizes and colours into `settings`; never refuses.
    void SaveToSettings(Configuration::ConfigurationData& settings);

    ListKind Kind() const { return _kind; }
    VisualColourControl& Swatch(int voice) { return _swatches[voice]; }
    QComboBox* InstrumentList(int voice) const;

    // The name an audio slot shows: what follows the last path separator, or the whole path
    // when it has none.
    static QString FileName(const QString& path);

    void MouseOverControl(int) override {}

private:
    // Fills the instrument lists with the MIDI instruments or with the settings' audio files.
    void FillNames(ListKind kind, const Configuration::ConfigurationData& settings);
    void FillMidiNames();
    void FillFileNames(const QString (&paths)[NumVoices]);
    void SelectInstruments();
    void SetSliders();
    QSlider* Slider(int id) const;
    void OnSliderMoved(int id, int position);

    VisualColourControl _swatches[NumVoices];
    Configuration::IConfiguration& _configuration;
    IParentWindow* _frame = nullptr;
    ControlSubClasser* _information = nullptr;
    ListKind _kind = MidiNames;
    // The source the live settings' instruments belong to. The record holds one set of
    // instruments; when OK switches the source, the old source's choices are kept here for the
    // rest of the session, so that switching back finds them again instead of the first items.
    ListKind _liveKind = MidiNames;
    std::uint32_t _kept[2][NumVoices] = {};
    bool _hasKept[2] = {false, false};
};

}  // namespace GUI
