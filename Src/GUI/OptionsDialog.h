#pragma once

#include "Configuration/ConfigurationData.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/TabDialog.h"

class QButtonGroup;
class QLineEdit;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

class IParentWindow;
class UpDownControl;

// The Options tab: beat type, sound source, subdivisions, compound time, the beat indicator
// switch and the speed trainer; it opens the step sequencer.
class OptionsDialog final : public ControlSubClasser, public TabDialog {
public:
    // Control identifiers.
    enum : int {
        SimpleBeatId = 1021,
        BeatsPerBarRadioId = 1022,
        CustomPatternRadioId = 1023,
        CustomRhythmRadioId = 1024,
        StepSequencerId = 1025,
        MidiId = 1027,
        AudioFilesId = 1028,
        CompoundTimeId = 1032,
        VisualIndicatorId = 1034,
        TrainerEnableId = 1036,
        LogarithmicId = 1037,
        DurationsInBarsId = 1038,
        BeepId = 1039,
        BeatsPerBarEditId = 1206,
        BeatsPerBarSpinId = 1207,
        Subdivision1Id = 1208,
        Subdivision2Id = 1209,
        PatternEditId = 1210,
        FromEditId = 1211,
        ToEditId = 1213,
        StepEditId = 1215,
        DurationEditId = 1217,
        WarmupEditId = 1219,
        WarmdownEditId = 1221,
    };
    static constexpr int TemplateId = 110;
    static constexpr int MaxBeatsPerBar = 60;
    static constexpr int MinBeatsPerBar = 2;

    explicit OptionsDialog(Configuration::IConfiguration& configuration);

    void SetFrame(IParentWindow* frame, ControlSubClasser* information);
    // Makes the page window inside `parent` and fills it from the live settings.
    QWidget* Create(QWidget* parent);
    void Destroy();

    // The controls from the live settings (also after a preset was loaded).
    void LoadFromSettings();
    // Fills `settings` from the controls; false when a check refuses (the page has shown why).
    bool SaveToSettings(Configuration::ConfigurationData& settings);

    // The step sequencer button: fills its working record from every page, then runs it.
    void OpenStepSequencer();
    // The step sequencer's working record.
    Configuration::ConfigurationData& StepSequencerSettings() { return _stepSequencerSettings; }

    void MouseOverControl(int) override {}

    // The number at the start of a trainer edit's text ("55.5%" gives 55.5; no number gives 0).
    static double LeadingNumber(const QString& text);

private:
    struct TrainerEdit {
        int editId;
        bool percent;
        double low;  // the least value the configuration accepts, in the edit's unit
    };
    static const TrainerEdit TrainerEdits[6];

    void CreateControls(QWidget* page);
    void PlaceFramesAndLabels(QWidget* page);
    void ConnectControls(QWidget* page);
    void SetBeatTypeEnabling();
    void SetTrainerEnabling(bool enabled);
    void OnTrainerEditChanged(const TrainerEdit& edit);
    void OnSpinScrolled(const TrainerEdit& edit, int position);
    void CorrectBeatsPerBar(bool emptyIsLow);
    void CorrectTrainerEdit(const TrainerEdit& edit, bool emptyIsLow);
    static QString FormatTrainerValue(const TrainerEdit& edit, double value);
    void OnRejectedCharacter(QWidget* edit);
    void RunStepSequencer();

    QLineEdit* Edit(int id) const;
    UpDownControl* Spin(int editId) const;
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);

    Configuration::IConfiguration& _configuration;
    IParentWindow* _frame = nullptr;
    ControlSubClasser* _information = nullptr;
    // The step sequencer's working record, and whether its window has been opened since the
    // program started.
    Configuration::ConfigurationData _stepSequencerSettings;
    bool _stepSequencerOpened = false;
    bool _initialised = false;
    QButtonGroup* _beatTypes = nullptr;
    QButtonGroup* _sources = nullptr;
};

}  // namespace GUI
