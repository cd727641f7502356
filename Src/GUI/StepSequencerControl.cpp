#include "GUI/StepSequencerControl.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "Configuration/ConfigurationData.h"
#include "Core/SettingsRange.h"
#include "Core/HeardTime.h"
#include "GUI/AccessibleNames.h"
#include "GUI/AccessibleTexts.h"
#include "GUI/ControlId.h"
#include "GUI/LanguageTexts.h"
#include "GUI/QtText.h"
#include "GUI/Fonts.h"
#include "System/ILanguage.h"
#include "System/ILog.h"

namespace GUI {

namespace {

using Painter = StepSequencerPainter;
constexpr std::uint32_t White = Painter::White;

constexpr int FullNameWidth = 110;
// Longer names widen the name column, up to names of this width ("Geschlossene Hi-Hat",
// "Grosse caisse acoustique"); longer ones are cut, and so are names that fill their field
// (a file name cut to fit it), so that the ellipsis says there is more.
constexpr int WidestFullName = 220;
constexpr int ShortNameWidth = 100;
constexpr int LongestPrefix = StepSequencerGrid::NameCapacity - 1 - 3;  // room for "..."

// How often the cursor thread looks for a new tick: well within a frame of the screen.
constexpr std::int64_t TickPollInterval = 2'000'000;

// The texts and the start marker over the painter's image, with Qt's fonts and smooth edges.
class QtDecorations final : public Painter::IDecorations {
public:
    QtDecorations(QImage& target, const QFont& font, const QString* names) : _painter(&target), _names(names)
    {
        _painter.setRenderHint(QPainter::Antialiasing, false);
        _painter.setFont(font);
    }

    void BeatNumber(int left, int top, int width, int height, int number) override
    {
        _painter.setPen(Qt::black);
        _painter.drawText(QRect(left, top, width, height), Qt::AlignLeft | Qt::AlignTop, QString::number(number));
    }

    void RowName(int left, int top, int width, int height, int row) override
    {
        _painter.setPen(Qt::black);
        _painter.drawText(QRect(left, top, width, height), Qt::AlignLeft | Qt::AlignTop, _names[row]);
    }

    void StartMarker(double left) override
    {
        // A small flag pointing down at the column the playing starts from.
        const int top = Painter::MarkerTop;
        const int size = Painter::MarkerSize;
        QPolygonF flag;
        flag << QPointF(left, top) << QPointF(left + size - 1, top) << QPointF(left + (size - 1) / 2.0, top + size - 1);
        _painter.save();
        _painter.setRenderHint(QPainter::Antialiasing, true);
        _painter.setPen(QColor(0x80, 0x00, 0x00));
        _painter.setBrush(QColor(0xD0, 0x20, 0x20));
        _painter.drawPolygon(flag);
        _painter.restore();
    }

private:
    QPainter _painter;
    const QString* _names;
};

}  // namespace

// ---- Images ---------------------------------------------------------------------------------

PixelImage StepSequencerControl::ImageBuffer::View() const
{
    PixelImage view;
    view.width = width;
    view.height = height;
    view.stride = width;
    view.pixels = pixels.get();
    return view;
}

QImage StepSequencerControl::ImageBuffer::Wrap() const
{
    if (!pixels)
        return QImage();
    return QImage(reinterpret_cast<uchar*>(pixels.get()), width, height, width * 4, QImage::Format_RGB32);
}

// ---- Construction ---------------------------------------------------------------------------

StepSequencerControl::StepSequencerControl(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StepSequencerControl"));
    SetControlId(this, ControlId);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    AccessibleNames::ExposeText(this, QAccessible::Table, [this] { return CursorCellText(); });
    _font = Fonts::CreateScaledFont(10, 400);
    _scrollBarHeight = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);

    _scrollBar = new QScrollBar(Qt::Horizontal, this);
    _scrollBar->setObjectName(QStringLiteral("StepSequencerScrollBar"));
    _scrollBar->setEnabled(false);
    _scrollBar->setRange(0, 0);
    _scrollBar->setPageStep(ScrollPage);
    _scrollBar->setFocusPolicy(Qt::NoFocus);
    connect(_scrollBar, &QScrollBar::actionTriggered, this, [this](int action) {
        int thumb = _scrollBar->sliderPosition();
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: Scroll(LineLeft, thumb); break;
        case QAbstractSlider::SliderSingleStepAdd: Scroll(LineRight, thumb); break;
        case QAbstractSlider::SliderPageStepSub: Scroll(PageLeft, thumb); break;
        case QAbstractSlider::SliderPageStepAdd: Scroll(PageRight, thumb); break;
        case QAbstractSlider::SliderToMinimum: Scroll(ThumbPosition, 0); break;
        case QAbstractSlider::SliderToMaximum: Scroll(ThumbPosition, ScrollMaximum()); break;
        case QAbstractSlider::SliderMove: Scroll(ThumbTrack, thumb); break;
        default: break;
        }
        // The slider shows where the view went, not where its own step would have put it.
        _scrollBar->setSliderPosition(ScrollPosition());
    });
}

StepSequencerControl::~StepSequencerControl()
{
    if (CursorRuns())
        StopCursor();
    _cursorThread.Join();
    _grid.ReleaseActions();
}

// ---- Loading and layout ---------------------------------------------------------------------

void StepSequencerControl::Load(const Configuration::ConfigurationData& settings)
{
    if (CursorRuns())
        StopCursor();
    {
        std::lock_guard<std::mutex> lock(_lock);
        _scrollPosition = 0;
        _scrollMaximum = 0;
    }
    _cursorFlags.store(0, std::memory_order_release);
    _bandStartX = 0;
    _overlayShown = false;
    _keyRow = _keyColumn = 0;
    _anchorRow = _anchorColumn = -1;
    _grid.LoadFromSettings(settings);
    FitNames();
    _scrollBar->setEnabled(false);
    _scrollBar->setRange(0, 0);
    Layout(true);
}

void StepSequencerControl::FitNames()
{
    QFontMetrics metrics(_font);
    int widest = 0;
    for (int r = 0; r < StepSequencerGrid::RowCount; ++r) {
        const StepSequencerGrid::Row& row = _grid.RowAt(r);
        int length = 0;
        while (length < StepSequencerGrid::NameCapacity - 1 && row.name[length] != 0)
            ++length;
        QString name = QString::fromUtf16(row.name, length);
        const int fullWidth = metrics.horizontalAdvance(name);
        if (fullWidth <= FullNameWidth || (fullWidth <= WidestFullName && length < StepSequencerGrid::NameCapacity - 1)) {
            _names[r] = name;
            _grid.SetNameLength(r, length);
            widest = std::max(widest, fullWidth);
            continue;
        }
        // The shortest prefix whose characters reach the short width, then "...".
        int prefix = 0;
        int width = 0;
        while (prefix < name.size() && width < ShortNameWidth)
            width += metrics.horizontalAdvance(name.at(prefix++));
        prefix = std::min(prefix, LongestPrefix);
        _names[r] = name.left(prefix) + QStringLiteral("...");
        _grid.SetNameLength(r, prefix + 3);
        widest = std::max(widest, metrics.horizontalAdvance(_names[r]));
    }
    _namesWider = std::max(0, widest - FullNameWidth);
}

QString StepSequencerControl::FittedName(int row) const
{
    return row >= 0 && row < StepSequencerGrid::RowCount ? _names[row] : QString();
}

void StepSequencerControl::ComputeRowHeight()
{
    int rows = _grid.VisibleRowCount() > 0 ? _grid.VisibleRowCount() : StepSequencerGrid::RowCount;
    _rowHeight = std::max(1, (ViewHeight() - HeaderHeight) / rows);
}

bool StepSequencerControl::MakeImages()
{
    const int needed = NeededColumnWidth * _grid.ColumnCount() + FirstX();
    if (_image.pixels && _image.width >= std::max(_clientWidth, needed) && _image.height >= _clientHeight)
        return true;
    // At least screen-sized, so that ordinary resizing never makes them again.
    int screenWidth = 0;
    int screenHeight = 0;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        screenWidth = screen->size().width();
        screenHeight = screen->size().height();
    }
    const int width = std::max(screenWidth, std::max(_clientWidth, needed));
    const int height = std::max({screenHeight, _clientHeight, 1});
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::unique_ptr<std::uint32_t[]> image(new (std::nothrow) std::uint32_t[count]);
    std::unique_ptr<std::uint32_t[]> overlay(new (std::nothrow) std::uint32_t[count]);
    if (!image || !overlay) {
        System::Log().Write(3, "Unable to allocate memory for the step sequencer images (%d x %d)", width, height);
        return _image.pixels != nullptr;
    }
    std::fill(image.get(), image.get() + count, White);
    std::fill(overlay.get(), overlay.get() + count, White);
    _image.pixels = std::move(image);
    _overlay.pixels = std::move(overlay);
    _image.width = _overlay.width = width;
    _image.height = _overlay.height = height;
    return true;
}

void StepSequencerControl::Layout(bool resized)
{
    bool enable = _scrollBar->isEnabled();
    int maximum = 0;
    int position = 0;
    {
        std::lock_guard<std::mutex> lock(_lock);
        if (resized) {
            _clientWidth = width();
            _clientHeight = height();
        }
        MakeImages();
        ComputeRowHeight();

        const int columns = std::max(1, _grid.ColumnCount());
        const int spare = _grid.CellsPerBeat() > 3 ? 1 : 0;
        _columnWidth = (_clientWidth - FirstX() - spare) / columns;
        if (_columnWidth < NarrowestColumn) {
            _columnWidth = NarrowestColumn;
            enable = true;
        } else if (_columnWidth > WidestScrolledColumn) {
            // Everything fits: nothing to scroll, and the view starts at the left.
            enable = false;
        }
        if (enable)
            _scrollMaximum = _columnWidth * columns - _clientWidth + ScrollSlack;
        else
            _scrollMaximum = 0;
        _scrollPosition = std::clamp(_scrollPosition, 0, std::max(0, _scrollMaximum));
        maximum = std::max(0, _scrollMaximum);
        position = _scrollPosition;

        if (_cursorFlags.load(std::memory_order_acquire) & CursorRunning) {
            _cursorFlags.fetch_or(CursorFirstFrame, std::memory_order_acq_rel);
            ComputeCursorGeometry(nullptr);
        }
    }
    if (resized)
        _scrollBar->setGeometry(1, _clientHeight - _scrollBarHeight, std::max(0, _clientWidth - 2), _scrollBarHeight);
    _scrollBar->setRange(0, maximum);
    _scrollBar->setPageStep(ScrollPage);
    _scrollBar->setValue(position);
    _scrollBar->setEnabled(enable);

    _repaintMode = RedrawAll;
    repaint();
}

void StepSequencerControl::resizeEvent(QResizeEvent*)
{
    if (width() != _clientWidth || height() != _clientHeight)
        Layout(true);
}

// ---- Operations of the dialog ---------------------------------------------------------------

void StepSequencerControl::SetNumBars(int count)
{
    const bool fewer = count < _grid.NumBars();
    _grid.SetNumBars(count);
    if (fewer) {
        std::lock_guard<std::mutex> lock(_lock);
        _scrollPosition = std::clamp(_scrollPosition, 0, std::max(0, _scrollMaximum));
    }
    Layout(false);
}

void StepSequencerControl::SetBeatsPerBar(int count)
{
    _grid.SetBeatsPerBar(count);
    Layout(false);
}

void StepSequencerControl::SetSubdivision(bool compound, int cellsPerBeat)
{
    _grid.SetSubdivision(compound, cellsPerBeat);
    Layout(false);
}

void StepSequencerControl::ToggleDisplayMode()
{
    _grid.ToggleDisplayMode();
    Layout(false);
}

void StepSequencerControl::Clear()
{
    Repaint(_grid.ClearAll());
}

void StepSequencerControl::Reshow()
{
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint();
}

// ---- Drawing --------------------------------------------------------------------------------

void StepSequencerControl::Repaint(int hint)
{
    if (hint == StepSequencerGrid::NoChange)
        return;
    if (hint == StepSequencerGrid::RepaintAll || _repaintMode == RedrawAll) {
        _repaintMode = RedrawAll;
        repaint();
        return;
    }
    const int top = HeaderHeight + hint * _rowHeight;
    const int left = std::max(1, NameEdge() - ScrollPosition());
    _repaintMode = RedrawRegion;
    repaint(QRect(QPoint(left, top), QPoint(_clientWidth - 1, top + _rowHeight - 1)));
}

void StepSequencerControl::RedrawHeader()
{
    {
        std::lock_guard<std::mutex> lock(_lock);
        DrawMarkerLocked();
    }
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, HeaderHeight);
}

void StepSequencerControl::RedrawLocked(int left, int top, int right, int bottom)
{
    if (!_image.pixels)
        return;
    QImage target = _image.Wrap();
    QtDecorations decorations(target, _font, _names);
    _painter.Redraw(_image.View(), PainterLayout(), left, top, right, bottom, decorations);
}

void StepSequencerControl::DrawMarkerLocked()
{
    if (!_image.pixels)
        return;
    QImage target = _image.Wrap();
    QtDecorations decorations(target, _font, _names);
    _painter.RedrawMarker(_image.View(), PainterLayout(), decorations);
}

void StepSequencerControl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    std::lock_guard<std::mutex> lock(_lock);
    if (!_image.pixels) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    bool redrawn = false;
    if (_repaintMode == RedrawAll) {
        RedrawLocked(0, 0, _image.width, _image.height);
        redrawn = true;
    } else if (_repaintMode == RedrawRegion) {
        const QRect area = event->rect();
        RedrawLocked(area.left() + _scrollPosition, area.top(), area.right() + 1 + _scrollPosition, area.bottom() + 1);
        redrawn = true;
    }
    _repaintMode = RedrawRegion;

    const int flags = _cursorFlags.load(std::memory_order_acquire);
    const bool cursorShown = (flags & CursorRunning) && !(flags & CursorFirstFrame);
    // The cursor's overlay is a copy of the grid: what was redrawn goes into it too.
    if (redrawn && cursorShown)
        RebuildOverlayLocked();
    const ImageBuffer& source = (cursorShown || _overlayShown) ? _overlay : _image;
    painter.drawImage(QPoint(0, 0), source.Wrap(), QRect(_scrollPosition, 0, _clientWidth, std::max(0, ViewHeight())));
    // The keyboard's cell cursor, while the grid has the focus.
    if (hasFocus() && _grid.VisibleRowCount() > 0 && _grid.ColumnCount() > 0) {
        const int x = FirstX() + _keyColumn * _columnWidth - _scrollPosition;
        const int y = HeaderHeight + _keyRow * _rowHeight + _rowHeight / 2;
        QPen pen(palette().color(QPalette::Highlight), 2);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(x - _columnWidth / 2 + 1, y - _rowHeight / 2 + 1, _columnWidth - 2, _rowHeight - 2));
    }
}

QImage StepSequencerControl::Picture() const
{
    std::lock_guard<std::mutex> lock(_lock);
    if (!_image.pixels)
        return QImage();
    const int flags = _cursorFlags.load(std::memory_order_acquire);
    const bool cursorShown = (flags & CursorRunning) && !(flags & CursorFirstFrame);
    const ImageBuffer& source = (cursorShown || _overlayShown) ? _overlay : _image;
    return source.Wrap().copy(_scrollPosition, 0, _clientWidth, std::max(0, ViewHeight()));
}

void StepSequencerControl::CopyGridToOverlayLocked()
{
    Painter::CopyRows(_image.View(), _overlay.View(), ViewHeight());
}

void StepSequencerControl::RebuildOverlayLocked()
{
    CopyGridToOverlayLocked();
    InvertCursorLocked();
}

void StepSequencerControl::InvertCursorLocked()
{
    Painter::InvertCursor(_overlay.View(), static_cast<int>(_cursorX), _cursorHeight, ViewHeight());
}

// ---- Scrolling ------------------------------------------------------------------------------

int StepSequencerControl::ScrollPosition() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _scrollPosition;
}

int StepSequencerControl::ScrollMaximum() const
{
    std::lock_guard<std::mutex> lock(_lock);
    return _scrollMaximum;
}

bool StepSequencerControl::SetScrollPositionLocked(int position)
{
    position = std::clamp(position, 0, std::max(0, _scrollMaximum));
    if (position == _scrollPosition)
        return false;
    _scrollPosition = position;
    return true;
}

void StepSequencerControl::Scroll(int request, int thumbPosition)
{
    bool moved = false;
    int position = 0;
    {
        std::lock_guard<std::mutex> lock(_lock);
        position = _scrollPosition;
        switch (request) {
        case LineLeft: position -= 5; break;
        case LineRight: position += 5; break;
        case PageLeft: position -= 20; break;
        case PageRight: position += 20; break;
        case ThumbPosition:
        case ThumbTrack: position = thumbPosition; break;
        case PixelLeft: position -= 1; break;
        case PixelRight: position += 1; break;
        default: break;
        }
        moved = SetScrollPositionLocked(position);
        position = _scrollPosition;
    }
    if (!moved)
        return;
    // The picture is drawn already: the view only shows another part of it.
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, std::max(0, ViewHeight()));
    UpdateScrollBar();
}

void StepSequencerControl::UpdateScrollBar()
{
    const int position = ScrollPosition();
    if (_scrollBar->value() != position) {
        const QSignalBlocker blocker(_scrollBar);
        _scrollBar->setValue(position);
    }
}

// ---- Keys and mouse -------------------------------------------------------------------------

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
    }
    else if (x + half > scroll + _clientWidth)
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
    // A column per cell of a beat; in compound time a column per beat.
    const int cells = _grid.CompoundTime() ? 1 : std::max(1, _grid.CellsPerBeat());
    const int beats = std::max(1, _grid.BeatsPerBar());
    const int beat = _keyColumn / cells;
    const std::uint8_t cell = _grid.Cell(row, _keyColumn);
    const int state = !StepSequencerGrid::IsHit(cell)        ? AccessibleTexts::NoHit
                      : StepSequencerGrid::IsSelected(cell) ? AccessibleTexts::SelectedHit
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

void StepSequencerControl::keyPressEvent(QKeyEvent* event)
{
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
    if (_grid.VisibleRowCount() == 0 || x <= NameEdge() - scroll || y < Painter::MarkerTop - 1 || y > HeaderHeight - 1)
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
        Painter::Band(_image.View(), _overlay.View(), _bandStartX, _bandStartY, _bandEndX, _bandEndY, ViewHeight());
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

// ---- Playback cursor ------------------------------------------------------------------------

void StepSequencerControl::ComputeCursorGeometry(const Configuration::ConfigurationData* settings)
{
    if (settings) {
        // As many ticks per column as the step sequencer's timer gives each step.
        const std::uint32_t bpm = Core::SettingsRange::Bpm(*settings);
        _stepsPerColumn = (Core::SettingsRange::CrSubdivision(*settings) <= 2 ? 4 : 0) +
                          (bpm < 50 ? 16 : bpm < 100 ? 12 : bpm < 200 ? 8 : 4);
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
    const std::uint32_t seen = _ticks.Count();
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
    _cursorThread.Join();
    _cursorFlags.store(0, std::memory_order_release);
    // The grid image never holds the cursor: showing it takes the cursor away.
    if (_repaintMode != RedrawAll)
        _repaintMode = CopyOnly;
    repaint(0, 0, _clientWidth, std::max(0, ViewHeight()));
}

void StepSequencerControl::OnTick(Core::Moment heardAt) noexcept
{
    // Timer thread: the tick's time and the count; the cursor thread finds them by itself.
    _ticks.Push({-1, heardAt});
}

void StepSequencerControl::RunCursor(std::uint32_t seen)
{
    // The thread looks for new ticks itself, so that the timer thread never has to wake it:
    // a tick costs the timer thread two stores and no system call.
    while (_cursorFlags.load(std::memory_order_acquire) & CursorRunning) {
        const std::uint32_t latest = _ticks.Count();
        if (seen == latest) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(TickPollInterval));
            continue;
        }
        while (seen != latest) {
            ++seen;
            // Show the step when it is heard. A thread that fell far behind catches up at once.
            const Core::Moment heardAt = _ticks.At(seen).heardAt;
            if (!Core::HeardTime::WaitToShow(heardAt, [this] { return (_cursorFlags.load(std::memory_order_acquire) & CursorRunning) != 0; }))
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
        QMetaObject::invokeMethod(this, [this] { ShowCursorFrame(); }, Qt::QueuedConnection);
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
