#include "GUI/StepSequencerControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cstdlib>

#include "GUI/AccessTexts.h"
#include "GUI/AccessibleNames.h"
#include "GUI/AccessibleTexts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/Model/VoiceVolume.h"
#include "GUI/QtText.h"
#include "System/ILanguage.h"

// The step sequencer's keys and mouse: the key cursor, clicks, drags and the selection band.
namespace GUI {

void StepSequencerControl::MoveKeyCursor(int displayRow, int column, bool select)
{
    const int rows = _grid.VisibleRowCount();
    const int columns = _grid.ColumnCount();
    if (rows <= 0 || columns <= 0)
        return;
    if (select && _anchorRow < 0) {
        _anchorRow = _keyRow;
        _anchorColumn = _keyColumn;
    } else if (!select) {
        _anchorRow = _anchorColumn = -1;
    }
    _volumeSpoken = false;
    _keyRow = std::clamp(displayRow, 0, rows - 1);
    _keyColumn = std::clamp(column, 0, columns - 1);
    if (select) {
        // The hits of the rectangle from the anchor to the cursor are the selection.
        _grid.ClearSelection();
        for (int d = std::min(_anchorRow, _keyRow); d <= std::max(_anchorRow, _keyRow); ++d)
            for (int c = std::min(_anchorColumn, _keyColumn); c <= std::max(_anchorColumn, _keyColumn); ++c)
                _grid.MarkSelected(_grid.RowOfDisplayRow(d), c);
        _repaintMode = RedrawAll;
    }
    // Keep the cell in view.
    const int x = FirstX() + _keyColumn * _columnWidth;
    const int scroll = ScrollPosition();
    const int half = _columnWidth / 2 + 2;
    if (x - half < scroll + NameEdge()) {
        // Near the start, the view's own start (as the grid opens).
        const int position = x - half - NameEdge();
        Scroll(ThumbPosition, position <= FirstX() - NameEdge() ? 0 : position);
    } else if (x + half > scroll + _clientWidth)
        Scroll(ThumbPosition, x + half - _clientWidth);
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    update();
    AccessibleNames::Announce(this);
}

QString StepSequencerControl::CursorCellText() const
{
    const System::ILanguage& language = System::CurrentLanguage();
    const auto text = [&](int number) { return LanguageTexts::Text(language.GetText(number)); };
    const int row = _grid.RowOfDisplayRow(_keyRow);
    if (row < 0 || _grid.ColumnCount() <= 0)
        return text(AccessibleTexts::StepGrid);
    if (_volumeSpoken)
        return text(AccessibleTexts::StepGrid) + QStringLiteral(": ") +
            text(AccessTexts::RowVolume).arg(QtText::FromField(_grid.RowAt(row).name)).arg(_grid.RowAt(row).volume);
    // A column per cell of a beat; in compound time a column per beat.
    const int cells = _grid.CompoundTime() ? 1 : std::max(1, _grid.CellsPerBeat());
    const int beats = std::max(1, _grid.BeatsPerBar());
    const int beat = _keyColumn / cells;
    const std::uint8_t cell = _grid.Cell(row, _keyColumn);
    const int state = !StepSequencerGrid::IsHit(cell) ? AccessibleTexts::NoHit
        : StepSequencerGrid::IsSelected(cell)         ? AccessibleTexts::SelectedHit
                                                      : AccessibleTexts::Hit;
    return text(AccessibleTexts::StepGrid) + QStringLiteral(": ") +
        text(AccessibleTexts::StepCell)
            .arg(beat / beats + 1)
            .arg(beat % beats + 1)
            .arg(_keyColumn % cells + 1)
            .arg(QtText::FromField(_grid.RowAt(row).name))
            .arg(text(state));
}

void StepSequencerControl::focusInEvent(QFocusEvent* event)
{
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    update();
    QWidget::focusInEvent(event);
}

void StepSequencerControl::focusOutEvent(QFocusEvent* event)
{
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    update();
    QWidget::focusOutEvent(event);
}

bool StepSequencerControl::VolumeKey(const QKeyEvent* event)
{
    int steps = 0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: steps = 1; break;
    case Qt::Key_Minus: steps = -1; break;
    default: return false;
    }
    const bool fine = (event->modifiers() & Qt::ControlModifier) != 0;
    // At either end of the scale the value is read again, unchanged.
    _grid.StepVolume(_keyRow, steps * std::max(1, event->count()), fine ? 1 : VoiceVolume::Step);
    _volumeSpoken = true;
    AccessibleNames::Announce(this);
    return true;
}

void StepSequencerControl::keyPressEvent(QKeyEvent* event)
{
    if (!CursorRuns() && _grid.VisibleRowCount() > 0 && VolumeKey(event)) {
        event->accept();
        return;
    }
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    if (!control && !CursorRuns()) {
        switch (event->key()) {
        case Qt::Key_Left: MoveKeyCursor(_keyRow, _keyColumn - 1, shift); return;
        case Qt::Key_Right: MoveKeyCursor(_keyRow, _keyColumn + 1, shift); return;
        case Qt::Key_Up: MoveKeyCursor(_keyRow - 1, _keyColumn, shift); return;
        case Qt::Key_Down: MoveKeyCursor(_keyRow + 1, _keyColumn, shift); return;
        case Qt::Key_Home: MoveKeyCursor(_keyRow, 0, shift); return;
        case Qt::Key_End: MoveKeyCursor(_keyRow, _grid.ColumnCount() - 1, shift); return;
        case Qt::Key_M:
            // The start marker (where the preview starts and a paste lands) to the cursor's column.
            if (!shift) {
                _grid.SetStartColumn(_keyColumn);
                RedrawHeader();
                event->accept();
                return;
            }
            break;
        case Qt::Key_Space:
            if (_grid.VisibleRowCount() > 0 && _grid.ColumnCount() > 0) {
                _volumeSpoken = false;
                Repaint(_grid.ToggleCell(_keyRow, _keyColumn));
                update();
                AccessibleNames::Announce(this);
            }
            event->accept();
            return;
        default: break;
        }
    }
    int key = 0;
    if (event->key() == Qt::Key_Delete)
        key = StepSequencerGrid::KeyDelete;
    else if (control && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
        key = event->key();  // the same codes as the letters' virtual keys
    const int hint = key != 0 ? _grid.HandleKey(key, control) : StepSequencerGrid::NoChange;
    if (key == 0) {
        // Escape, Return and the mnemonics stay the dialog's.
        QWidget::keyPressEvent(event);
        return;
    }
    Repaint(hint);
    event->accept();
}

void StepSequencerControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || CursorRuns()) {
        QWidget::mousePressEvent(event);
        return;
    }
    ButtonDown(event->position().toPoint().x(), event->position().toPoint().y());
}

void StepSequencerControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || CursorRuns()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    MouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void StepSequencerControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || CursorRuns()) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    ButtonUp(event->position().toPoint().x(), event->position().toPoint().y());
}

int StepSequencerControl::CellCentreX(int column) const
{
    return FirstX() + column * _columnWidth - ScrollPosition();
}

int StepSequencerControl::CellCentreY(int displayRow) const
{
    return HeaderHeight + displayRow * _rowHeight + _rowHeight / 2;
}

bool StepSequencerControl::CellAt(int x, int y, int& displayRow, int& column) const
{
    const int scroll = ScrollPosition();
    if (_grid.VisibleRowCount() == 0 || x <= NameEdge() - scroll || y <= HeaderHeight)
        return false;
    for (int d = 0; d < _grid.VisibleRowCount(); ++d) {
        if (std::abs(y - CellCentreY(d)) >= _rowHeight / 4 + 4)
            continue;
        for (int j = 0; j < _grid.ColumnCount(); ++j) {
            if (std::abs(x - (FirstX() + j * _columnWidth - scroll)) < _columnWidth / 2 + 4) {
                displayRow = d;
                column = j;
                return true;
            }
        }
    }
    return false;
}

int StepSequencerControl::MarkerColumnAt(int x, int y) const
{
    const int scroll = ScrollPosition();
    if (_grid.VisibleRowCount() == 0 || x <= NameEdge() - scroll || y < StepSequencerPainter::MarkerTop - 1 ||
        y > HeaderHeight - 1)
        return -1;
    for (int j = 0; j < _grid.ColumnCount(); ++j) {
        const int left = j * _columnWidth - scroll + PainterLayout().MarkerX();
        if (left < x && x < left + 8)
            return j;
    }
    return -1;
}

bool StepSequencerControl::PointerInside(int x, int y) const
{
    return x >= 0 && x < _clientWidth && y >= 0 && y < ViewHeight();
}

void StepSequencerControl::SetDragCursor(int state)
{
    if (state == _cursorState)
        return;
    if (state == 0)
        unsetCursor();
    else
        setCursor(state == 1 ? Qt::SizeAllCursor : Qt::ForbiddenCursor);
    _cursorState = state;
}

void StepSequencerControl::ButtonDown(int x, int y)
{
    _bandStartX = 0;
    int d = 0;
    int c = 0;
    if (CellAt(x, y, d, c))
        _grid.BeginDrag(d, c);
    else
        _grid.EndDrag();
}

void StepSequencerControl::MouseMove(int x, int y)
{
    const int scroll = ScrollPosition();
    if (_grid.DragRow() != -1) {
        // The move cursor over the window; outside it, a drop would throw the hit away.
        SetDragCursor(PointerInside(x, y) ? 1 : 2);
        return;
    }
    if (_bandStartX == 0) {
        if (x > NameEdge() - scroll && y > HeaderHeight) {
            _bandStartX = _bandEndX = x + scroll;
            _bandStartY = _bandEndY = y;
        }
        return;
    }
    if (!PointerInside(x, y))
        return;
    _bandEndX = x + scroll;
    _bandEndY = y;
    // At the window's edges the band pulls the view along, a pixel per move.
    if (x <= 4)
        Scroll(PixelLeft, 0);
    else if (x > _clientWidth - 5)
        Scroll(PixelRight, 0);
    DrawBand();
}

void StepSequencerControl::DrawBand()
{
    {
        std::lock_guard<std::mutex> lock(_lock);
        if (!_image.pixels)
            return;
        CopyGridToOverlayLocked();
        StepSequencerPainter::Band(_image.View(), _overlay.View(), _bandStartX, _bandStartY, _bandEndX, _bandEndY,
                                   ViewHeight());
    }
    _overlayShown = true;
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, std::max(0, ViewHeight()));
}

void StepSequencerControl::ButtonUp(int x, int y)
{
    if (_bandStartX != 0) {
        // Every hit whose centre lies in the band (two pixels of grace) is selected.
        const int left = std::min(_bandStartX, _bandEndX) - 2;
        const int right = std::max(_bandStartX, _bandEndX) + 2;
        const int top = std::min(_bandStartY, _bandEndY) - 2;
        const int bottom = std::max(_bandStartY, _bandEndY) + 2;
        for (int d = 0; d < _grid.VisibleRowCount(); ++d) {
            const int centreY = CellCentreY(d);
            if (centreY < top || centreY > bottom)
                continue;
            const int r = _grid.RowOfDisplayRow(d);
            for (int j = 0; j < _grid.ColumnCount(); ++j) {
                const int centreX = FirstX() + j * _columnWidth;
                if (centreX >= left && centreX <= right)
                    _grid.MarkSelected(r, j);
            }
        }
        _bandStartX = 0;
        _overlayShown = false;
        _grid.EndDrag();
        Repaint(StepSequencerGrid::RepaintAll);
        return;
    }

    const bool hadSelection = _grid.SelectedCount() > 0;
    bool moved = false;
    if (_grid.DragRow() != -1 && _cursorState != 0) {
        SetDragCursor(0);
        moved = true;
    }
    int d = 0;
    int c = 0;
    if (!CellAt(x, y, d, c)) {
        const int marker = MarkerColumnAt(x, y);
        if (marker >= 0) {
            _grid.SetStartColumn(marker);
            RedrawHeader();
        }
        if (hadSelection)
            Repaint(_grid.ClearSelection());
    } else if (moved) {
        Repaint(_grid.Drop(d, c));
        if (hadSelection)
            Repaint(_grid.ClearSelection());
    } else {
        _grid.ToggleCell(d, c);
        if (hadSelection)
            Repaint(_grid.ClearSelection());
        else
            Repaint(d);
    }
    _grid.EndDrag();
}

}  // namespace GUI
