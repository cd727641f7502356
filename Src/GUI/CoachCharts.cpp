#include "GUI/CoachCharts.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "GUI/CoachTexts.h"

namespace GUI {

namespace {

const QColor Background(250, 250, 250), Grid(210, 210, 215), Ink(40, 40, 40), Early(40, 110, 220), Late(230, 120, 20),
    Silent(235, 235, 245);

double RangeOf(double largest)
{
    for (double range : {10.0, 20.0, 30.0, 50.0, 100.0})
        if (largest <= range)
            return range;
    return 200;
}

}  // namespace

CoachCharts::CoachCharts(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(480, 220);
}

void CoachCharts::SetResult(const Core::TimingCoach::Result& result)
{
    _result = result;
    update();
}

void CoachCharts::SetDays(std::vector<std::pair<QString, double>> days)
{
    _days = std::move(days);
    update();
}

void CoachCharts::DrawFrame(QPainter& painter, const QRectF& area, int title, double range) const
{
    painter.fillRect(area, Background);
    painter.setPen(Ink);
    painter.drawText(area.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, CoachTexts::Text(title));
    const QRectF plot = area.adjusted(36, 20, -6, -18);
    painter.setPen(Grid);
    for (int step = -2; step <= 2; ++step) {
        const double y = plot.center().y() - step * plot.height() / 4;
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Ink);
        painter.drawText(QRectF(area.left(), y - 8, 32, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(range * step / 2, 'g', 3));
        painter.setPen(Grid);
    }
}

void CoachCharts::DrawScatter(QPainter& painter, const QRectF& area) const
{
    double largest = 0;
    for (const auto& hit : _result.hits)
        largest = std::max(largest, std::fabs(hit.offsetMs));
    const double range = RangeOf(largest);
    DrawFrame(painter, area, CoachTexts::OffsetOverTime, range);
    if (_result.hits.size() < 2)
        return;
    const QRectF plot = area.adjusted(36, 20, -6, -18);
    const double first = static_cast<double>(_result.hits.front().gridNs);
    const double length = std::max(1.0, static_cast<double>(_result.hits.back().gridNs) - first);
    auto x = [&](std::int64_t ns) { return plot.left() + (static_cast<double>(ns) - first) / length * plot.width(); };
    auto y = [&](double ms) { return plot.center().y() - std::clamp(ms, -range, range) / range * plot.height() / 2; };
    // Silent bars shaded behind.
    for (std::size_t i = 0; i + 1 < _result.hits.size(); ++i)
        if (_result.hits[i].silent)
            painter.fillRect(QRectF(QPointF(x(_result.hits[i].gridNs), plot.top()),
                                    QPointF(x(_result.hits[i + 1].gridNs), plot.bottom())),
                             Silent);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (const auto& hit : _result.hits) {
        painter.setBrush(hit.offsetMs < 0 ? Early : Late);
        painter.drawEllipse(QPointF(x(hit.gridNs), y(hit.offsetMs)), 3, 3);
    }
    // The mean and the drift over the take.
    const double seconds = length / 1e9;
    const double slope = _result.all.driftMsPer30s / 30;
    painter.setPen(QPen(Ink, 2, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), y(_result.all.meanMs - slope * seconds / 2)),
                     QPointF(plot.right(), y(_result.all.meanMs + slope * seconds / 2)));
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void CoachCharts::DrawLean(QPainter& painter, const QRectF& area) const
{
    double largest = 0;
    for (double lean : _result.leanMs)
        if (std::isfinite(lean))
            largest = std::max(largest, std::fabs(lean));
    const double range = RangeOf(largest);
    DrawFrame(painter, area, CoachTexts::PerPosition, range);
    const QRectF plot = area.adjusted(36, 20, -6, -18);
    const auto count = static_cast<double>(_result.leanMs.size());
    // Positions as beat.subdivision; where those do not fit, the beats alone are named.
    const int subdivisions = std::max(1, _result.subdivisions);
    const double width = plot.width() / count;
    const bool named = subdivisions == 1 || painter.fontMetrics().horizontalAdvance(QStringLiteral("8.8")) < width;
    for (std::size_t p = 0; p < _result.leanMs.size(); ++p) {
        const double left = plot.left() + width * static_cast<double>(p);
        const int beat = static_cast<int>(p) / subdivisions + 1, sub = static_cast<int>(p) % subdivisions + 1;
        painter.setPen(Ink);
        if (subdivisions == 1)
            painter.drawText(QRectF(left, plot.bottom() + 2, width, 16), Qt::AlignCenter, QString::number(beat));
        else if (named || sub == 1)
            painter.drawText(QRectF(left - width, plot.bottom() + 2, width * 3, 16), Qt::AlignCenter,
                             named ? PositionName(static_cast<int>(p), subdivisions) : QString::number(beat));
        const double lean = _result.leanMs[p];
        if (!std::isfinite(lean))
            continue;
        const double height = std::clamp(lean, -range, range) / range * plot.height() / 2;
        const double middle = plot.center().y();
        painter.fillRect(
            QRectF(QPointF(left + width * 0.2, middle), QPointF(left + width * 0.8, middle - height)).normalized(),
            lean < 0 ? Early : Late);
    }
}

void CoachCharts::DrawDays(QPainter& painter, const QRectF& area) const
{
    double largest = 0;
    for (const auto& day : _days)
        largest = std::max(largest, day.second);
    const double range = RangeOf(largest);
    painter.fillRect(area, Background);
    painter.setPen(Ink);
    painter.drawText(area.adjusted(4, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                     CoachTexts::Text(CoachTexts::ConsistencyOverDays));
    const QRectF plot = area.adjusted(36, 20, -6, -18);
    painter.setPen(Grid);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.setPen(Ink);
    painter.drawText(QRectF(area.left(), plot.top() - 8, 32, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(range));
    painter.drawText(QRectF(area.left(), plot.bottom() - 8, 32, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("0"));
    if (_days.empty())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    QPolygonF line;
    const double step = _days.size() > 1 ? plot.width() / static_cast<double>(_days.size() - 1) : 0;
    for (std::size_t d = 0; d < _days.size(); ++d) {
        const QPointF point(plot.left() + step * static_cast<double>(d),
                            plot.bottom() - std::min(_days[d].second, range) / range * plot.height());
        line << point;
        // The first and last labels stay inside the chart.
        const double left = std::clamp(point.x() - 30, area.left(), std::max(area.left(), area.right() - 60));
        painter.drawText(QRectF(left, plot.bottom() + 2, 60, 16), Qt::AlignCenter, _days[d].first);
    }
    painter.setPen(QPen(Early, 2));
    painter.drawPolyline(line);
    painter.setBrush(Early);
    for (const QPointF& point : line)
        painter.drawEllipse(point, 3, 3);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void CoachCharts::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF area = rect();
    const bool days = !_days.empty();
    const double bottom = days ? area.height() * 0.62 : area.height();
    DrawScatter(painter, QRectF(0, 0, area.width() * 0.64 - 4, bottom - 4));
    DrawLean(painter, QRectF(area.width() * 0.64, 0, area.width() * 0.36, bottom - 4));
    if (days)
        DrawDays(painter, QRectF(0, bottom, area.width(), area.height() - bottom));
}

QString CoachCharts::PositionName(int position, int subdivisions)
{
    subdivisions = std::max(1, subdivisions);
    const int beat = position / subdivisions + 1;
    return subdivisions == 1 ? QString::number(beat)
                             : QStringLiteral("%1.%2").arg(beat).arg(position % subdivisions + 1);
}

}  // namespace GUI
