#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Core/BeatHandOver.h"
#include "GUI/Model/PixelImage.h"
#include "GUI/Model/StepSequencerGrid.h"
#include "GUI/Model/StepSequencerPainter.h"
#include "Platform/LatestValue.h"
#include "Platform/Thread.h"

class QScrollBar;

namespace Configuration {
class ConfigurationData;
}

namespace GUI {

// The step sequencer's grid window: names on the left, beat numbers and the start marker along
// the top, one row per voice and one column per step. The whole grid is drawn into an
// off-screen image and the visible part is shown in one copy; a scroll bar moves the view when
// the columns do not fit. Mouse and keys edit the grid model. The drawing is the painter's
// (StepSequencerPainter); this window lays out, scrolls, edits and draws the texts.
//
// While the dialog previews the rhythm, a thread moves a playback cursor across the grid, one
// sub-step per metronome tick, showing each position when its click is heard (one output
// latency after the tick). That thread and the window's own thread share the images, the
// scroll position and the cursor state under one lock; the window thread shows each frame.
class StepSequencerControl final : public QWidget {
    Q_OBJECT
public:
    static constexpr int ControlId = 1025;
    // Geometry in image coordinates (window x = image x - scroll position): the painter's.
    static constexpr int NameColumnWidth = StepSequencerPainter::NameColumnWidth;
    static constexpr int HeaderHeight = StepSequencerPainter::HeaderHeight;
    static constexpr int FirstColumnX = StepSequencerPainter::FirstColumnX;
    static constexpr int NarrowestColumn = 16;
    static constexpr int WidestScrolledColumn = 20;
    static constexpr int ScrollSlack = 200;  // the scroll range ends this far past the last column
    static constexpr int ScrollPage = 40;
    static constexpr int NeededColumnWidth = 20;  // image width per column

    // Repaint modes of the next paint.
    static constexpr int RedrawRegion = 0;
    static constexpr int RedrawAll = 2;
    static constexpr int CopyOnly = 3;

    // Cursor flags.
    static constexpr int CursorRunning = 1;
    static constexpr int CursorFirstFrame = 2;

    // Scroll request codes.
    enum ScrollRequest : int {
        LineLeft = 0,
        LineRight = 1,
        PageLeft = 2,
        PageRight = 3,
        ThumbPosition = 4,
        ThumbTrack = 5,
        PixelLeft = 9,
        PixelRight = 10,
    };

    explicit StepSequencerControl(QWidget* parent = nullptr);
    ~StepSequencerControl() override;

    // Takes the grid from the settings (the dialog's working settings), fits the names and lays
    // the window out.
    void Load(const Configuration::ConfigurationData& settings);
    // Sizes the images, rows and columns for the window; `resized` reads the new client size.
    void Layout(bool resized);
    // Redraws what an edit's repaint hint names: nothing, everything or one display row.
    void Repaint(int hint);
    // Shows the start marker at its new column.
    void RedrawHeader();
    // Scrolls by a request code; the thumb position is used by the thumb requests.
    void Scroll(int request, int thumbPosition);

    // Operations of the dialog's controls.
    void SetNumBars(int count);
    void SetBeatsPerBar(int count);
    void SetSubdivision(bool compound, int cellsPerBeat);
    void ToggleDisplayMode();
    void Clear();
    // The program became active again: show the picture as it is.
    void Reshow();

    // The playback cursor. StartCursor takes the preview settings and gives false when its
    // thread cannot start (the failure is logged). OnTick is called on the metronome's timer
    // thread once per tick with the time the tick is heard: it stores it and counts the tick,
    // nothing more (no lock, no system call); the cursor thread looks for new ticks every two
    // milliseconds and shows each when it is heard.
    bool StartCursor(const Configuration::ConfigurationData& settings);
    void StopCursor();
    void OnTick(Core::Moment heardAt) noexcept;
    bool CursorRuns() const { return (_cursorFlags.load(std::memory_order_acquire) & CursorRunning) != 0; }

    StepSequencerGrid& Grid() { return _grid; }
    const StepSequencerGrid& Grid() const { return _grid; }
    QScrollBar* ScrollBar() const { return _scrollBar; }

    // Figures of the layout and the cursor (for the dialog and for tests).
    int RowHeight() const { return _rowHeight; }
    int ColumnWidth() const { return _columnWidth; }
    int ScrollPosition() const;
    int ScrollMaximum() const;
    int ImageWidth() const { return _image.width; }
    int ImageHeight() const { return _image.height; }
    float CursorX() const;
    int StepCounter() const;
    int TotalSteps() const;
    int StepsPerColumn() const;
    // Cursor frames drawn since the cursor started.
    int CursorFrames() const { return _frames.load(std::memory_order_acquire); }
    // The centre of a cell in window coordinates.
    int CellCentreX(int column) const;
    int CellCentreY(int displayRow) const;
    // The text drawn for a row's name (its fitted length).
    QString FittedName(int row) const;
    // A copy of what the window shows now, client width by the height above the scroll bar.
    QImage Picture() const;

    // The keyboard's cell cursor: a display row and a column, always on a cell of the grid.
    // The arrows move it, Home and End go to the row's ends, Space sets or clears its hit,
    // Shift with the arrows selects the hits between where the selection began and the cursor;
    // M puts the start marker (where a paste lands) at the cursor's column; + and - step the
    // velocity (the voice's volume) of the cursor's row by VoiceVolume::Step, with Ctrl by one.
    int CursorRow() const { return _keyRow; }
    int CursorColumn() const { return _keyColumn; }
    void MoveKeyCursor(int displayRow, int column, bool select);
    // What a screen reader says of the cell under the cursor ("Bar 1, beat 2, step 1, Closed
    // Hi-Hat: hit"), or, right after a velocity key, of the row's velocity ("Closed Hi-Hat:
    // velocity 90").
    QString CursorCellText() const;

    // The cell under a window point: false when there is none.
    bool CellAt(int x, int y, int& displayRow, int& column) const;
    // The start marker slot under a window point; -1 when there is none.
    int MarkerColumnAt(int x, int y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct ImageBuffer {
        std::unique_ptr<std::uint32_t[]> pixels;
        int width = 0;
        int height = 0;
        PixelImage View() const;
        QImage Wrap() const;
    };

    void ButtonDown(int x, int y);
    void MouseMove(int x, int y);
    void ButtonUp(int x, int y);
    void DrawBand();
    bool PointerInside(int x, int y) const;
    void SetDragCursor(int state);
    // The velocity keys (+, = and - with or without Ctrl, on the keypad too); false for others.
    bool VolumeKey(const QKeyEvent* event);

    void FitNames();
    bool MakeImages();
    void ComputeRowHeight();
    void ComputeCursorGeometry(const Configuration::ConfigurationData* settings);
    // Window thread, lock held: draws a region of the grid into the grid image.
    void RedrawLocked(int left, int top, int right, int bottom);
    void DrawMarkerLocked();
    StepSequencerPainter::Layout PainterLayout() const { return {_rowHeight, _columnWidth, ViewHeight(), _namesWider}; }
    // Set with the names at Load, while no cursor runs: the cursor thread reads FirstX freely.
    int NameEdge() const { return NameColumnWidth + _namesWider; }
    int FirstX() const { return FirstColumnX + _namesWider; }
    // Lock held: a fresh overlay of the grid with the cursor strip on it.
    void RebuildOverlayLocked();
    void CopyGridToOverlayLocked();
    void InvertCursorLocked();
    // Lock held: moves the view, clamped to the scroll range; true when it moved.
    bool SetScrollPositionLocked(int position);
    void UpdateScrollBar();
    int ViewHeight() const { return _clientHeight - _scrollBarHeight; }

    void RunCursor(std::uint32_t seen);
    void CursorFrame();
    void ShowCursorFrame();

    StepSequencerGrid _grid;
    StepSequencerPainter _painter{_grid};
    std::atomic<int> _cursorFlags{0};
    QScrollBar* _scrollBar = nullptr;
    ImageBuffer _image;          // the grid as drawn
    ImageBuffer _overlay;        // the grid with the cursor or the rubber band over it
    bool _overlayShown = false;  // a rubber band is shown (the cursor's frames are shown by flag)
    QFont _font;
    QString _names[StepSequencerGrid::RowCount];
    int _repaintMode = RedrawAll;
    int _cursorState = 0;  // 0 normal, 1 move cursor shown, 2 outside cursor shown

    // Playback cursor.
    mutable std::mutex _lock;
    Platform::Thread _cursorThread;
    // The latest ticks, each with the time it is heard: the timer's thread writes them, the
    // cursor's thread shows each when it is heard.
    Platform::LatestValue<Core::BeatHandOver> _ticks;
    Core::BeatHandOver _ticksWritten;  // the timer's thread only
    std::atomic<bool> _framePending{false};
    std::atomic<int> _frames{0};
    float _cursorX = 0.0f;
    int _cursorHeight = 0;
    int _stepsPerColumn = 0;
    float _pixelsPerStep = 0.0f;
    int _totalSteps = 0;
    int _stepCounter = -1;

    int _rowHeight = 1;
    int _namesWider = 0;  // the name column's width beyond NameColumnWidth, for long names
    int _columnWidth = NarrowestColumn;
    int _clientWidth = 0;
    int _clientHeight = 0;
    int _scrollPosition = 0;
    int _scrollMaximum = 0;
    int _scrollBarHeight = 0;
    int _keyRow = 0;
    int _keyColumn = 0;
    bool _volumeSpoken = false;  // the last key was a velocity key: the row's velocity is read
    int _anchorRow = -1;         // where a selection by Shift and the arrows began; -1 for none
    int _anchorColumn = -1;
    int _bandStartX = 0;
    int _bandStartY = 0;
    int _bandEndX = 0;
    int _bandEndY = 0;
};

}  // namespace GUI
