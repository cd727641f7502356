#pragma once

#include <QDialog>
#include <cstdint>

#include "Configuration/ConfigurationData.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/MetronomeEvents.h"
#include "GUI/StepSequencerControl.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace Core {
class IMetronome;
}

namespace GUI {

// The resizable dialog in which a custom drum rhythm is drawn: lists for bars, beats per bar
// and cells per beat, compound time and distinct-sounds switches, the grid window, an
// information line and the Clear, Play, Save and Cancel buttons.
//
// It works on a settings record of its own, the working settings, which the Options page fills
// before running it (PrepareWorkingSettings gives it the live fields and the preview marks).
// Play previews the rhythm through the program's one metronome with the working settings while
// a cursor runs over the grid; Save writes the rhythm into the live settings and ends the
// dialog. Every way of closing it stops the preview.
//
// Use from the Options page:
//     StepSequencerDialog dialog(page, configuration.GetCurrentSettings());
//     dialog.WorkingSettings() = <the settings of all pages>;
//     dialog.PrepareWorkingSettings();
//     dialog.exec();
//     if (dialog.HasBeenOpened()) ... take the custom rhythm fields of dialog.WorkingSettings()
// or, with a working record the page keeps itself, dialog.Run(record).
class StepSequencerDialog final : public QDialog, public ControlSubClasser {
    Q_OBJECT
public:
    static constexpr int DialogId = 103;
    // Control identifiers.
    static constexpr int NumBarsLabelId = 1080;
    static constexpr int NumBarsListId = 1023;
    static constexpr int BeatsLabelId = 1081;
    static constexpr int BeatsListId = 1022;
    static constexpr int SubdivisionLabelId = 1030;
    static constexpr int SubdivisionListId = 1208;
    static constexpr int CompoundId = 1084;
    static constexpr int DistinctId = 1085;
    static constexpr int GridId = StepSequencerControl::ControlId;
    static constexpr int InformationId = 1073;
    static constexpr int ClearId = 1062;
    static constexpr int PlayId = 1082;
    static constexpr int SaveId = 1083;
    static constexpr int CancelId = 1071;
    static constexpr int MinimumWidth = 730;
    static constexpr int MinimumHeight = 400;

    // `liveSettings` is the record Save writes into (the configuration's current settings).
    // Without a metronome the dialog previews through the program's one metronome.
    StepSequencerDialog(QWidget* parent, Configuration::ConfigurationData& liveSettings,
                        Core::IMetronome* metronome = nullptr);
    ~StepSequencerDialog() override;

    // The settings the preview plays and the grid is loaded from.
    Configuration::ConfigurationData& WorkingSettings() { return _working; }
    // Takes tempo, volume and the custom rhythm fields from the live settings and marks the
    // working settings as a preview: no visual indicator, the step sequencer's timing.
    void PrepareWorkingSettings();
    // True once the dialog has been opened: the working settings then hold its rhythm.
    bool HasBeenOpened() const { return _opened; }
    // True once Save wrote the rhythm and the rows' velocities (the voices' volumes) into the
    // live settings.
    bool HasBeenSaved() const { return _saved; }
    bool Previewing() const { return _previewing; }

    // Opens the dialog modally; ends with 1 however it is closed.
    int exec() override;
    // Runs the dialog modally on a working record kept by the caller (the Options page's
    // preview record): the dialog works on its own copy and hands it back when it ends, with
    // the rhythm that was last played or saved.
    int Run(Configuration::ConfigurationData& working);
    // What opening does before the dialog shows: texts, lists, check boxes, the grid. (exec
    // calls it; tests call it and show the dialog themselves.)
    void Initialise();

    void MouseOverControl(int id) override;

    // The buttons' commands.
    void Clear();
    void Play();
    bool Save();
    void Cancel();

    StepSequencerControl& GridWindow() { return *_grid; }
    QComboBox* NumBarsList() const { return _numBars; }
    QComboBox* BeatsList() const { return _beats; }
    QComboBox* SubdivisionList() const { return _subdivision; }
    QCheckBox* CompoundBox() const { return _compound; }
    QCheckBox* DistinctBox() const { return _distinct; }
    QLabel* InformationLine() const { return _information; }
    QPushButton* PlayButton() const { return _play; }
    QPushButton* SaveButton() const { return _save; }
    QPushButton* CancelButton() const { return _cancel; }
    QPushButton* ClearButton() const { return _clear; }

    void done(int result) override;
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    void FlowTopRow();
    void Layout();
    void SettingChange(int listId, int index);
    // Writes the grid and the lists into a settings record; false (after the message) when
    // the rhythm has too many hits.
    bool WriteGrid(Configuration::ConfigurationData& settings);
    void StopPreview();
    // A click failed and the metronome stopped itself.
    void OnError(int messageId);
    int SubdivisionValue() const;
    Core::IMetronome* Metronome() const;

    Configuration::ConfigurationData& _live;
    Core::IMetronome* _metronome;
    Configuration::ConfigurationData _working;
    StepSequencerControl* _grid = nullptr;
    bool _opened = false;
    bool _saved = false;
    bool _previewing = false;
    int _topRowWidth = 0;  // the dialog width that shows the whole top row
    static constexpr int TopRowCount = 8;
    QRect _topRowPlaces[TopRowCount];  // the top row's places in the template
    // What the metronome reports while the preview plays.
    MetronomeEvents _events;

    QLabel* _numBarsLabel = nullptr;
    QComboBox* _numBars = nullptr;
    QLabel* _beatsLabel = nullptr;
    QComboBox* _beats = nullptr;
    QLabel* _subdivisionLabel = nullptr;
    QComboBox* _subdivision = nullptr;
    QCheckBox* _compound = nullptr;
    QCheckBox* _distinct = nullptr;
    QLabel* _information = nullptr;
    QPushButton* _clear = nullptr;
    QPushButton* _play = nullptr;
    QPushButton* _save = nullptr;
    QPushButton* _cancel = nullptr;
};

}  // namespace GUI
