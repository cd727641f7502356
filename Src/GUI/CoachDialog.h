#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "Configuration/PracticeLog.h"
#include "Core/TimingCoach.h"
#include "Core/TimingCoachInput.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace GUI {

class CoachCharts;
class CoachStrip;

// The timing coach: hears the player through an input of the sound server and shows how each
// hit lay against the click. Nothing listens until the window is opened, and nothing is written
// to disk unless the user saves a take; the measured round trip goes to the extras file.
//
// The metronome's beats come in through OnBeat (on this window's thread: post it from the
// timer's thread), each with the time it is heard; the input's onsets, moved back by the round
// trip, are scored against them, on the beats or on the run's subdivisions as it plays them.
//
// "Mute every other 2 bars" (kept in the extras file, off at first) asks the metronome, through
// MutedBarsChanged, to leave bars 3 and 4 of every four silent while the window is open; hits
// there are scored against the silent grid.
class CoachDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int PlayedBars = 2, SilentBars = 2;
    static constexpr const char* MuteKey = "coach.mute-alternate";

    CoachDialog(QWidget* parent = nullptr);
    ~CoachDialog() override;

    // The name the round trip is kept under for the output (the sink or device playing).
    void SetOutputName(const QString& name) { _outputName = name; }
    // Shows a take's result (after a take, and for pictures of the window).
    void ShowResult(const Core::TimingCoach::Result& result);
    // A take as it is saved: comma-separated, one line per hit.
    static QString TakeCsv(const Core::TimingCoach::Result& result);
    // The log whose days the consistency chart shows.
    void SetPracticeLog(const Configuration::PracticeLog& log);
    // As a run ends: a take going on ends with it; the timing of the take that ended during the
    // run, false when there is none.
    bool TakeOfRun(Configuration::PracticeTiming& timing);
    // Whether the metronome should leave bars silent now: the option chosen, the window open.
    bool MutesBars() const;
    CoachStrip& Strip() { return *_strip; }
    CoachCharts& Charts() { return *_charts; }

public slots:
    // A beat of the run: heard at `heardNs` (Platform::Clock), its place in the bar, the even
    // clicks the run splits it into, whether its bar is silent.
    void OnBeat(qint64 heardNs, int beatInBar, int beatsPerBar, int bar, int subdivisions, bool silent);

signals:
    void MutedBarsChanged(bool mute);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FillInputs();
    void OpenInput();
    void Poll();
    void Onset(std::int64_t heardNs);
    void StartCalibration();
    void FinishCalibration();
    void StartOrStopTake();
    void SaveTake();
    void ShowRoundTrip();
    void ShowDays();
    void ShowGrid(int subdivisions);
    QString Text(int number) const;
    Core::TimingCoachInput _input;
    QTimer _poll;
    QString _outputName = QStringLiteral("default");

    QComboBox* _inputs = nullptr;
    QProgressBar* _level = nullptr;
    QPushButton* _calibrate = nullptr;
    QLabel* _roundTripLabel = nullptr;
    QSpinBox* _manual = nullptr;
    QCheckBox* _muteAlternate = nullptr;
    QPushButton* _take = nullptr;
    QPushButton* _save = nullptr;
    QLabel* _grid = nullptr;
    QLabel* _summary = nullptr;
    CoachStrip* _strip = nullptr;
    CoachCharts* _charts = nullptr;

    std::int64_t _roundTripNs = 0;
    bool _haveRoundTrip = false;
    bool _calibrating = false;
    bool _taking = false;
    int _subdivisions = 1;  // the run's, as its last beat said
    // The take's grid: the most beats a bar had, and the subdivision all its beats share.
    int _takeBeatsPerBar = 1;
    int _takeSubdivisions = 0;
    std::vector<std::int64_t> _calibrationClicks, _calibrationOnsets;
    std::vector<Core::TimingCoach::Beat> _beats;
    std::vector<std::int64_t> _hits;
    Core::TimingCoach::Result _result;
    bool _takeOfRun = false;  // a take ended that no run has taken into the log yet
    Configuration::PracticeLog _log;
    bool _haveLog = false;
};

}  // namespace GUI
