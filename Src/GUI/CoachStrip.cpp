#include "GUI/CoachStrip.h"

#include <QPainter>
#include <cmath>

#include "GUI/CoachTexts.h"

namespace GUI {

CoachStrip::CoachStrip(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(320, 120);
    setAccessibleName(CoachTexts::Text(CoachTexts::Title));
}

void CoachStrip::AddHit(double offsetMs, bool silent)
{
    _marks.push_back({offsetMs, silent});
    while (_marks.size() > Kept)
        _marks.pop_front();
    update();
}

void CoachStrip::Clear()
{
    _marks.clear();
    update();
}

void CoachStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    painter.fillRect(area, QColor(24, 24, 28));
    const double middle = area.width() / 2;
    const double lineY = area.height() * 0.62;
    const double scale = (area.width() / 2 - 16) / RangeMs;

    // The scale: every 10 ms, the beat in the middle; early is blue, late is orange.
    painter.setPen(QPen(QColor(90, 90, 100), 1));
    for (int ms = -50; ms <= 50; ms += 10)
        painter.drawLine(QPointF(middle + ms * scale, lineY - 8), QPointF(middle + ms * scale, lineY + 8));
    painter.setPen(QPen(QColor(230, 230, 230), 3));
    painter.drawLine(QPointF(middle, lineY - 30), QPointF(middle, lineY + 30));

    const QColor early(80, 160, 255), late(255, 150, 40), close(90, 220, 110);
    auto colourOf = [&](double offset) { return std::fabs(offset) < 5 ? close : offset < 0 ? early : late; };
    for (std::size_t i = 0; i < _marks.size(); ++i) {
        const Mark& mark = _marks[i];
        const double x = middle + std::clamp(mark.offsetMs, -RangeMs, RangeMs) * scale;
        const bool newest = i + 1 == _marks.size();
        QColor colour = colourOf(mark.offsetMs);
        colour.setAlpha(newest ? 255 : 60 + static_cast<int>(150 * i / Kept));
        const double radius = newest ? 14 : 7;
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        if (mark.silent)
            painter.setBrush(Qt::NoBrush), painter.setPen(QPen(colour, 3));
        painter.drawEllipse(QPointF(x, lineY), radius, radius);
    }
    if (_marks.empty())
        return;
    const Mark& last = _marks.back();
    const long rounded = std::lround(std::fabs(last.offsetMs));
    QString text = rounded < 2
        ? (CoachTexts::Text(CoachTexts::OnTheBeat))
        : (CoachTexts::Text(last.offsetMs < 0 ? CoachTexts::Early : CoachTexts::Late)).arg(rounded);
    QFont font = painter.font();
    font.setPixelSize(std::max(18, static_cast<int>(area.height() * 0.28)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(colourOf(last.offsetMs));
    painter.drawText(QRectF(0, 4, area.width(), area.height() * 0.36), Qt::AlignCenter, text);
}

}  // namespace GUI
