#include "GUI/SongPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "Configuration/Song.h"
#include "Core/SongTimerStrategy.h"

namespace GUI {

namespace {

using Configuration::SongSection;
using Core::SongTimerStrategy;

constexpr int LabelHeight = 18;
constexpr int BarHeight = 26;
constexpr int Margin = 4;

int BarsDrawn(const SongSection& section)
{
    return section.bars == SongSection::Endless ? SongPicture::EndlessBars : section.bars;
}

double SectionMs(const SongSection& section)
{
    return SongTimerStrategy::OffsetMs(section, static_cast<double>(BarsDrawn(section)) * section.BeatsPerBar());
}

// Two colours that take turns from section to section.
QColor SectionColour(int section, bool muted)
{
    QColor colour = section % 2 == 0 ? QColor(0x4a, 0x7f, 0xb5) : QColor(0x5f, 0xa8, 0x6e);
    return muted ? colour.lighter(160) : colour;
}

}  // namespace

SongPicture::SongPicture(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SongPicture"));
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    _moving.setInterval(40);
    connect(&_moving, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void SongPicture::SetSong(const Configuration::Song* song)
{
    _song = song;
    Refresh();
}

void SongPicture::Refresh()
{
    _sectionStart.clear();
    _bars.clear();
    _lowTempo = 1e9;
    _highTempo = 0;
    double start = 0;
    const int count = _song != nullptr ? static_cast<int>(_song->sections.size()) : 0;
    for (int s = 0; s < count; ++s) {
        const SongSection& section = _song->sections[static_cast<std::size_t>(s)];
        _sectionStart.push_back(start);
        const int bars = BarsDrawn(section);
        for (int bar = 0; bar < bars && bars <= MostBarsDrawn; ++bar)
            _bars.push_back(
                {start + SongTimerStrategy::OffsetMs(section, static_cast<double>(bar) * section.BeatsPerBar()), s,
                 section.Muted(bar)});
        if (bars > MostBarsDrawn)
            _bars.push_back({start, s, false});
        _lowTempo = std::min({_lowTempo, section.tempo, section.endTempo});
        _highTempo = std::max({_highTempo, section.tempo, section.endTempo});
        start += SectionMs(section);
    }
    _sectionStart.push_back(start);
    if (_highTempo < _lowTempo) {
        _lowTempo = 60;
        _highTempo = 180;
    }
    // Some room above and below the curve, and a span for a song of one tempo.
    const double pad = std::max(10.0, (_highTempo - _lowTempo) * 0.15);
    _lowTempo = std::max(0.0, _lowTempo - pad);
    _highTempo += pad;
    if (_selected >= count)
        _selected = -1;
    update();
}

void SongPicture::SetSelected(int section)
{
    _selected = section;
    update();
}

void SongPicture::SetHeard(int section, int bar)
{
    if (section != _heardSection || bar != _heardBar)
        _sinceHeard.start();
    _heardSection = section;
    _heardBar = bar;
    if (section >= 0 && !_moving.isActive())
        _moving.start();
    else if (section < 0)
        _moving.stop();
    update();
}

double SongPicture::BarStartMs(int section, int bar) const
{
    const SongSection& s = _song->sections[static_cast<std::size_t>(section)];
    return _sectionStart[static_cast<std::size_t>(section)] +
        SongTimerStrategy::OffsetMs(s, static_cast<double>(bar) * s.BeatsPerBar());
}

double SongPicture::LineMs() const
{
    if (_song == nullptr || _heardSection < 0 || _heardSection >= static_cast<int>(_song->sections.size()))
        return -1;
    const SongSection& section = _song->sections[static_cast<std::size_t>(_heardSection)];
    const int drawn = BarsDrawn(section);
    // An endless section's later bars are drawn over its last one again.
    const int bar = drawn > 0 ? _heardBar % drawn : 0;
    const double start = BarStartMs(_heardSection, bar);
    const double end = bar + 1 < drawn ? BarStartMs(_heardSection, bar + 1)
                                       : _sectionStart[static_cast<std::size_t>(_heardSection) + 1];
    const double moved = _sinceHeard.isValid() ? static_cast<double>(_sinceHeard.elapsed()) : 0.0;
    return std::min(start + moved, end);
}

int SongPicture::X(double ms) const
{
    const double total = _sectionStart.empty() ? 0 : _sectionStart.back();
    const int width = std::max(1, this->width() - 2 * Margin);
    return Margin + (total > 0 ? static_cast<int>(ms / total * width) : 0);
}

QRect SongPicture::SectionRect(int section) const
{
    if (section < 0 || section + 1 >= static_cast<int>(_sectionStart.size()))
        return {};
    const int left = X(_sectionStart[static_cast<std::size_t>(section)]);
    const int right = X(_sectionStart[static_cast<std::size_t>(section) + 1]);
    return QRect(left, Margin, std::max(1, right - left), height() - 2 * Margin);
}

int SongPicture::SectionAt(int x) const
{
    for (int s = 0; s + 1 < static_cast<int>(_sectionStart.size()); ++s) {
        const QRect rect = SectionRect(s);
        if (x >= rect.left() && x <= rect.right())
            return s;
    }
    return -1;
}

void SongPicture::mousePressEvent(QMouseEvent* event)
{
    const int section = SectionAt(event->position().toPoint().x());
    if (event->button() == Qt::LeftButton && section >= 0)
        emit SectionClicked(section);
}

void SongPicture::PaintBars(QPainter& painter, const QRect& band) const
{
    const QFontMetrics metrics(font());
    for (int s = 0; s + 1 < static_cast<int>(_sectionStart.size()); ++s) {
        const QRect rect = SectionRect(s);
        if (s == _selected)
            painter.fillRect(rect, palette().highlight().color().lighter(170));
        const QString label = QString::fromStdString(_song->sections[static_cast<std::size_t>(s)].label);
        painter.setPen(palette().windowText().color());
        painter.drawText(QRect(rect.left() + 2, Margin, rect.width() - 4, LabelHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(label, Qt::ElideRight, rect.width() - 4));
    }
    for (std::size_t b = 0; b < _bars.size(); ++b) {
        const Bar& bar = _bars[b];
        const bool last = b + 1 == _bars.size() || _bars[b + 1].section != bar.section;
        const double end = last ? _sectionStart[static_cast<std::size_t>(bar.section) + 1] : _bars[b + 1].startMs;
        const int left = X(bar.startMs);
        const int right = X(end);
        const QRect block(left, band.top(), std::max(1, right - left - 1), band.height());
        painter.fillRect(block, SectionColour(bar.section, bar.muted));
    }
}

void SongPicture::PaintCurve(QPainter& painter, const QRect& area) const
{
    const auto y = [&](double tempo) {
        const double share = (tempo - _lowTempo) / (_highTempo - _lowTempo);
        return area.bottom() - static_cast<int>(share * area.height());
    };
    QPainterPath curve;
    for (int s = 0; s + 1 < static_cast<int>(_sectionStart.size()); ++s) {
        const SongSection& section = _song->sections[static_cast<std::size_t>(s)];
        const double beats = static_cast<double>(BarsDrawn(section)) * section.BeatsPerBar();
        // A ramp is linear in beats, so bent in time: drawn through points along it.
        const int steps = section.Ramp() ? 24 : 1;
        for (int step = 0; step <= steps; ++step) {
            const double at = beats * step / steps;
            const QPointF point(
                X(_sectionStart[static_cast<std::size_t>(s)] + SongTimerStrategy::OffsetMs(section, at)),
                y(SongTimerStrategy::TempoAt(section, at)));
            if (s == 0 && step == 0)
                curve.moveTo(point);
            else
                curve.lineTo(point);
        }
    }
    painter.setPen(QPen(QColor(0xc0, 0x50, 0x20), 2));
    painter.drawPath(curve);
    painter.setPen(palette().windowText().color());
    painter.drawText(area.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(std::lround(_highTempo)));
    painter.drawText(area.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignBottom,
                     QString::number(std::lround(_lowTempo)));
}

void SongPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (_song == nullptr || _song->sections.empty())
        return;
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRect band(Margin, Margin + LabelHeight, width() - 2 * Margin, BarHeight);
    PaintBars(painter, band);
    PaintCurve(painter,
               QRect(Margin, band.bottom() + 2 * Margin, width() - 2 * Margin, height() - band.bottom() - 3 * Margin));
    if (const double ms = LineMs(); ms >= 0) {
        painter.setPen(QPen(QColor(0xd0, 0x10, 0x10), 2));
        painter.drawLine(X(ms), Margin, X(ms), height() - Margin);
    }
}

}  // namespace GUI
