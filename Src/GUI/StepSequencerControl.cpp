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
#include "Core/HeardTime.h"
#include "Core/SettingsRange.h"
#include "GUI/AccessibleNames.h"
#include "GUI/AccessibleTexts.h"
#include "GUI/ControlId.h"
#include "GUI/Fonts.h"
#include "GUI/LanguageTexts.h"
#include "GUI/QtText.h"
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
        if (fullWidth <= FullNameWidth ||
            (fullWidth <= WidestFullName && length < StepSequencerGrid::NameCapacity - 1)) {
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

}  // namespace GUI
