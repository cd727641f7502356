#include "GUI/CoachDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTextStream>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "Configuration/ExtraSettings.h"
#include "GUI/CoachCharts.h"
#include "GUI/CoachStrip.h"
#include "GUI/CoachTexts.h"

namespace GUI {

namespace {

constexpr int CalibrationClicks = 4;
constexpr int PollMs = 10;

}  // namespace

CoachDialog::CoachDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Text(CoachTexts::Title));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    _inputs = new QComboBox(this);
    _level = new QProgressBar(this);
    _level->setRange(0, 100);
    _level->setTextVisible(false);
    _level->setAccessibleName(Text(CoachTexts::LevelLabel));
    form->addRow(Text(CoachTexts::InputLabel), _inputs);
    form->addRow(Text(CoachTexts::LevelLabel), _level);
    auto* calibration = new QHBoxLayout;
    _calibrate = new QPushButton(Text(CoachTexts::CalibrateButton), this);
    _calibrate->setToolTip(Text(CoachTexts::CalibrateHint));
    _roundTripLabel = new QLabel(Text(CoachTexts::NotCalibrated), this);
    calibration->addWidget(_calibrate);
    calibration->addWidget(_roundTripLabel, 1);
    form->addRow(calibration);
    _manual = new QSpinBox(this);
    _manual->setRange(-500, 500);
    _manual->setValue(
        static_cast<int>(Core::CoachCalibration::ManualOffsetNs(Configuration::GetExtraSettings()) / 1'000'000));
    form->addRow(Text(CoachTexts::ManualOffset), _manual);
    _muteAlternate = new QCheckBox(Text(CoachTexts::MuteAlternate), this);
    _muteAlternate->setToolTip(Text(CoachTexts::MuteAlternateHint));
    _muteAlternate->setChecked(Configuration::GetExtraSettings().Flag(MuteKey, false));
    form->addRow(_muteAlternate);
    layout->addLayout(form);
    _strip = new CoachStrip(this);
    layout->addWidget(_strip, 1);
    _charts = new CoachCharts(this);
    layout->addWidget(_charts, 2);
    _grid = new QLabel(this);
    ShowGrid(1);
    layout->addWidget(_grid);
    _summary = new QLabel(this);
    _summary->setWordWrap(true);
    layout->addWidget(_summary);
    auto* buttons = new QHBoxLayout;
    _take = new QPushButton(Text(CoachTexts::StartTake), this);
    _save = new QPushButton(Text(CoachTexts::SaveTake), this);
    _save->setEnabled(false);
    buttons->addWidget(_take);
    buttons->addStretch(1);
    buttons->addWidget(_save);
    layout->addLayout(buttons);

    connect(_calibrate, &QPushButton::clicked, this, &CoachDialog::StartCalibration);
    connect(_take, &QPushButton::clicked, this, &CoachDialog::StartOrStopTake);
    connect(_save, &QPushButton::clicked, this, &CoachDialog::SaveTake);
    connect(_inputs, &QComboBox::currentIndexChanged, this, [this] { OpenInput(); });
    connect(_manual, &QSpinBox::valueChanged, this, [](int ms) {
        Configuration::GetExtraSettings().SetNumber(Core::CoachCalibration::ManualOffsetKey, std::int64_t{ms} * 1000);
    });
    connect(_muteAlternate, &QCheckBox::toggled, this, [this](bool on) {
        Configuration::GetExtraSettings().SetFlag(MuteKey, on);
        emit MutedBarsChanged(MutesBars());
    });
    connect(&_poll, &QTimer::timeout, this, &CoachDialog::Poll);
}

CoachDialog::~CoachDialog()
{
    _poll.stop();
    _input.Close();
}

QString CoachDialog::Text(int number) const
{
    return CoachTexts::Text(number);
}

bool CoachDialog::MutesBars() const
{
    return isVisible() && _muteAlternate->isChecked();
}

// The input opens with the window and closes with it, and so do the silent bars: the coach is
// off unless chosen.
void CoachDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FillInputs();
    emit MutedBarsChanged(_muteAlternate->isChecked());
}

void CoachDialog::hideEvent(QHideEvent* event)
{
    _poll.stop();
    _input.Close();
    emit MutedBarsChanged(false);
    QDialog::hideEvent(event);
}

void CoachDialog::FillInputs()
{
    const QSignalBlocker blocker(_inputs);
    _inputs->clear();
    for (const Platform::PulseInput::Source& source : Platform::PulseInput::Sources())
        _inputs->addItem(QString::fromStdString(source.description.empty() ? source.name : source.description),
                         QString::fromStdString(source.name));
    if (_inputs->count() == 0) {
        _inputs->addItem(Text(CoachTexts::NoInput));
        _inputs->setEnabled(false);
        return;
    }
    OpenInput();
}

void CoachDialog::OpenInput()
{
    const QString name = _inputs->currentData().toString();
    _poll.stop();
    if (name.isEmpty() || !_input.Open(name.toStdString(), 48000))
        return;
    _haveRoundTrip = Core::CoachCalibration::Load(Configuration::GetExtraSettings(), name.toStdString(),
                                                  _outputName.toStdString(), _roundTripNs);
    ShowRoundTrip();
    _poll.start(PollMs);
}

void CoachDialog::ShowRoundTrip()
{
    _roundTripLabel->setText(_haveRoundTrip
                                 ? Text(CoachTexts::Calibrated).arg(static_cast<double>(_roundTripNs) / 1e6, 0, 'f', 1)
                                 : Text(CoachTexts::NotCalibrated));
}

// The capture thread's blocks, taken here through the lock-free queue, through the detector.
void CoachDialog::Poll()
{
    _input.Poll([](std::int64_t capturedNs, void* self) { static_cast<CoachDialog*>(self)->Onset(capturedNs); }, this);
    _level->setValue(static_cast<int>(std::lround(_input.Level() * 100)));
}

void CoachDialog::Onset(std::int64_t heardNs)
{
    if (_calibrating) {
        _calibrationOnsets.push_back(heardNs);
        return;
    }
    const std::int64_t hit = heardNs - (_haveRoundTrip ? _roundTripNs : 0) - std::int64_t{_manual->value()} * 1'000'000;
    if (_taking)
        _hits.push_back(hit);
    // Live: against the nearest grid position of the last beats heard, judged as a take is.
    if (_beats.empty())
        return;
    const std::vector<Core::TimingCoach::Beat> last(_beats.size() > 4 ? _beats.end() - 4 : _beats.begin(),
                                                    _beats.end());
    Core::TimingCoach::Options options;
    options.subdivisions = _subdivisions;
    for (const auto& beat : last)
        options.beatsPerBar = std::max(options.beatsPerBar, beat.beatInBar + 1);
    const Core::TimingCoach::Result scored = Core::TimingCoach::Score(last, {hit}, options);
    if (!scored.hits.empty())
        _strip->AddHit(scored.hits.front().offsetMs, scored.hits.front().silent);
}

void CoachDialog::OnBeat(qint64 heardNs, int beatInBar, int beatsPerBar, int bar, int subdivisions, bool silent)
{
    if (_calibrating) {
        // Only clicks that sound can be heard.
        if (!silent)
            _calibrationClicks.push_back(heardNs);
        if (static_cast<int>(_calibrationClicks.size()) == CalibrationClicks)
            QTimer::singleShot(400, this, &CoachDialog::FinishCalibration);
        return;
    }
    subdivisions = std::max(1, subdivisions);
    if (subdivisions != _subdivisions)
        ShowGrid(subdivisions);
    _subdivisions = subdivisions;
    _beats.push_back({heardNs, beatInBar, bar, silent});
    if (_taking) {
        _takeBeatsPerBar = std::max(_takeBeatsPerBar, beatsPerBar);
        _takeSubdivisions = std::gcd(_takeSubdivisions, subdivisions);
    } else if (_beats.size() > 8) {
        _beats.erase(_beats.begin());
    }
}

void CoachDialog::ShowGrid(int subdivisions)
{
    _grid->setText(subdivisions > 1 ? Text(CoachTexts::ScoredOnSubdivisions).arg(subdivisions)
                                    : Text(CoachTexts::ScoredOnBeats));
}

void CoachDialog::StartCalibration()
{
    // The input's timing settles within its first seconds; the round trip is measured after.
    if (_input.Running() && !_input.Settled()) {
        _roundTripLabel->setText(Text(CoachTexts::CalibrateHint));
        QTimer::singleShot(250, this, &CoachDialog::StartCalibration);
        return;
    }
    _calibrating = true;
    _calibrationClicks.clear();
    _calibrationOnsets.clear();
    _roundTripLabel->setText(Text(CoachTexts::CalibrateHint));
}

void CoachDialog::FinishCalibration()
{
    _calibrating = false;
    std::int64_t roundTrip = 0;
    if (Core::CoachCalibration::Measure(_calibrationClicks, _calibrationOnsets, roundTrip)) {
        _roundTripNs = roundTrip;
        _haveRoundTrip = true;
        Core::CoachCalibration::Store(Configuration::GetExtraSettings(),
                                      _inputs->currentData().toString().toStdString(), _outputName.toStdString(),
                                      roundTrip);
    }
    ShowRoundTrip();
}

void CoachDialog::StartOrStopTake()
{
    if (!_taking) {
        _taking = true;
        _takeOfRun = false;
        _beats.clear();
        _hits.clear();
        _takeBeatsPerBar = 1;
        _takeSubdivisions = 0;
        _strip->Clear();
        _take->setText(Text(CoachTexts::StopTake));
        return;
    }
    _taking = false;
    _take->setText(Text(CoachTexts::StartTake));
    // A take whose beats were split differently (a song's sections) is scored on the grid they share.
    Core::TimingCoach::Options options;
    options.beatsPerBar = _takeBeatsPerBar;
    options.subdivisions = std::max(1, _takeSubdivisions);
    ShowResult(Core::TimingCoach::Score(_beats, _hits, options));
    _takeOfRun = !_result.hits.empty();
}

bool CoachDialog::TakeOfRun(Configuration::PracticeTiming& timing)
{
    if (_taking)
        StartOrStopTake();
    if (!_takeOfRun)
        return false;
    _takeOfRun = false;
    timing = {
        _result.all.meanMs, _result.all.deviationMs, _result.all.driftMsPer30s, static_cast<int>(_result.hits.size()),
        _result.misses,     _result.extras};
    // The run is written once this returns; its day is shown then.
    QTimer::singleShot(0, this, &CoachDialog::ShowDays);
    return true;
}

void CoachDialog::SetPracticeLog(const Configuration::PracticeLog& log)
{
    _log = log;
    _haveLog = true;
    ShowDays();
}

// The consistency of the days the coach heard takes on, the last two weeks of them, oldest first.
void CoachDialog::ShowDays()
{
    if (!_haveLog)
        return;
    std::vector<Configuration::PracticeRun> runs;
    int skipped = 0;
    if (!_log.Load(runs, skipped))
        return;  // logged there; the chart keeps what it showed
    std::vector<std::pair<QString, double>> days;
    for (const Configuration::PracticeDay& day : Configuration::PracticeLog::TotalsPerDay(runs)) {
        if (day.timedRuns == 0)
            continue;
        days.emplace_back(QStringLiteral("%1.%2.").arg(day.day).arg(day.month), day.deviationMs);
        if (days.size() == 14)
            break;
    }
    std::reverse(days.begin(), days.end());
    _charts->SetDays(std::move(days));
}

void CoachDialog::ShowResult(const Core::TimingCoach::Result& result)
{
    _result = result;
    _charts->SetResult(result);
    ShowGrid(result.subdivisions);
    QString summary = Text(CoachTexts::Summary)
                          .arg(result.all.meanMs, 0, 'f', 1)
                          .arg(result.all.deviationMs, 0, 'f', 1)
                          .arg(result.all.driftMsPer30s, 0, 'f', 1)
                          .arg(result.misses)
                          .arg(result.extras);
    // How well the time held where the click was silent.
    if (result.silent.count > 0)
        summary += u'\n' +
            Text(CoachTexts::SilentSummary)
                .arg(result.silent.meanMs, 0, 'f', 1)
                .arg(result.silent.deviationMs, 0, 'f', 1)
                .arg(result.silent.count);
    _summary->setText(summary);
    _save->setEnabled(!result.hits.empty());
}

// One line per hit, its position named as the charts name it.
QString CoachDialog::TakeCsv(const Core::TimingCoach::Result& result)
{
    QString text = QStringLiteral("seconds,position,offset_ms,silent\n");
    const std::int64_t first = result.hits.empty() ? 0 : result.hits.front().gridNs;
    for (const auto& hit : result.hits)
        text += QString::number(static_cast<double>(hit.gridNs - first) / 1e9, 'f', 4) + ',' +
            CoachCharts::PositionName(hit.position, result.subdivisions) + ',' + QString::number(hit.offsetMs, 'f', 2) +
            ',' + (hit.silent ? '1' : '0') + '\n';
    return text;
}

// Only here does anything of a take reach the disk.
void CoachDialog::SaveTake()
{
    const QString path =
        QFileDialog::getSaveFileName(this, Text(CoachTexts::SaveTake), QString(), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        QMessageBox::warning(this, Text(CoachTexts::SaveTake), file.errorString());
        return;
    }
    QTextStream out(&file);
    out << TakeCsv(_result);
    out.flush();
    if (out.status() != QTextStream::Ok || !file.flush())
        QMessageBox::warning(this, Text(CoachTexts::SaveTake), file.errorString());
}

}  // namespace GUI
