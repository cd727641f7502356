#include "GUI/StepSequencerControl.h"

#include <algorithm>

#include "Configuration/ConfigurationData.h"
#include "Core/HeardTime.h"
#include "Core/SettingsRange.h"
#include "System/ILog.h"

// The step sequencer's playback cursor: a thread of its own moves it a step at each tick heard,
// over the grid's image, and keeps it in view.
namespace GUI {

void StepSequencerControl::ComputeCursorGeometry(const Configuration::ConfigurationData* settings)
{
    if (settings) {
        // As many ticks per column as the step sequencer's timer gives each step.
        const std::uint32_t bpm = Core::SettingsRange::Bpm(*settings);
        _stepsPerColumn = (Core::SettingsRange::CrSubdivision(*settings) <= 2 ? 4 : 0) +
            (bpm < 50        ? 16
                 : bpm < 100 ? 12
                 : bpm < 200 ? 8
                             : 4);
    }
    const int steps = std::max(1, _stepsPerColumn);
    _cursorHeight = std::max(0, ViewHeight() - HeaderHeight);
    _pixelsPerStep = static_cast<float>(_columnWidth) / static_cast<float>(steps);
    const int cells = _grid.CellsPerBeat() != 0 ? _grid.CellsPerBeat() : 1;
    _totalSteps = steps * _grid.TotalBeats() * cells / (_grid.CompoundTime() ? 3 : 1);
    // A new column width puts the cursor where its step now lies.
    if (!settings && _stepCounter >= 0)
        _cursorX = static_cast<float>(FirstX()) + static_cast<float>(_stepCounter) * _pixelsPerStep;
}

bool StepSequencerControl::StartCursor(const Configuration::ConfigurationData& settings)
{
    if (CursorRuns())
        StopCursor();
    {
        std::lock_guard<std::mutex> lock(_lock);
        _stepCounter = -1;
        ComputeCursorGeometry(&settings);
        _cursorX = static_cast<float>(FirstX()) - _pixelsPerStep;
        _cursorFlags.store(CursorRunning | CursorFirstFrame, std::memory_order_release);
    }
    _frames.store(0, std::memory_order_release);
    _framePending.store(false, std::memory_order_release);
    // Ticks counted before the thread gets going are its to show.
    const std::uint32_t seen = _ticks.Read().Count();
    if (!_cursorThread.Start([this, seen] { RunCursor(seen); })) {
        _cursorFlags.store(0, std::memory_order_release);
        System::ReportThreadStartError(_cursorThread.StartError());
        return false;
    }
    return true;
}

void StepSequencerControl::StopCursor()
{
    _cursorFlags.fetch_and(~CursorRunning, std::memory_order_acq_rel);
    _ticks.Wake();
    _cursorThread.Join();
    _cursorFlags.store(0, std::memory_order_release);
    // The grid image never holds the cursor: showing it takes the cursor away.
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, std::max(0, ViewHeight()));
}

void StepSequencerControl::OnTick(Core::Moment heardAt) noexcept
{
    // Timer thread: the tick joins the latest ones, which are handed over whole.
    _ticksWritten.Push({-1, heardAt});
    _ticks.Write(_ticksWritten);
}

void StepSequencerControl::RunCursor(std::uint32_t seen)
{
    const auto running = [this] { return (_cursorFlags.load(std::memory_order_acquire) & CursorRunning) != 0; };
    for (std::uint32_t version = _ticks.Version(); running(); version = _ticks.Version()) {
        const Core::BeatHandOver ticks = _ticks.Read();
        if (ticks.Count() == seen) {
            _ticks.WaitForNewer(version);
            continue;
        }
        // Each step is shown when it is heard; a thread that fell far behind catches up at once.
        while (seen != ticks.Count()) {
            ++seen;
            if (!Core::HeardTime::WaitToShow(_ticks, ticks.At(seen).heardAt, running))
                return;
            CursorFrame();
        }
    }
}

void StepSequencerControl::CursorFrame()
{
    {
        std::lock_guard<std::mutex> lock(_lock);
        const int flags = _cursorFlags.load(std::memory_order_acquire);
        if (!(flags & CursorRunning))
            return;
        if (flags & CursorFirstFrame) {
            CopyGridToOverlayLocked();
            _cursorFlags.fetch_and(~CursorFirstFrame, std::memory_order_acq_rel);
        } else {
            InvertCursorLocked();
        }
        if (++_stepCounter < _totalSteps) {
            _cursorX += _pixelsPerStep;
        } else {
            _stepCounter = 0;
            _cursorX = static_cast<float>(FirstX());
        }
        // Keep the cursor in view: a jump ahead when it leaves on the right, back to the start
        // when it comes round again.
        if (_cursorX > static_cast<float>(_scrollPosition + _clientWidth))
            SetScrollPositionLocked(_scrollPosition + ScrollSlack);
        else if (_cursorX < static_cast<float>(_scrollPosition))
            SetScrollPositionLocked(0);
        InvertCursorLocked();
    }
    _frames.fetch_add(1, std::memory_order_acq_rel);
    if (!_framePending.exchange(true, std::memory_order_acq_rel))
        QMetaObject::invokeMethod(
            this, [this] { ShowCursorFrame(); }, Qt::QueuedConnection);
}

void StepSequencerControl::ShowCursorFrame()
{
    _framePending.store(false, std::memory_order_release);
    UpdateScrollBar();
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, std::max(0, ViewHeight()));
}

float StepSequencerControl::CursorX() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _cursorX;
}

int StepSequencerControl::StepCounter() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _stepCounter;
}

int StepSequencerControl::TotalSteps() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _totalSteps;
}

int StepSequencerControl::StepsPerColumn() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _stepsPerColumn;
}

}  // namespace GUI
